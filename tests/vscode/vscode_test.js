// The Zarnith extension in real VS Code (code-server), seen through Debian's
// chromium driven by puppeteer-core: the checker's findings in the Problems
// panel, tabs in the status bar, a breakpoint that stops, typed values in the
// Variables view, and a step over a jump that lands on its target. Every wait
// is for a state of the page, never a fixed time.
//
// Usage: VSCODE_URL=URL node --test vscode_test.js   (NODE_PATH: puppeteer-core;
// CHROMIUM: the browser)
'use strict';
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { test, before, after, afterEach } = require('node:test');
const puppeteer = require('puppeteer-core');

const URL = process.env.VSCODE_URL;
const LONG = 120000; // the first start of the workbench and its extension host
let browser;
let page;
let profile; // the browser's throw-away profile folder

async function textOf(selector) {
  return page.$$eval(selector, (nodes) => nodes.map((n) => n.textContent).join('\n'));
}

// Waits until some element matching the selector has text matching the pattern.
async function waitForText(selector, pattern, timeout = LONG) {
  await page.waitForFunction((sel, source) => {
    const re = new RegExp(source);
    return [...document.querySelectorAll(sel)].some((n) => re.test(n.textContent));
  }, { timeout, polling: 250 }, selector, pattern.source);
}

// Runs a command from the palette: the row of exactly that name, not the best
// fuzzy match ("Debug: Start Debugging" ranks "Debug: Select and Start
// Debugging" first).
async function command(name) {
  await page.keyboard.press('F1');
  await page.waitForSelector('.quick-input-widget input', { visible: true });
  await page.keyboard.type(name);
  const row = await page.waitForFunction((wanted) => [...document.querySelectorAll(
    '.quick-input-list .monaco-list-row')].find((n) => {
    const label = n.getAttribute('aria-label') || '';
    return label === wanted || label.startsWith(wanted + ',');
  }), { timeout: LONG, polling: 250 }, name);
  await row.click();
  await page.waitForSelector('.quick-input-widget', { hidden: true });
}

async function goToLine(line) {
  await page.keyboard.down('Control');
  await page.keyboard.press('g');
  await page.keyboard.up('Control');
  await page.waitForSelector('.quick-input-widget input', { visible: true });
  await page.keyboard.type(String(line));
  await page.keyboard.press('Enter');
  await waitForText('.statusbar-item', new RegExp(`Ln ${line},`));
}

// The line the debugger stopped at, from the Call Stack view.
async function stoppedLine() {
  await page.waitForSelector('.debug-call-stack .monaco-list-row .line-number', { timeout: LONG });
  const text = await textOf('.debug-call-stack .monaco-list-row .line-number');
  return Number(text.split(':')[0]);
}

before(async () => {
  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: (profile = fs.mkdtempSync(path.join(os.tmpdir(), 'zn-chromium-'))),
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync',
           '--window-size=1400,900'],
    defaultViewport: { width: 1400, height: 900 },
  });
  page = await browser.newPage();
  await page.goto(URL, { waitUntil: 'domcontentloaded', timeout: LONG });
  await page.waitForSelector('.monaco-workbench', { timeout: LONG });
  // The script from the explorer.
  await waitForText('.explorer-folders-view .monaco-list-row', /loop\.zn/);
  await page.click('.explorer-folders-view .monaco-list-row[aria-label*="loop.zn"]');
  await page.waitForSelector('.monaco-editor .view-lines', { timeout: LONG });
});

// What the page showed when a test ended: the status bar's texts, the
// messages on screen (an adapter that did not start says why in one), and with
// ZN_VSCODE_SHOTS set, a screenshot in that folder.
let shots = 0;
afterEach(async () => {
  if (!page) return;
  console.log('status bar: ' + (await textOf('.statusbar-item')).replace(/\s+/g, ' '));
  const messages = await textOf('.notification-list-item-message, .monaco-dialog-box .dialog-message-container');
  if (messages) console.log('messages: ' + messages.replace(/\s+/g, ' '));
  if (process.env.ZN_VSCODE_SHOTS) {
    await page.screenshot({ path: path.join(process.env.ZN_VSCODE_SHOTS, `test-${++shots}.png`) });
  }
});

after(async () => {
  if (browser) await browser.close();
  if (profile) fs.rmSync(profile, { recursive: true, force: true });
});

test('the status bar shows tabs for a Zarnith script', async () => {
  await waitForText('.statusbar-item', /Zarnith/);
  await waitForText('.statusbar-item', /Tab Size/);
  assert.doesNotMatch(await textOf('.statusbar-item'), /Spaces:/);
});

test('the Problems panel shows the checker\'s findings', async () => {
  await command('View: Focus Problems (Errors, Warnings, Infos)');
  await waitForText('.markers-panel .monaco-list-row', /matches no statement/);
  await waitForText('.markers-panel .monaco-list-row', /no-statement/);
});

test('a breakpoint stops, the Variables view shows typed values, a step follows the jump', async () => {
  // The extension registers its debugger before it starts the language
  // server, so a finding in the editor means F5 will find the adapter.
  await page.waitForSelector('.monaco-editor .squiggly-warning', { timeout: LONG });
  await page.click('.monaco-editor .view-lines');
  await goToLine(6);
  await page.keyboard.press('F9');
  await page.waitForSelector('.codicon-debug-breakpoint', { timeout: LONG });
  await page.keyboard.press('F5');
  // The session starts, or a dialog says why it did not.
  await page.waitForSelector('.debug-toolbar, .monaco-dialog-box', { visible: true, timeout: LONG });
  assert.strictEqual(await textOf('.monaco-dialog-box .dialog-message-container'), '');
  await waitForText('.call-stack-state-message', /Paused on breakpoint/);
  assert.strictEqual(await stoppedLine(), 6);
  // Types are shown beside the names (debug.showVariableTypes).
  await waitForText('.debug-variables .monaco-list-row', /^\s*i: int =\s*1\s*$/);
  const variables = await textOf('.debug-variables .monaco-list-row');
  assert.match(variables, /^\s*returned: int =\s*-1\s*$/m);
  assert.match(variables, /^\s*arg: string =\s*"nil"\s*$/m);
  // Line 6 is "jump, 3": a step over lands on line 3.
  await command('Debug: Step Over');
  await page.waitForFunction(() => {
    const n = document.querySelector('.debug-call-stack .monaco-list-row .line-number');
    return n && n.textContent.startsWith('3:');
  }, { timeout: LONG, polling: 250 });
  await command('Debug: Stop');
  await page.waitForSelector('.debug-toolbar', { hidden: true, timeout: LONG });
});
