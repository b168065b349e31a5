// The page's modules that hold no element: the values in the unit's steps
// and words, the model's paths, and the pace of sends. No browser; node's
// own test runner.
//
//   node --test tests/browser/modules.test.mjs

import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';
import { fileURLToPath } from 'node:url';

const web = path.join(path.dirname(fileURLToPath(import.meta.url)), '../../core/remote/web');

// The page's files are ES modules named .js, which node reads as ES modules
// only with a package.json beside them; these two import nothing, so they
// load as they are from a data: address, on any node.
async function load(name) {
  const source = readFileSync(path.join(web, name), 'utf8');
  return import(`data:text/javascript;base64,${Buffer.from(source).toString('base64')}`);
}

const { Model, formatGain, parseDelay, snapDelay, snapGain } = await load('model.js');
const { SettingSender } = await load('sender.js');

test('values in the unit\'s steps and words', () => {
  const cases = [
    [snapGain, 2.39, 2.4],
    [snapGain, -4.19, -4.2],
    [snapGain, 2.4, 2.4],  // 12 steps of 0.2 are 2.4000000000000004
    [snapGain, 0.6, 0.6],
    [snapGain, -0.09, 0],
    [snapGain, 20, 15],
    [snapGain, -15.3, -15],
    [snapDelay, 2.51, 2.5],
    [snapDelay, 1 / 48 + 0.004, 0.021],
    [snapDelay, 700, 635.417],
    [snapDelay, -1, 0],
    [formatGain, 3, '+3.0 dB'],
    [formatGain, -4.2, '\u22124.2 dB'],
    [formatGain, 0, '0.0 dB'],
    [formatGain, -0.04, '0.0 dB'],
    [parseDelay, '12.5', 12.5],
    [parseDelay, '12,5', 12.5],
    [parseDelay, ' 3 ms', 3],
    [parseDelay, '.5', 0.5],
    [parseDelay, 'abc', NaN],
    [parseDelay, '', NaN],
    [parseDelay, '-1', NaN],
    [parseDelay, '1e3', NaN],
    [parseDelay, '1.2.3', NaN],
  ];
  for (const [fn, input, expected] of cases) assert.deepEqual(fn(input), expected, `${fn.name}(${JSON.stringify(input)})`);
});

test('changes land at their paths; a filter that goes ends the list there', () => {
  const program = {
    name: 'SHOW',
    out3: { gain: 0, hp: { freq: 80, type: 'L-R 24' }, eq: [{ freq: 100 }, { freq: 200 }, { freq: 300 }] },
  };
  const cases = [
    { path: 'out3.gain', value: -2.4, read: 'out3.gain' },
    { path: 'out3.hp', value: { freq: 'Out', type: 'L-R 24' }, read: 'out3.hp' },
    { path: 'out3.eq1.freq', value: 125, read: 'out3.eq1.freq' },
    { path: 'name', value: 'LATE', read: 'name' },
    { path: 'out3.eq3', value: null, read: 'out3.eq', expect: [{ freq: 125 }, { freq: 200 }] },
    // The feed may tell the last filter gone before the one in front of it.
    { path: 'out3.eq2', value: null, read: 'out3.eq', expect: [{ freq: 125 }] },
    { path: 'out4.eq1', value: { freq: 50 }, read: 'out4.eq', expect: [{ freq: 50 }] },
  ];
  const model = new Model();
  assert.equal(model.take({ type: 'snapshot', unit: {}, program: structuredClone(program), memories: {} }), 'all');
  for (const c of cases) {
    assert.equal(model.take({ type: 'change', path: c.path, value: c.value }), c.path);
    assert.deepEqual(model.get(c.read), c.expect ?? c.value, c.path);
  }
  assert.equal(model.take({ type: 'pong' }), null);
});

// A send that answers when the test says: sends[i].answer(error?).
function scriptedSend() {
  const sends = [];
  const send = (path, value) => new Promise((resolve, reject) => {
    sends.push({ path, value, answer: (error) => (error ? reject(error) : resolve()) });
  });
  return { sends, send };
}

const tick = (ms = 0) => new Promise((resolve) => setTimeout(resolve, ms));

// Resolves when check() holds; fails the test after a second.
async function until(what, check) {
  for (const end = Date.now() + 1000; !check(); await tick(2))
    if (Date.now() > end) assert.fail(`never: ${what}`);
}

test('one value of a setting on its way at a time, at the pace, the last one always', async () => {
  const { sends, send } = scriptedSend();
  const idle = [];
  const sender = new SettingSender(send, { interval: 100, onIdle: (p) => idle.push(p) });
  for (const v of [1, 2, 3, 4]) sender.set('out1.gain', v);
  sender.set('out2.gain', 9);
  assert.deepEqual(sends.map((s) => [s.path, s.value]), [['out1.gain', 1], ['out2.gain', 9]]);
  assert.equal(sender.latest('out1.gain'), 4);
  await tick(150);
  assert.equal(sends.length, 2, 'a second value went before the first was answered');
  sends[0].answer();
  sends[1].answer();
  await until('the waiting value goes', () => sends.length === 3);
  assert.equal(sends[2].value, 4, 'the waiting value replaced 2 and 3');
  assert.deepEqual(idle, ['out2.gain']);
  sends[2].answer();
  await until('out1 is idle', () => idle.length === 2);
  assert.equal(sender.busy('out1.gain'), false);
  // The pace: the next value waits for the interval since the last went.
  sender.set('out1.gain', 5);
  await tick(10);
  assert.equal(sends.length, 3, 'sent before the interval was over');
  await until('the paced value goes', () => sends.length === 4);
  assert.equal(sends[3].value, 5);
});

test('refusals: a full line sends the latest value again, others are told', async () => {
  const cases = [
    { error: { status: 429, reason: 'the line is full' }, told: [], sentAgain: true },
    { error: { status: 400, reason: 'out of range' }, told: ['out of range'], sentAgain: false },
    { error: { status: 503, reason: 'not connected' }, told: ['not connected'], sentAgain: false },
  ];
  for (const c of cases) {
    const { sends, send } = scriptedSend();
    const told = [];
    const sender = new SettingSender(send, { interval: 1, retryMs: 15, onError: (p, e) => told.push(e.reason) });
    sender.set('out1.delay', 1);
    sends[0].answer(c.error);
    await tick(40);
    assert.deepEqual(told, c.told, c.error.reason);
    assert.equal(sends.length, c.sentAgain ? 2 : 1, c.error.reason);
    if (c.sentAgain) assert.equal(sends[1].value, 1);
  }
});

test('what waits is dropped when the unit goes away', async () => {
  const { sends, send } = scriptedSend();
  const sender = new SettingSender(send, { interval: 1 });
  sender.set('out1.mute', true);
  sender.set('out1.mute', false);
  sender.drop();
  sends[0].answer();
  await tick(20);
  assert.deepEqual(sends.map((s) => s.value), [true]);
  assert.equal(sender.busy('out1.mute'), false);
});
