// The WebAssembly interpreter as a command, for comparing it with the native
// one: `node wasm_cli.mjs MODULE_DIR [SCRIPT [ARGS...]]` runs SCRIPT (or,
// without one, the shell over standard input) with the files of the current
// folder in its in-memory system, writes its standard output, leaves the
// folder as the script left the in-memory files and exits with its status.
import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';

import { loadEngine } from '../src/engine.mjs';

const [moduleDir, script, ...args] = process.argv.slice(2);
const require = createRequire(import.meta.url);
const createZarnith = require(path.resolve(moduleDir, 'zarnith.js'));

function writeOut(bytes) {
  let at = 0;
  while (at < bytes.length) {
    try {
      at += fs.writeSync(1, bytes, at, bytes.length - at);
    } catch (e) {
      if (e.code !== 'EAGAIN') throw e;
    }
  }
}

// Files and folders under `dir`, parents first, as paths relative to it.
function walk(dir, prefix = '') {
  const found = [];
  for (const entry of fs.readdirSync(dir, { withFileTypes: true })) {
    const rel = prefix + entry.name;
    const full = path.join(dir, entry.name);
    if (entry.isDirectory()) {
      found.push({ rel, directory: true });
      found.push(...walk(full, rel + '/'));
    } else if (entry.isFile()) {
      found.push({ rel, directory: false, full });
    }
  }
  return found;
}

const engine = await loadEngine(createZarnith, {
  wasmBinary: fs.readFileSync(path.resolve(moduleDir, 'zarnith.wasm')),
  onOutput: writeOut,
});

const before = walk('.');
for (const e of before) {
  const err = e.directory ? engine.addDirectory(e.rel) : engine.addFile(e.rel, fs.readFileSync(e.full));
  if (err) throw new Error(`cannot add ${e.rel} to the in-memory system: error ${err}`);
}

const stdin = fs.readFileSync(0);
const status = script
  ? engine.run(fs.readFileSync(script), stdin, args)
  : engine.run('', stdin, [], { shell: true });

// The folder becomes what the in-memory system holds (relative paths only).
const after = engine.files().filter((f) => !f.path.startsWith('/'));
const kept = new Set(after.map((f) => f.path));
for (const e of before.reverse()) {
  if (!kept.has(e.rel)) fs.rmSync(e.rel, { recursive: true, force: true });
}
// What the script made gets the bits the fs class creates with (0755, less
// the umask); what was there keeps its own.
for (const f of after) {
  if (f.directory) fs.mkdirSync(f.path, { recursive: true, mode: 0o755 });
  else fs.writeFileSync(f.path, f.data, { mode: 0o755 });
}
process.exitCode = status & 255;
