// Builds the playground's static site: node build.mjs MODULE_DIR SITE_DIR
// bundles the page and its worker with esbuild (CodeMirror included, nothing
// loaded from other hosts) and copies the page, its styles and the module.
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import * as esbuild from 'esbuild';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.dirname(here);
const [moduleDir, siteDir] = process.argv.slice(2).map((p) => path.resolve(p));
if (!moduleDir || !siteDir) {
  console.error('usage: node build.mjs MODULE_DIR SITE_DIR');
  process.exit(2);
}

// How the menu runs each example of examples/: its arguments, standard input
// and the files of examples/ it reads. Examples that start programs are left
// out: the browser cannot run programs.
const exampleSettings = {
  'wc.zn': { args: 'wc.zn', stdin: '', files: ['wc.zn'] },
  'checksum.zn': { args: 'checksum.zn', stdin: '', files: ['checksum.zn'] },
  'menu.zn': { args: '0', stdin: '1\n2\n3\n4\n', files: ['chime.wav'] },
};

// The guide's first script: the first zarnith block of docs/language.md.
function guideExample() {
  const guide = fs.readFileSync(path.join(root, 'docs', 'language.md'), 'utf8');
  const block = /```zarnith\n([\s\S]*?)```/.exec(guide);
  return { title: 'The guide\'s first script', script: block[1], args: '', stdin: '', files: [] };
}

function examples() {
  const dir = path.join(root, 'examples');
  const list = [guideExample()];
  for (const name of fs.readdirSync(dir).sort()) {
    if (!name.endsWith('.zn')) continue;
    const script = fs.readFileSync(path.join(dir, name), 'utf8');
    if (script.includes('os:execute')) continue;
    const settings = exampleSettings[name] || { args: '', stdin: '', files: [] };
    const about = script.split('\n').find((l) => l.startsWith('# ')) || '# ';
    list.push({
      title: `${name}: ${about.slice(2).replace(/[:.]$/, '')}`,
      script,
      args: settings.args,
      stdin: settings.stdin,
      files: settings.files.map((f) => ({
        path: f,
        base64: fs.readFileSync(path.join(dir, f)).toString('base64'),
      })),
    });
  }
  return list;
}

const examplesPlugin = {
  name: 'zarnith-examples',
  setup(build) {
    build.onResolve({ filter: /^zarnith-examples$/ }, () => ({ path: 'examples', namespace: 'zn' }));
    build.onLoad({ filter: /.*/, namespace: 'zn' }, () => ({
      contents: JSON.stringify(examples()),
      loader: 'json',
    }));
  },
};

fs.rmSync(siteDir, { recursive: true, force: true });
fs.mkdirSync(siteDir, { recursive: true });
await esbuild.build({
  entryPoints: { page: path.join(here, 'src', 'page.mjs'), worker: path.join(here, 'src', 'worker.mjs') },
  bundle: true,
  format: 'iife',
  minify: true,
  target: 'es2020',
  outdir: siteDir,
  plugins: [examplesPlugin],
  logLevel: 'warning',
});
for (const file of ['index.html', 'style.css']) {
  fs.copyFileSync(path.join(here, file), path.join(siteDir, file));
}
for (const file of ['zarnith.js', 'zarnith.wasm']) {
  fs.copyFileSync(path.join(moduleDir, file), path.join(siteDir, file));
}
const sizes = fs.readdirSync(siteDir).map((f) => `${f} ${fs.statSync(path.join(siteDir, f)).size}`);
console.log(`site in ${siteDir}: ${sizes.join(', ')}`);
