// Starts zarnith-lsp for .zn files, so VS Code shows the checker's findings,
// follows jump targets and keeps them right while lines come and go. Without
// the server the extension still colours scripts through its grammar: a
// missing server is said once, quietly, and is not an error.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const vscode = require('vscode');

const SERVER_NAME = 'zarnith-lsp';
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

// The server to run: the zarnith.server.path setting when it is set (a bare
// name is looked up on the PATH, "~/" is the home directory), else
// zarnith-lsp from the PATH. null when there is none.
function serverCommand() {
  const configured = (vscode.workspace.getConfiguration('zarnith').get('server.path') || '').trim();
  if (configured === '') return findOnPath(SERVER_NAME, process.env.PATH);
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

async function activate(context) {
  const command = serverCommand();
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
