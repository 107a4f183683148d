// The playground page: the editor with live checks, the runner in a worker,
// standard input, the files panel, share links and the examples menu.
import { EditorView, keymap, lineNumbers, highlightActiveLine, highlightActiveLineGutter,
  drawSelection } from '@codemirror/view';
import { EditorState } from '@codemirror/state';
import { defaultKeymap, history, historyKeymap, insertTab } from '@codemirror/commands';
import { syntaxHighlighting, defaultHighlightStyle, indentUnit } from '@codemirror/language';
import { linter, lintGutter } from '@codemirror/lint';
import examples from 'zarnith-examples';

import { AudioPlayer } from './audio.mjs';
import { Engine } from './engine.mjs';
import { zarnith } from './language.mjs';
import { parseShareHash, shareHash } from './share.mjs';

/* global createZarnith */
const $ = (id) => document.getElementById(id);
const output = $('output');
const runButton = $('run');
const stopButton = $('stop');
const stdinBox = $('stdin');
const argsBox = $('args');
const status = $('status');
const decoder = new TextDecoder();

// Measured by the browser test: when the first output reached the page.
window.zarnithTimings = { firstOutput: null };

// The module is compiled once (index.html starts it, with the first worker);
// the checker and every run worker instantiate it.
const boot = window.zarnithBoot;
const wasmModule = boot.module;

// ---- Running ----

// One worker at a time, made ahead of the run that needs it. Stop ends it
// (however busy it is) and makes the next.
class Runner {
  constructor() {
    this.spawn();
  }

  spawn() {
    this.worker = boot.worker || new Worker('worker.js');
    boot.worker = null;
    this.ready = new Promise((resolve) => {
      this.worker.onmessage = (event) => {
        if (event.data.type === 'ready') resolve();
        else this.onMessage(event.data);
      };
    });
    // A worker that cannot load the interpreter ends the run it was given.
    this.worker.onerror = (event) => {
      event.preventDefault();
      this.onMessage({ type: 'crash', message: event.message || 'the worker failed' });
    };
    wasmModule.then((module) => this.worker.postMessage({ type: 'init', module }));
  }

  async run(script, stdin, args, files, handlers) {
    this.handlers = handlers;
    const { worker, ready } = this;
    await ready;
    // Stopped while the worker was getting ready: that worker is gone.
    if (this.worker === worker && this.handlers === handlers) {
      worker.postMessage({ type: 'run', script, stdin, args, files });
    }
  }

  onMessage(message) {
    const h = this.handlers;
    if (!h) return;
    if (message.type === 'output') h.output(message.bytes);
    else if (message.type === 'audio') h.audio(message);
    else if (message.type === 'note') h.note(message.text);
    else if (message.type === 'done' || message.type === 'crash') {
      this.handlers = null;
      // A worker runs one script: the next run gets a fresh one.
      this.worker.terminate();
      this.spawn();
      if (message.type === 'done') h.done(message.status, message.files);
      else h.crash(message.message);
    }
  }

  stop() {
    this.handlers = null;
    this.worker.terminate();
    this.spawn();
  }
}

const runner = new Runner();
// How many streams sound now, on the body for the browser test.
const audio = new AudioPlayer((count) => { document.body.dataset.sounding = String(count); });
document.body.dataset.sounding = '0';
let running = false;
let runs = 0;
let addedFiles = [];

function setRunning(on) {
  running = on;
  runButton.disabled = on;
  stopButton.disabled = !on;
  output.dataset.state = on ? 'running' : 'done';
}

