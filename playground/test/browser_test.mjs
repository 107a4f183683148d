// The playground in headless Chromium (Debian's, driven by puppeteer-core):
// node --test test/browser_test.mjs, with ZN_SITE naming the built site and
// ZN_CHROMIUM the browser (/usr/bin/chromium by default). Waits are for
// states of the page, never for a length of time, so a loaded machine only
// makes the test slower. The module's size and the time to first output are
// printed for the record.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { createHash } from 'node:crypto';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import puppeteer from 'puppeteer-core';

import { serve } from '../serve.mjs';

const site = path.resolve(process.env.ZN_SITE || 'build-playground/site');
const kWait = { timeout: 120000 };
let server;
let browser;
let page;
let base;
const foreignRequests = [];

const b64 = (text) => Buffer.from(text).toString('base64url');
const shareLink = (code, stdin) => `${base}#code=${b64(code)}${stdin ? `&stdin=${b64(stdin)}` : ''}`;

// Loads the page afresh: a link that differs only after "#" would not.
let visits = 0;
async function open(link) {
  const url = new URL(link);
  url.searchParams.set('visit', String(++visits));
  await page.goto(url.href);
  await page.waitForFunction(() => window.zarnithTimings !== undefined, { ...kWait, polling: 100 });
}

// Runs what the page holds and gives back [output, exit status].
async function runToEnd() {
  await page.click('#run');
  return finished();
}

async function finished() {
  await page.waitForSelector('#output[data-state="done"]', kWait);
  return page.$eval('#output', (o) => [o.textContent, o.dataset.exit]);
}

// Adds a file as the visitor would, through the page's file input.
async function addFile(name, data) {
  const file = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'zn-file-')), name);
  fs.writeFileSync(file, data);
  await (await page.$('#add-file')).uploadFile(file);
  await page.waitForSelector(`#files tr[data-path="${name}"]`, kWait);
}

