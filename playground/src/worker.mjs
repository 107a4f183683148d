// Runs scripts off the page's thread, so that an endless loop never freezes
// the page and Stop can end it (the page ends the worker). Output is posted
// as it is printed, gathered for a moment so that a loop that prints fast
// does not send one message a line.
import { Engine } from './engine.mjs';

/* global importScripts, createZarnith */
importScripts('zarnith.js');

const kGatherMs = 20;
// A script that prints without end would flood the page: past this many
// bytes its output is dropped here (the run goes on) and the page is told.
const kPostLimit = 1 << 20;
let engine = null;
let pending = [];
let lastPost = 0;
let posted = 0;

function postOutput() {
  if (pending.length === 0) return;
  if (posted >= kPostLimit) {
    pending = [];
    return;
  }
  const size = pending.reduce((n, b) => n + b.length, 0);
  const bytes = new Uint8Array(size);
  let at = 0;
  for (const b of pending) {
    bytes.set(b, at);
    at += b.length;
  }
  pending = [];
  lastPost = performance.now();
  posted += bytes.length;
  postMessage({ type: 'output', bytes }, [bytes.buffer]);
  if (posted >= kPostLimit) postMessage({ type: 'note', text: 'Output past 1 MiB is not shown.' });
}

function onOutput(bytes) {
  pending.push(bytes);
  if (performance.now() - lastPost >= kGatherMs) postOutput();
}

// sleep really waits: the worker blocks, the page does not. Atomics.wait
// needs a cross-origin isolated page; elsewhere the clock is watched.
const sleeper = typeof SharedArrayBuffer !== 'undefined' && self.crossOriginIsolated
  ? new Int32Array(new SharedArrayBuffer(4))
  : null;

function sleep(ms) {
  postOutput();
  if (sleeper) {
    Atomics.wait(sleeper, 0, 0, ms);
    return;
  }
  const end = performance.now() + ms;
  while (performance.now() < end) {
    // waiting
  }
}

// A call on a stream that sounds: the page plays it. Output printed before
// the call is shown first.
function onAudio(event) {
  postOutput();
  postMessage({ type: 'audio', ...event }, event.bytes ? [event.bytes.buffer] : []);
}

async function init(wasmModule) {
  const module = await createZarnith({
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(wasmModule, imports).then((instance) => receive(instance, wasmModule));
      return {};
    },
    onOutput,
    onAudio,
    sleep,
  });
  engine = new Engine(module);
  postMessage({ type: 'ready' });
}

function run({ script, stdin, args, files }) {
  engine.reset();
  for (const f of files) {
    if (engine.addFile(f.path, f.data) !== 0) {
      postMessage({ type: 'note', text: `The file ${f.path} could not be added.` });
    }
  }
  let status;
  try {
    status = engine.run(script, stdin, args);
  } catch (error) {
    postOutput();
    postMessage({ type: 'crash', message: String(error) });
    return;
  }
  postOutput();
  postMessage({ type: 'done', status, files: engine.files() });
}

self.onmessage = (event) => {
  const message = event.data;
  if (message.type === 'init') init(message.module);
  else if (message.type === 'run') run(message);
};
