// Loads the VS Code extension outside VS Code: `vscode` is a small fake and
// the language client is the installed vscode-languageclient with its
// LanguageClient class replaced by a recorder, so the tests see which server
// the extension would start, and that it starts none (and says so once,
// quietly) when there is no server.
//
// Usage: node extension_test.js EXTENSION_DIR   (NODE_PATH: the node_modules
// that hold the vscode-languageclient version the extension depends on)
'use strict';
const assert = require('assert');
const fs = require('fs');
const Module = require('module');
const os = require('os');
const path = require('path');
const test = require('node:test');

const extensionDir = path.resolve(process.argv[2]);
const manifest = JSON.parse(fs.readFileSync(path.join(extensionDir, 'package.json'), 'utf8'));
const extensionPath = path.join(extensionDir, manifest.main);
const clientModulesDir = process.env.NODE_PATH;

// Module requests that the fakes answer; an Error value makes the request throw.
const fakes = {};
const realLoad = Module._load;
Module._load = function load(request, ...rest) {
  if (Object.prototype.hasOwnProperty.call(fakes, request)) {
    if (fakes[request] instanceof Error) throw fakes[request];
    return fakes[request];
  }
  return realLoad.call(this, request, ...rest);
};

// The language client needs `vscode` only to load; anything it touches then is inert.
const inert = new Proxy(function () {}, {
  get: (_, key) => (key === Symbol.toPrimitive ? () => '' : inert),
  apply: () => inert,
  construct: () => inert,
});
fakes.vscode = inert;
const realClient = require('vscode-languageclient/node');

function fakeVscode(serverPathSetting, dapPathSetting) {
  const messages = [];
  const say = (kind) => (text) => { messages.push({ kind, text }); return Promise.resolve(undefined); };
  const settings = { 'server.path': serverPathSetting, 'dap.path': dapPathSetting };
  // The [zarnith] defaults of the manifest, as VS Code resolves them for the language.
  const editorSettings = { insertSpaces: false, tabSize: 4, detectIndentation: false };
  const debuggers = {};
  const script = { document: { languageId: 'zarnith', fileName: '/scripts/count.zn' },
                   options: { insertSpaces: true, tabSize: 4 } };
  const text = { document: { languageId: 'plaintext' }, options: { insertSpaces: true, tabSize: 2 } };
  const never = () => ({ dispose() {} });
  return {
    messages,
    debuggers,
    editors: { script, text },
    workspace: {
      getConfiguration: (section, scope) => ({
        get: (key) => (section === 'zarnith' ? settings[key]
          : section === 'editor' && scope && scope.languageId === 'zarnith' ? editorSettings[key] : undefined),
      }),
    },
    window: {
      showInformationMessage: say('information'),
      showWarningMessage: say('warning'),
      showErrorMessage: say('error'),
      activeTextEditor: script,
      visibleTextEditors: [script, text],
      onDidChangeActiveTextEditor: never,
      onDidChangeVisibleTextEditors: never,
    },
    debug: {
      registerDebugAdapterDescriptorFactory: (type, factory) => { debuggers[type] = { ...debuggers[type], factory }; },
      registerDebugConfigurationProvider: (type, provider) => { debuggers[type] = { ...debuggers[type], provider }; },
    },
    DebugAdapterExecutable: class { constructor(command, args) { Object.assign(this, { command, args }); } },
  };
}

function fakeContext() {
  const state = new Map();
  return {
    subscriptions: [],
    globalState: { get: (key) => state.get(key), update: (key, value) => { state.set(key, value); return Promise.resolve(); } },
  };
}

const clients = [];
class RecordingClient {
  constructor(id, name, serverOptions, clientOptions) {
    Object.assign(this, { id, name, serverOptions, clientOptions, started: 0, stopped: 0 });
    clients.push(this);
  }
  start() { this.started++; return Promise.resolve(); }
  stop() { this.stopped++; return Promise.resolve(); }
}

// A fresh copy of the extension that sees `vscode` as given and the PATH as given.
function loadExtension(vscode, searchPath) {
  fakes.vscode = vscode;
  fakes['vscode-languageclient/node'] = { ...realClient, LanguageClient: RecordingClient };
  process.env.PATH = searchPath;
  clients.length = 0;
  delete require.cache[require.resolve(extensionPath)];
  return require(extensionPath);
}

// Directories with a zarnith-lsp in each form: a program, a file that is not
// executable, a directory of that name; and a program under another name.
const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'zn-extension-'));
function place(dir, name, mode) {
  fs.mkdirSync(path.join(tmp, dir), { recursive: true });
  const file = path.join(tmp, dir, name);
  fs.writeFileSync(file, '#!/bin/sh\n', { mode });
  return file;
}
const server = place('bin', 'zarnith-lsp', 0o755);
place('plain', 'zarnith-lsp', 0o644);
fs.mkdirSync(path.join(tmp, 'dir', 'zarnith-lsp'), { recursive: true });
const renamed = place('other', 'my-zarnith-lsp', 0o755);
const dirs = (...names) => names.map((n) => path.join(tmp, n)).join(path.delimiter);
const savedPath = process.env.PATH;
const savedHome = process.env.HOME;
test.after(() => {
  process.env.PATH = savedPath;
  process.env.HOME = savedHome;
  fs.rmSync(tmp, { recursive: true, force: true });
});

test('starts zarnith-lsp from the PATH over stdio for zarnith documents', async () => {
  const vscode = fakeVscode(undefined);
  const extension = loadExtension(vscode, dirs('dir', 'plain', 'bin'));
  await extension.activate(fakeContext());
  assert.strictEqual(clients.length, 1);
  const [client] = clients;
  assert.deepStrictEqual(client.serverOptions, { command: server, args: [], transport: realClient.TransportKind.stdio });
  assert.ok(client.clientOptions.documentSelector.some((s) => s.scheme === 'file' && s.language === 'zarnith'));
  assert.strictEqual(client.started, 1);
  assert.deepStrictEqual(vscode.messages, []);
  await extension.deactivate();
  assert.strictEqual(client.stopped, 1);
});

