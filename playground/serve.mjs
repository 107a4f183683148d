// A static server for the built site: node serve.mjs SITE_DIR [PORT], on
// 127.0.0.1 (port 8000 by default). It sends the two headers that make the
// page cross-origin isolated, so that a script's sleep waits without keeping
// a processor busy; any other static host serves the site as well.
import http from 'node:http';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.wasm': 'application/wasm',
};

export function serve(siteDir, port = 8000, host = '127.0.0.1') {
  const root = path.resolve(siteDir);
  const server = http.createServer((request, response) => {
    const url = new URL(request.url, 'http://localhost');
    let file = path.join(root, decodeURIComponent(url.pathname));
    if (!file.startsWith(root + path.sep) && file !== root) {
      response.writeHead(403).end();
      return;
    }
    if (file === root || file.endsWith(path.sep)) file = path.join(file, 'index.html');
    fs.readFile(file, (error, data) => {
      if (error) {
        response.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found\n');
        return;
      }
      response.writeHead(200, {
        'Content-Type': types[path.extname(file)] || 'application/octet-stream',
        'Cross-Origin-Opener-Policy': 'same-origin',
        'Cross-Origin-Embedder-Policy': 'require-corp',
        'Cache-Control': 'no-cache',
      });
      response.end(data);
    });
  });
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(port, host, () => resolve(server));
  });
}

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  const [siteDir, port] = process.argv.slice(2);
  const server = await serve(siteDir || 'build-playground/site', Number(port || 8000));
  const { address, port: actual } = server.address();
  console.log(`Serving ${path.resolve(siteDir || 'build-playground/site')} on http://${address}:${actual}/`);
}
