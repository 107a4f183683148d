// Starts zarnith-lsp for .zn files, so VS Code shows the checker's findings,
// follows jump targets and keeps them right while lines come and go. Without
// the server the extension still colours scripts through its grammar: a
// missing server is said once, quietly, and is not an error. Debug sessions
// of type zarnith run zarnith-dap.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const vscode = require('vscode');

const SERVER_NAME = 'zarnith-lsp';
const DEBUGGER_NAME = 'zarnith-dap';
// Remembered across sessions, so the missing server is mentioned only once.
const NOTICE_SHOWN_KEY = 'zarnith.missingServerNoticeShown';

let client = null;

function isExecutableFile(file) {
  try {
    if (!fs.statSync(file).isFile()) return false;
    fs.accessSync(file, fs.constants.X_OK);
    return true;
  } catch (_) {
    return false;
  }
}

function findOnPath(name, searchPath) {
  for (const dir of (searchPath || '').split(path.delimiter)) {
    if (dir === '') continue;
    const candidate = path.join(dir, name);
    if (isExecutableFile(candidate)) return candidate;
  }
  return null;
}

// The program to run: the setting (zarnith.server.path, zarnith.dap.path)
// when it is set (a bare name is looked up on the PATH, "~/" is the home
// directory), else the program of that name on the PATH. null when there is none.
function toolCommand(setting, name) {
  const configured = (vscode.workspace.getConfiguration('zarnith').get(setting) || '').trim();
  if (configured === '') return findOnPath(name, process.env.PATH);
  if (!configured.includes('/')) return findOnPath(configured, process.env.PATH);
  const expanded = configured.startsWith('~/') ? path.join(os.homedir(), configured.slice(2)) : configured;
  return isExecutableFile(expanded) ? expanded : null;
}

// vscode-languageclient is a dependency of the extension; a copy of the
// folder without its node_modules still colours scripts.
function loadLanguageClient() {
  try {
    return require('vscode-languageclient/node');
  } catch (_) {
    return null;
  }
}

function noticeColoursOnly(context, reason) {
  if (context.globalState.get(NOTICE_SHOWN_KEY)) return;
  context.globalState.update(NOTICE_SHOWN_KEY, true);
  vscode.window.showInformationMessage(
    `Zarnith: ${reason}; scripts are coloured, but not checked. ` +
    'See editors/README.md to set up the language server.');
}

// A debug session of type zarnith runs zarnith-dap over its standard input
// and output. F5 with no launch configuration debugs the script in the editor.
// A missing adapter is thrown rather than returned as nothing: VS Code then
// shows our reason in the dialog that says the session did not start, where
// nothing would get its own "Couldn't find a debug adapter descriptor".
function registerDebugger(context) {
  context.subscriptions.push(vscode.debug.registerDebugAdapterDescriptorFactory('zarnith', {
    createDebugAdapterDescriptor() {
      const command = toolCommand('dap.path', DEBUGGER_NAME);
      if (command === null) {
        throw new Error(`Zarnith: ${DEBUGGER_NAME} was not found; install zarnith or set zarnith.dap.path.`);
      }
      return new vscode.DebugAdapterExecutable(command, []);
    },
  }));
  context.subscriptions.push(vscode.debug.registerDebugConfigurationProvider('zarnith', {
    resolveDebugConfiguration(_folder, config) {
      if (config.type || config.request || config.name) return config;
      const editor = vscode.window.activeTextEditor;
      if (!editor || editor.document.languageId !== 'zarnith') return config;
      const program = editor.document.fileName;
      return { type: 'zarnith', request: 'launch', name: 'Debug the current script', program,
               cwd: path.dirname(program) };
    },
  }));
}

// The [zarnith] defaults of the manifest (tabs, no guessing) reach an editor
// only when VS Code knows the language before it opens the file: a script
// restored at start-up keeps the options guessed for plain text ("Spaces:
// 4"), and a line indented with spaces does nothing in Zarnith. So each
// Zarnith editor gets the options configured for the language (the user's
// own [zarnith] settings included), unless guessing was asked for.
function applyIndentation(editor) {
  if (!editor || !editor.document || editor.document.languageId !== 'zarnith') return;
  const config = vscode.workspace.getConfiguration('editor', { languageId: 'zarnith' });
  if (config.get('detectIndentation')) return;
  const insertSpaces = config.get('insertSpaces');
  const tabSize = config.get('tabSize');
  if (editor.options.insertSpaces !== insertSpaces || editor.options.tabSize !== tabSize) {
    editor.options = { insertSpaces, tabSize };
  }
}

function keepIndentation(context) {
  vscode.window.visibleTextEditors.forEach(applyIndentation);
  context.subscriptions.push(
    vscode.window.onDidChangeActiveTextEditor(applyIndentation),
    vscode.window.onDidChangeVisibleTextEditors((editors) => editors.forEach(applyIndentation)));
}

async function activate(context) {
  registerDebugger(context);
  keepIndentation(context);
  const command = toolCommand('server.path', SERVER_NAME);
  if (command === null) {
    noticeColoursOnly(context, `${SERVER_NAME} was not found`);
    return;
  }
  const languageClient = loadLanguageClient();
  if (languageClient === null) {
    noticeColoursOnly(context, 'vscode-languageclient is not installed (run npm ci in the extension folder)');
    return;
  }
  const serverOptions = { command, args: [], transport: languageClient.TransportKind.stdio };
  const clientOptions = {
    documentSelector: [
      { scheme: 'file', language: 'zarnith' },
      { scheme: 'untitled', language: 'zarnith' },
    ],
  };
  client = new languageClient.LanguageClient('zarnith', 'Zarnith', serverOptions, clientOptions);
  await client.start();
}

function deactivate() {
  if (client === null) return undefined;
  const stopping = client.stop();
  client = null;
  return stopping;
}

module.exports = { activate, deactivate };