test('colours only, with one quiet message, when zarnith-lsp is not on the PATH', async () => {
  const vscode = fakeVscode('');
  const extension = loadExtension(vscode, dirs('plain', 'dir', 'missing'));
  const context = fakeContext();
  await extension.activate(context);
  await extension.activate(context);
  assert.strictEqual(clients.length, 0);
  assert.strictEqual(vscode.messages.length, 1);
  assert.strictEqual(vscode.messages[0].kind, 'information');
  assert.match(vscode.messages[0].text, /zarnith-lsp/);
  assert.strictEqual(extension.deactivate(), undefined);
});

test('zarnith.server.path names the server: a path, a name on the PATH, or ~/', async () => {
  process.env.HOME = path.join(tmp, 'other');
  const cases = [
    [renamed, renamed],
    ['my-zarnith-lsp', renamed],
    ['~/my-zarnith-lsp', renamed],
    [path.join(tmp, 'plain', 'zarnith-lsp'), null],
    [path.join(tmp, 'missing', 'zarnith-lsp'), null],
  ];
  for (const [setting, expected] of cases) {
    const extension = loadExtension(fakeVscode(setting), dirs('bin', 'other'));
    await extension.activate(fakeContext());
    assert.deepStrictEqual(clients.map((c) => c.serverOptions.command), expected ? [expected] : [], setting);
  }
});

test('colours only when the extension was copied without its node_modules', async () => {
  const vscode = fakeVscode(undefined);
  const extension = loadExtension(vscode, dirs('bin'));
  fakes['vscode-languageclient/node'] = new Error("Cannot find module 'vscode-languageclient/node'");
  await extension.activate(fakeContext());
  assert.deepStrictEqual(vscode.messages.map((m) => m.kind), ['information']);
});

test('debug sessions run zarnith-dap, also without zarnith-lsp; F5 debugs the open script', async () => {
  const dap = place('bin', 'zarnith-dap', 0o755);
  const vscode = fakeVscode('', undefined);
  const extension = loadExtension(vscode, dirs('bin'));
  await extension.activate(fakeContext());
  const { factory, provider } = vscode.debuggers.zarnith;
  assert.deepStrictEqual({ ...factory.createDebugAdapterDescriptor({}) }, { command: dap, args: [] });
  assert.deepStrictEqual(provider.resolveDebugConfiguration(undefined, {}), {
    type: 'zarnith', request: 'launch', name: 'Debug the current script',
    program: '/scripts/count.zn', cwd: '/scripts' });
  const given = { type: 'zarnith', request: 'launch', name: 'mine', program: 'a.zn' };
  assert.strictEqual(provider.resolveDebugConfiguration(undefined, given), given);
  // zarnith.dap.path names another adapter; a missing one fails the session
  // with the reason (VS Code shows a thrown error's message).
  const other = loadExtension(fakeVscode(undefined, path.join(tmp, 'missing', 'zarnith-dap')), dirs('bin'));
  await other.activate(fakeContext());
  assert.throws(() => fakes.vscode.debuggers.zarnith.factory.createDebugAdapterDescriptor({}),
                /zarnith-dap was not found; install zarnith or set zarnith\.dap\.path/);
});

test('Zarnith editors indent with tabs even when VS Code guessed spaces', async () => {
  const vscode = fakeVscode('', undefined);
  await loadExtension(vscode, dirs('missing')).activate(fakeContext());
  assert.deepStrictEqual(vscode.editors.script.options, { insertSpaces: false, tabSize: 4 });
  assert.deepStrictEqual(vscode.editors.text.options, { insertSpaces: true, tabSize: 2 });
});

test('the manifest declares the debugger and defaults for zarnith files', () => {
  const [debuggerEntry] = manifest.contributes.debuggers;
  assert.strictEqual(debuggerEntry.type, 'zarnith');
  assert.deepStrictEqual(debuggerEntry.configurationAttributes.launch.required, ['program']);
  assert.ok(manifest.contributes.breakpoints.some((b) => b.language === 'zarnith'));
  assert.ok(manifest.activationEvents.includes('onDebugResolve:zarnith'));
  assert.ok(manifest.contributes.configuration.properties['zarnith.dap.path']);
  const defaults = manifest.contributes.configurationDefaults['[zarnith]'];
  assert.strictEqual(defaults['editor.insertSpaces'], false);
  assert.strictEqual(defaults['editor.detectIndentation'], false);
});

test('the manifest activates the extension on zarnith files with the installed client', () => {
  assert.ok(manifest.activationEvents.includes('onLanguage:zarnith'));
  const installed = JSON.parse(fs.readFileSync(
    path.join(clientModulesDir, 'vscode-languageclient', 'package.json'), 'utf8'));
  // The tests run against the exact version the extension ships with.
  assert.strictEqual(manifest.dependencies['vscode-languageclient'], installed.version);
  const minimum = (range) => range.replace(/^[\^~>=]+/, '').split('.').map(Number);
  const [ours, needed] = [minimum(manifest.engines.vscode), minimum(installed.engines.vscode)];
  const ourIsEnough = ours[0] > needed[0] || (ours[0] === needed[0] &&
    (ours[1] > needed[1] || (ours[1] === needed[1] && ours[2] >= needed[2])));
  assert.ok(ourIsEnough, `engines.vscode ${manifest.engines.vscode} is older than the client's ${installed.engines.vscode}`);
  assert.ok(manifest.contributes.configuration.properties['zarnith.server.path']);
});