before(async () => {
  server = await serve(site, 0);
  base = `http://127.0.0.1:${server.address().port}/`;
  browser = await puppeteer.launch({
    executablePath: process.env.ZN_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    userDataDir: fs.mkdtempSync(path.join(os.tmpdir(), 'zn-chromium-')),
    // Chromium reaches for other hosts on its own unless told not to.
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  page = await browser.newPage();
  page.setDefaultTimeout(kWait.timeout);
  // Nothing may be loaded from another host.
  page.on('request', (request) => {
    const url = new URL(request.url());
    if (url.protocol.startsWith('http') && url.hostname !== '127.0.0.1') {
      foreignRequests.push(request.url());
    }
  });
});

after(async () => {
  await browser?.close();
  server?.close();
});



test('the module is at most 250 KB', () => {
  const size = fs.statSync(path.join(site, 'zarnith.wasm')).size;
  console.log(`zarnith.wasm: ${size} bytes (${(size / 1024).toFixed(1)} KiB)`);
  assert.ok(size <= 250 * 1000, `${size} bytes`);
});

test('a share link runs its script with its input, and its output matches', async () => {
  const script = [
    'readline',
    'name = returned',
    'append, "hello ", name',
    'print, returned',
    'x = 6*7',
    'use, "crypto"',
    'crypto:sha256sum, "abc"',
    'print, returned',
    'use, "os"',
    'os:execute, "date"',
    'exit, 3',
    '',
  ].join('\n');
  await open(shareLink(script, 'world\n'));
  const [out, exit] = await finished();
  assert.equal(out, 'hello world\n'
    + 'ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\n'
    + 'error: 10: Unable to start date: running programs is not available in the browser\n');
  assert.equal(exit, '3');
  assert.equal(await page.$eval('#stdin', (e) => e.value), 'world\n');
});

test('the time to first output after navigation is recorded', async () => {
  const times = [];
  for (let i = 0; i < 5; i += 1) {
    await open(shareLink('print, "first"\n'));
    await finished();
    times.push(await page.evaluate(() => window.zarnithTimings.firstOutput));
  }
  times.sort((a, b) => a - b);
  console.log(`first output after navigation: median ${Math.round(times[2])} ms`
    + ` (of ${times.map(Math.round).join(', ')} ms; goal 500 ms)`);
});

test('output shows while a script sleeps', async () => {
  await open(shareLink('print, "before"\nsleep, 3000\nprint, "after"\n'));
  await page.waitForFunction(() => {
    const o = document.getElementById('output');
    return o.textContent === 'before\n' && o.dataset.state === 'running';
  }, { ...kWait, polling: 'mutation' });
  assert.deepEqual(await finished(), ['before\nafter\n', '0']);
});

test('Stop ends an endless loop and the page stays usable', async () => {
  await open(shareLink('print, "again"\njump, 1\n'));
  await page.waitForFunction(() => document.getElementById('output').textContent.length > 1000,
    kWait);
  await page.click('#stop');
  await page.waitForSelector('#output[data-state="done"]', kWait);
  assert.equal(await page.$eval('#exit', (e) => e.textContent), 'Stopped.');
  assert.equal(await page.$eval('#output', (e) => e.hasAttribute('data-exit')), false);
  // The same page runs the next script.
  await page.select('#examples', '0');
  assert.deepEqual(await runToEnd(), ['Hello, world!\n', '0']);
});

test('a file is written and read back, added before a run and listed after it', async () => {
  const script = [
    'use, "fs"',
    'fs:open, "out.txt", 1',
    'fs:write, returned, "kept\\n"',
    'fs:open, "out.txt"',
    'fs:read, returned, text',
    'printc, text',
    'fs:open, "given.txt"',
    'fs:read, returned, given',
    'printc, given',
    '',
  ].join('\n');
  await open(shareLink(script));
  await finished();
  await addFile('given.txt', 'from the visitor\n');
  assert.deepEqual(await runToEnd(), ['kept\nfrom the visitor\n', '0']);
  const rows = await page.$$eval('#files tr', (trs) => trs.map((tr) => tr.innerText.split('\t').slice(0, 2).join(' ')));
  assert.deepEqual(rows, ['given.txt 17 B', 'out.txt 5 B']);
  await page.click('#files tr[data-path="out.txt"] button');
  await page.waitForSelector('#file-view:not([hidden])', kWait);
  assert.equal(await page.$eval('#file-view', (e) => e.textContent), 'kept\n');
});

// A WAVE file of `seconds` of a quiet 440 Hz tone: 8 kHz, 16-bit, mono.
function toneWave(seconds) {
  const rate = 8000;
  const samples = rate * seconds;
  const wave = Buffer.alloc(44 + 2 * samples);
  wave.write('RIFF', 0);
  wave.writeUInt32LE(36 + 2 * samples, 4);
  wave.write('WAVEfmt ', 8);
  wave.writeUInt32LE(16, 16);
  wave.writeUInt16LE(1, 20); // PCM
  wave.writeUInt16LE(1, 22); // mono
  wave.writeUInt32LE(rate, 24);
  wave.writeUInt32LE(2 * rate, 28);
  wave.writeUInt16LE(2, 32);
  wave.writeUInt16LE(16, 34);
  wave.write('data', 36);
  wave.writeUInt32LE(2 * samples, 40);
  for (let i = 0; i < samples; i += 1) {
    wave.writeInt16LE(Math.round(1000 * Math.sin((2 * Math.PI * 440 * i) / rate)), 44 + 2 * i);
  }
  return wave;
}

test('a sound file the visitor added plays while the script runs, and stops with it', async () => {
  const script = [
    'use, "bass"',
    'bass:init, -1',
    'bass:file, "tone.wav"',
    'bass:play, returned, 1',
    'print, "playing"',
    'sleep, 2000',
    '',
  ].join('\n');
  await open(shareLink(script));
  await finished();
  await addFile('tone.wav', toneWave(5));
  await page.click('#run');
  await page.waitForFunction(() => document.body.dataset.sounding === '1'
    && document.getElementById('output').dataset.state === 'running', { ...kWait, polling: 50 });
  assert.deepEqual(await finished(), ['playing\n', '0']);
  await page.waitForFunction(() => document.body.dataset.sounding === '0', kWait);
});

// A jump past the end ends the script, so the checker warns of it.
test('a bad jump shows a finding in the gutter and in the list', async () => {
  await open(shareLink('print, "x"\njump, 99\n'));
  await page.waitForSelector('.cm-lint-marker-warning', kWait);
  const findings = await page.$$eval('#findings li', (lis) => lis.map((li) => li.textContent));
  assert.equal(findings.length, 1);
  assert.match(findings[0], /^line 2: jump target 99 is past the last line/);
});

test('the examples menu loads an example with its input and files', async () => {
  await open(base);
  const titles = await page.$$eval('#examples option', (os) => os.map((o) => o.textContent));
  assert.ok(titles.some((t) => t.startsWith('wc.zn')));
  assert.ok(!titles.some((t) => /^(tour|guess|backup)\.zn/.test(t)), 'examples that run programs');
  const wc = await page.$$eval('#examples option', (os) => os.find((o) => o.textContent.startsWith('wc.zn')).value);
  await page.select('#examples', wc);
  assert.deepEqual(await runToEnd(), ['wc.zn: 63 lines, 264 words, 1418 bytes\n', '0']);
  // checksum.zn runs no program: it digests itself, as sha256sum would.
  const checksum = await page.$$eval('#examples option', (os) => os.find((o) => o.textContent.startsWith('checksum.zn')).value);
  await page.select('#examples', checksum);
  const digest = createHash('sha256')
    .update(fs.readFileSync(new URL('../../examples/checksum.zn', import.meta.url))).digest('hex');
  assert.deepEqual(await runToEnd(), [`${digest}  checksum.zn\n`, '0']);
  const menu = await page.$$eval('#examples option', (os) => os.find((o) => o.textContent.startsWith('menu.zn')).value);
  await page.select('#examples', menu);
  const [out, exit] = await runToEnd();
  assert.match(out, /Choose: Ding!\n/);
  assert.match(out, /Choose: Bye\.\n$/);
  assert.equal(exit, '0');
});

test('the page loaded nothing from another host', () => {
  assert.deepEqual(foreignRequests, []);
});

test('Tab in the editor inserts a tab', async () => {
  await open(base);
  await page.click('.cm-content');
  await page.keyboard.down('Control');
  await page.keyboard.press('a');
  await page.keyboard.up('Control');
  await page.keyboard.press('Backspace');
  await page.keyboard.press('Tab');
  await page.keyboard.type('print, "indented"');
  assert.equal(await page.$eval('.cm-content', (e) => e.textContent), '\tprint, "indented"');
  assert.deepEqual(await runToEnd(), ['indented\n', '0']);
});
