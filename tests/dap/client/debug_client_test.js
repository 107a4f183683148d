// zarnith-dap driven by DebugClient (npm @vscode/debugadapter-testsupport),
// the client that VS Code's own debug adapters are tested with. Run by
// node's test runner with ZARNITH_DAP naming the adapter.
'use strict';
const assert = require('node:assert');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { test, beforeEach, afterEach } = require('node:test');
const { DebugClient } = require('@vscode/debugadapter-testsupport');

// Lines are numbered in the comments as the tests use them.
const COUNT = [
  '# 1: counts to three, then prints', // 1
  'i = 0', // 2
  'end', // 3
  'i = i+1', // 4
  'if i < 3', // 5
  'jump, 3', // 6
  'end', // 7
  'print, "done"', // 8
  'exit, 4', // 9
].join('\n') + '\n';

let dc;
let dir;

function script(text) {
  const file = path.join(dir, 'count.zn');
  fs.writeFileSync(file, text);
  return file;
}

// Sends a request and waits for the stop it leads to. DebugClient hands an
// event only to those already waiting, so the wait starts first.
async function stopAfter(request, reason, line) {
  const stopped = dc.waitForEvent('stopped');
  await request;
  const event = await stopped;
  assert.strictEqual(event.body.reason, reason);
  const trace = await dc.stackTraceRequest({ threadId: 1 });
  assert.strictEqual(trace.body.stackFrames[0].line, line);
}

const thread = { threadId: 1 };

async function variable(name) {
  const found = await dc.variablesRequest({ variablesReference: 1 });
  return found.body.variables.find((v) => v.name === name);
}

async function launchWithBreakpoints(program, breakpoints, settings = {}) {
  await Promise.all([
    dc.waitForEvent('initialized').then(async () => {
      await dc.setBreakpointsRequest({ source: { path: program }, breakpoints });
      await dc.configurationDoneRequest();
    }),
    dc.launch({ program, ...settings }),
  ]);
}

beforeEach(async () => {
  dir = fs.mkdtempSync(path.join(os.tmpdir(), 'zn-dc-'));
  dc = new DebugClient(process.env.ZARNITH_DAP, '--stdio', 'zarnith');
  // A loaded machine answers slowly; nothing here waits on purpose.
  dc.defaultTimeout = 30000;
  await dc.start();
});

afterEach(async () => {
  await dc.stop();
  fs.rmSync(dir, { recursive: true, force: true });
});

test('a breakpoint stops, and the script ends with its exit status', async () => {
  const program = script(COUNT);
  await dc.hitBreakpoint({ program }, { path: program, line: 8 });
  assert.strictEqual((await variable('i')).value, '3');
  await Promise.all([
    dc.continueRequest(thread),
    dc.assertOutput('stdout', 'done\n'),
    dc.waitForEvent('exited').then((e) => assert.strictEqual(e.body.exitCode, 4)),
    dc.waitForEvent('terminated'),
  ]);
});

test('a condition and a hit count decide which pass stops', async () => {
  const program = script(COUNT);
  await stopAfter(launchWithBreakpoints(program, [{ line: 4, condition: 'i == 1' }, { line: 6, hitCondition: '2' }]),
    'breakpoint', 4);
  assert.strictEqual((await variable('i')).value, '1');
  await stopAfter(dc.continueRequest(thread), 'breakpoint', 6);
  assert.strictEqual((await variable('i')).value, '2');
});

test('next follows a jump and steps back across it', async () => {
  const program = script(COUNT);
  await dc.hitBreakpoint({ program }, { path: program, line: 6 });
  await stopAfter(dc.nextRequest(thread), 'step', 3);
  await stopAfter(dc.stepBackRequest(thread), 'step', 6);
  await stopAfter(dc.stepBackRequest(thread), 'step', 5);
  await stopAfter(dc.stepBackRequest(thread), 'step', 4);
  assert.strictEqual((await variable('i')).value, '0');
  await stopAfter(dc.continueRequest(thread), 'breakpoint', 6);
  await stopAfter(dc.continueRequest(thread), 'breakpoint', 6);
  assert.strictEqual((await variable('i')).value, '2');
  await stopAfter(dc.reverseContinueRequest(thread), 'breakpoint', 6);
  assert.strictEqual((await variable('i')).value, '1');
});

test('setVariable keeps the type and changes the run', async () => {
  const program = script(COUNT);
  await dc.hitBreakpoint({ program }, { path: program, line: 5 });
  await assert.rejects(dc.setVariableRequest({ variablesReference: 1, name: 'i', value: '"text"' }),
    /integer/);
  const set = await dc.setVariableRequest({ variablesReference: 1, name: 'i', value: '10' });
  assert.strictEqual(set.body.value, '10');
  // 10 < 3 is false: the jump is passed over.
  await stopAfter(dc.nextRequest(thread), 'step', 7);
});

test('a data breakpoint stops after the line that changed the value', async () => {
  const program = script(COUNT);
  await dc.hitBreakpoint({ program }, { path: program, line: 3 });
  const info = await dc.dataBreakpointInfoRequest({ variablesReference: 1, name: 'i' });
  assert.strictEqual(info.body.dataId, 'i');
  await dc.setBreakpointsRequest({ source: { path: program }, breakpoints: [] });
  await dc.setDataBreakpointsRequest({ breakpoints: [{ dataId: info.body.dataId }] });
  await stopAfter(dc.continueRequest(thread), 'data breakpoint', 5);
  assert.strictEqual((await variable('i')).value, '1');
});

test('pause stops an endless loop', async () => {
  const program = script('i = 0\nend\ni = i+1\njump, 2\n');
  await Promise.all([dc.configurationSequence(), dc.launch({ program })]);
  const stopped = dc.waitForEvent('stopped');
  await dc.pauseRequest(thread);
  assert.strictEqual((await stopped).body.reason, 'pause');
});