function run() {
  if (running) return;
  const script = view.state.doc.toString();
  output.textContent = '';
  output.removeAttribute('data-exit');
  $('exit').textContent = '';
  $('file-view').hidden = true;
  setRunning(true);
  audio.wake();
  status.textContent = 'Running…';
  const started = performance.now();
  const textDecoder = new TextDecoder();
  // Text arriving between two frames is shown in one piece (unless a newer
  // run has started meanwhile).
  const thisRun = ++runs;
  let unshown = '';
  const show = () => {
    if (unshown === '' || thisRun !== runs) return;
    if (window.zarnithTimings.firstOutput === null) {
      window.zarnithTimings.firstOutput = performance.now();
    }
    output.append(unshown);
    unshown = '';
    output.scrollTop = output.scrollHeight;
  };
  const args = argsBox.value === '' ? [] : [argsBox.value];
  runner.run(script, stdinBox.value, args, addedFiles, {
    output(bytes) {
      if (unshown === '') requestAnimationFrame(show);
      unshown += textDecoder.decode(bytes, { stream: true });
    },
    note(text) {
      status.textContent = text;
    },
    audio(event) {
      audio.handle(event);
    },
    done(exitStatus, files) {
      audio.stopAll();
      unshown += textDecoder.decode();
      show();
      const code = exitStatus & 255; // as the process would exit
      output.dataset.exit = String(code);
      setRunning(false);
      $('exit').textContent = `Exit status ${code}`;
      status.textContent = `Finished in ${((performance.now() - started) / 1000).toFixed(2)} s`;
      showFiles(files);
    },
    crash(message) {
      audio.stopAll();
      setRunning(false);
      $('exit').textContent = `The interpreter failed: ${message}`;
      status.textContent = '';
    },
  });
}

function stop() {
  if (!running) return;
  runner.stop();
  audio.stopAll();
  setRunning(false);
  $('exit').textContent = 'Stopped.';
  status.textContent = '';
}

runButton.addEventListener('click', run);
stopButton.addEventListener('click', stop);

// ---- Files ----

function sizeText(n) {
  return n < 1024 ? `${n} B` : n < 1048576 ? `${(n / 1024).toFixed(1)} KiB` : `${(n / 1048576).toFixed(1)} MiB`;
}

function button(text, onClick) {
  const b = document.createElement('button');
  b.type = 'button';
  b.textContent = text;
  b.addEventListener('click', onClick);
  return b;
}

function cell(row, content, className) {
  const td = row.insertCell();
  if (className) td.className = className;
  td.append(content);
  return td;
}

function download(path, data) {
  const a = document.createElement('a');
  a.href = URL.createObjectURL(new Blob([data]));
  a.download = path.split('/').pop();
  a.click();
  setTimeout(() => URL.revokeObjectURL(a.href), 1000);
}

// Files that the run left (or, before any run, the files added).
function showFiles(files) {
  const body = $('files').tBodies[0];
  body.textContent = '';
  for (const f of files) {
    const row = body.insertRow();
    row.dataset.path = f.path;
    cell(row, f.directory ? f.path + '/' : f.path);
    cell(row, f.directory ? '' : sizeText(f.data.length), 'size');
    const actions = cell(row, '');
    if (f.directory) continue;
    actions.append(button('Show', () => {
      const viewer = $('file-view');
      viewer.textContent = decoder.decode(f.data);
      viewer.dataset.path = f.path;
      viewer.hidden = false;
    }));
    actions.append(button('Download', () => download(f.path, f.data)));
    if (addedFiles.some((a) => a.path === f.path) && !running) {
      actions.append(button('Remove', () => {
        addedFiles = addedFiles.filter((a) => a.path !== f.path);
        showFiles(addedFiles);
      }));
    }
  }
}

$('add-file').addEventListener('change', async (event) => {
  for (const file of event.target.files) {
    const data = new Uint8Array(await file.arrayBuffer());
    addedFiles = addedFiles.filter((a) => a.path !== file.name).concat({ path: file.name, data });
  }
  event.target.value = '';
  showFiles(addedFiles);
});

// ---- Checks ----

const checker = wasmModule.then((module) =>
  createZarnith({
    instantiateWasm(imports, receive) {
      WebAssembly.instantiate(module, imports).then((instance) => receive(instance, module));
      return {};
    },
  }).then((m) => new Engine(m)),
);

