// Calls into the interpreter's WebAssembly module (module.cpp): copies texts
// in, runs scripts and reads back the files and the checker's findings. Used
// by the page's worker and by the Node test alike.

const encoder = new TextEncoder();
const decoder = new TextDecoder();

function bytesOf(value) {
  if (value === undefined || value === null) return new Uint8Array(0);
  return typeof value === 'string' ? encoder.encode(value) : value;
}

export class Engine {
  constructor(module) {
    this.module = module;
  }

  // Calls fn with a pointer and size for each of `values` (texts or bytes),
  // copied into the module's memory for the length of the call.
  withBytes(values, fn) {
    const m = this.module;
    const arrays = values.map(bytesOf);
    const pointers = arrays.map((a) => m._malloc(Math.max(a.length, 1)));
    try {
      arrays.forEach((a, i) => m.HEAPU8.set(a, pointers[i]));
      const args = [];
      arrays.forEach((a, i) => args.push(pointers[i], a.length));
      return fn(...args);
    } finally {
      pointers.forEach((p) => m._free(p));
    }
  }

  // The bytes the last call handed back.
  result(size) {
    const start = this.module._zn_result_data();
    return this.module.HEAPU8.slice(start, start + size);
  }

  // Forgets every file; the next run starts with an empty file system.
  reset() {
    this.module._zn_reset();
  }

  // Each returns the error number, 0 on success.
  addFile(path, data) {
    return this.withBytes([path, data], (p, ps, d, ds) => this.module._zn_add_file(p, ps, d, ds));
  }

  addDirectory(path) {
    return this.withBytes([path], (p, ps) => this.module._zn_add_dir(p, ps));
  }

  // Runs a script; returns its exit status. Standard output goes to the
  // onOutput function the module was made with.
  run(script, input, args = [], { shell = false, reference = false } = {}) {
    const argBytes = args.map((a) => [...bytesOf(a), 0]).flat();
    const flags = (shell ? 1 : 0) | (reference ? 2 : 0);
    return this.withBytes([script, input, new Uint8Array(argBytes)], (s, ss, i, is, a, as) =>
      this.module._zn_run(s, ss, i, is, a, as, flags),
    );
  }

  // The files and folders the last run left: {path, directory, data}.
  files() {
    const bytes = this.result(this.module._zn_list_files());
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const entries = [];
    let at = 0;
    const take = () => {
      const size = view.getUint32(at, true);
      const part = bytes.subarray(at + 4, at + 4 + size);
      at += 4 + size;
      return part;
    };
    while (at < bytes.length) {
      const directory = bytes[at++] === 0x64; // 'd'
      const path = decoder.decode(take());
      entries.push({ path, directory, data: take().slice() });
    }
    return entries;
  }

  // The checker's findings: {line, column, severity, code, message}.
  check(text) {
    const size = this.withBytes([text], (t, ts) => this.module._zn_check(t, ts));
    const lines = decoder.decode(this.result(size)).split('\n').filter(Boolean);
    return lines.map((l) => {
      const [line, column, severity, code, ...message] = l.split('\t');
      return { line: +line, column: +column, severity, code, message: message.join('\t') };
    });
  }
}

// Makes the module with `createZarnith` (zarnith.js) and wraps it.
export async function loadEngine(createZarnith, options) {
  return new Engine(await createZarnith(options));
}