const severities = { error: 'error', warning: 'warning', note: 'info' };

// The checker counts columns in bytes of the line; the editor in characters.
function characterOffset(lineText, byteColumn) {
  const bytes = new TextEncoder().encode(lineText).subarray(0, Math.max(0, byteColumn - 1));
  return decoder.decode(bytes).length;
}

function showFindings(list) {
  const ul = $('findings');
  ul.textContent = '';
  for (const d of list) {
    const li = document.createElement('li');
    li.className = d.severity;
    li.textContent = `line ${d.line}: ${d.message}${d.code ? ` [${d.code}]` : ''}`;
    li.addEventListener('click', () => {
      const line = view.state.doc.line(Math.min(d.line, view.state.doc.lines));
      view.dispatch({ selection: { anchor: line.from }, scrollIntoView: true });
      view.focus();
    });
    ul.append(li);
  }
}

async function checkSource(editorView) {
  const engine = await checker;
  const doc = editorView.state.doc;
  const found = engine.check(doc.toString());
  showFindings(found);
  return found.map((d) => {
    const line = doc.line(Math.min(Math.max(d.line, 1), doc.lines));
    const from = line.from + Math.min(characterOffset(line.text, d.column), line.length);
    return {
      from,
      to: line.to,
      severity: severities[d.severity] || 'info',
      message: d.message,
      source: d.code || undefined,
    };
  });
}

// ---- Editor ----

const firstScript = examples.length ? examples[0].script : 'print, "Hello, world!"\n';

const view = new EditorView({
  parent: $('editor'),
  state: EditorState.create({
    doc: firstScript,
    extensions: [
      lineNumbers(),
      highlightActiveLineGutter(),
      highlightActiveLine(),
      drawSelection(),
      history(),
      // A line indented with spaces does nothing in Zarnith: Tab is a tab.
      keymap.of([
        { key: 'Tab', run: insertTab },
        { key: 'Mod-Enter', run: () => (run(), true) },
        ...defaultKeymap,
        ...historyKeymap,
      ]),
      EditorState.tabSize.of(4),
      indentUnit.of('\t'),
      zarnith,
      syntaxHighlighting(defaultHighlightStyle),
      linter(checkSource, { delay: 250 }),
      lintGutter(),
    ],
  }),
});

function setScript(text) {
  view.dispatch({ changes: { from: 0, to: view.state.doc.length, insert: text } });
}

// ---- Examples ----

const menu = $('examples');
examples.forEach((example, i) => {
  const option = document.createElement('option');
  option.value = String(i);
  option.textContent = example.title;
  menu.append(option);
});
menu.addEventListener('change', () => {
  const example = examples[Number(menu.value)];
  menu.value = '';
  if (!example) return;
  setScript(example.script);
  stdinBox.value = example.stdin;
  argsBox.value = example.args;
  addedFiles = example.files.map((f) => ({
    path: f.path,
    data: Uint8Array.from(atob(f.base64), (c) => c.charCodeAt(0)),
  }));
  showFiles(addedFiles);
});

// ---- Sharing ----

$('share').addEventListener('click', async () => {
  const hash = shareHash(view.state.doc.toString(), stdinBox.value, argsBox.value);
  history.replaceState(null, '', hash);
  const link = $('share-link');
  link.value = location.href;
  link.hidden = false;
  link.select();
  try {
    await navigator.clipboard.writeText(location.href);
    status.textContent = 'Link copied.';
  } catch {
    status.textContent = 'Copy the link below.';
  }
});

// A share link loads its script and input and runs them.
const shared = parseShareHash(location.hash);
if (shared.code !== null) {
  setScript(shared.code);
  stdinBox.value = shared.stdin || '';
  argsBox.value = shared.args || '';
  run();
}
if (!running) output.dataset.state = 'idle';
