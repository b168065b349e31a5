// The page's modules that hold no element: the values in the unit's steps
// and words, the model's paths, the pace of sends, and what the page makes
// of a rack's messages. No browser; node's own test runner.
//
//   node --test tests/browser/modules.test.mjs

import assert from 'node:assert/strict';
import { cpSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { after, test } from 'node:test';
import { fileURLToPath, pathToFileURL } from 'node:url';

const web = path.join(path.dirname(fileURLToPath(import.meta.url)), '../../core/remote/web');

// The page's files are ES modules named .js, which node reads as ES modules
// only with a package.json that says so beside them: a copy of the folder
// gets one.
const copy = mkdtempSync(path.join(os.tmpdir(), 'kv-page-modules-'));
cpSync(web, copy, { recursive: true });
writeFileSync(path.join(copy, 'package.json'), '{"type": "module"}');
after(() => rmSync(copy, { recursive: true, force: true }));
const load = (name) => import(pathToFileURL(path.join(copy, name)).href);

const { Model, formatGain, parseDelay, snapDelay, snapGain } = await load('model.js');
const { SettingSender } = await load('sender.js');
const { Rack, aliasOfHash, fanOut, fanOutFailures, memoryChoices, unitLink } = await load('rack.js');
const { UnitControl } = await load('unit.js');
const { Session } = await load('session.js');

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
  const sender = new SettingSender(send, { interval: 100, settleMs: 0, onIdle: (p) => idle.push(p) });
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


test('a value the server took shows until the feed tells it, or a while', async () => {
  const cases = [
    { name: 'the feed tells it', answer: null, heard: true, busyAfterAnswer: true, idleAfterMs: 0 },
    { name: 'the feed stays silent', answer: null, heard: false, busyAfterAnswer: true, idleAfterMs: 30 },
    { name: 'the server refuses it', answer: { status: 400, reason: 'no' }, heard: false, busyAfterAnswer: false, idleAfterMs: 0 },
  ];
  for (const c of cases) {
    const { sends, send } = scriptedSend();
    const idle = [];
    const sender = new SettingSender(send, { interval: 1, settleMs: 30, onIdle: (p) => idle.push(p) });
    sender.set('out1.gain', -3);
    sends[0].answer(c.answer);
    await tick(1);
    assert.equal(sender.busy('out1.gain'), c.busyAfterAnswer, c.name);
    if (c.busyAfterAnswer) assert.equal(sender.latest('out1.gain'), -3, c.name);
    if (c.heard) sender.heard('out1.gain');
    const started = Date.now();
    await until(`${c.name}: idle`, () => idle.length === 1);
    assert.ok(Date.now() - started >= c.idleAfterMs - 5, `${c.name}: idle after ${Date.now() - started} ms`);
    assert.equal(sender.busy('out1.gain'), false, c.name);
    await tick(40);
    assert.deepEqual(idle, ['out1.gain'], `${c.name}: told idle once`);
  }
});

test('what waits is dropped when the unit goes away', async () => {
  const { sends, send } = scriptedSend();
  const sender = new SettingSender(send, { interval: 1, settleMs: 1000 });
  sender.set('out1.mute', true);
  sender.set('out1.mute', false);
  sender.drop();
  sends[0].answer();
  await tick(20);
  assert.deepEqual(sends.map((s) => s.value), [true]);
  assert.equal(sender.busy('out1.mute'), false, 'a dropped value still shows once it landed');
});

// A rack of two units as the server over a rack tells it first: main-l's
// server runs, sub's is starting and has told nothing yet.
function rackSnapshot() {
  return {
    type: 'snapshot',
    rack: {
      units: [
        { alias: 'main-l', port: '/dev/ttyUSB0', groups: ['mains'], server: 'running', unit: { connected: true } },
        { alias: 'sub', port: '/dev/ttyUSB1', groups: [], server: 'starting', unit: { connected: false, reason: 'its server is starting' } },
      ],
      groups: ['mains'],
    },
    units: {
      'main-l': {
        unit: { connected: true, busy: null, program: { name: 'SHOW', memory: 3 } },
        program: { name: 'SHOW', out1: { mute: true, gain: 0 } },
        memories: { current: null, read_at: null, memories: [] },
      },
      sub: { unit: { connected: false, reason: 'its server is starting' }, program: null, memories: null },
    },
  };
}

function rackOfControls() {
  return new Rack((alias) => new UnitControl(alias, { patch: async () => ({}) }));
}

test('a rack takes its snapshot, then each unit\'s messages under its alias', () => {
  const rack = rackOfControls();
  assert.deepEqual(rack.take(rackSnapshot()), { alias: null, touched: 'rack' });
  assert.deepEqual(rack.list().map((e) => [e.alias, e.server]), [['main-l', 'running'], ['sub', 'starting']]);
  assert.deepEqual(rack.members('mains'), ['main-l']);
  assert.deepEqual(rack.members(null), ['main-l', 'sub']);
  const mainL = rack.get('main-l').control;
  assert.equal(mainL.model.get('out1.mute'), true);
  assert.equal(mainL.memory(), 3);
  assert.equal(rack.get('sub').control.model.get('out1.mute'), undefined);

  const steps = [
    { message: { type: 'change', alias: 'main-l', path: 'out1.mute', value: false }, taken: { alias: 'main-l', touched: 'out1.mute' },
      check: () => assert.equal(mainL.model.get('out1.mute'), false) },
    { message: { type: 'change', alias: 'nobody', path: 'out1.mute', value: false }, taken: null },
    // A server of one unit says no alias: not the rack's.
    { message: { type: 'change', path: 'out1.mute', value: true }, taken: null,
      check: () => assert.equal(mainL.model.get('out1.mute'), false) },
    { message: { type: 'snapshot', alias: 'sub', server: 'running', unit: { connected: true }, program: { out1: { mute: false } }, memories: null },
      taken: { alias: 'sub', touched: 'all' }, check: () => assert.equal(rack.get('sub').server, 'running') },
    { message: { type: 'unit', alias: 'sub', server: 'starting', unit: { connected: false, reason: 'its server stopped' } },
      taken: { alias: 'sub', touched: 'unit' }, check: () => assert.equal(rack.get('sub').server, 'starting') },
    { message: { type: 'memories', alias: 'main-l', memories: { current: 7, read_at: 'now', memories: [] } },
      taken: { alias: 'main-l', touched: 'memories' }, check: () => assert.equal(mainL.memory(), 7) },
  ];
  for (const step of steps) {
    assert.deepEqual(rack.take(step.message), step.taken, JSON.stringify(step.message));
    if (step.check) step.check();
  }

  // The server again (the page's socket opened anew): the same unit keeps
  // its control (and what it still sends); a unit no longer listed goes.
  const again = rackSnapshot();
  again.rack.units.pop();
  delete again.units.sub;
  rack.take(again);
  assert.equal(rack.get('main-l').control, mainL);
  assert.equal(rack.get('sub'), undefined);
  assert.equal(mainL.model.get('out1.mute'), true);
});

test('a unit\'s link as its row says it', () => {
  const cases = [
    { server: 'running', unit: { connected: true, busy: null }, link: { state: 'live', text: 'Connected', reason: '' } },
    { server: 'running', unit: { connected: true, busy: 'Recall' }, link: { state: 'busy', text: 'Busy: Recall', reason: '' } },
    { server: 'running', unit: { connected: false, reason: 'the device went away' },
      link: { state: 'off', text: 'Not connected', reason: 'the device went away' } },
    { server: 'running', unit: null, link: { state: 'off', text: 'Not connected', reason: '' } },
    { server: 'starting', unit: { connected: true }, link: { state: 'starting', text: 'Server starting', reason: '' } },
  ];
  for (const c of cases) {
    const control = new UnitControl('x', {});
    control.model.unit = c.unit;
    assert.deepEqual(unitLink({ server: c.server, control }), c.link, JSON.stringify(c));
  }
});

test('what may be sent, and what a tap on a switch gives', () => {
  const live = new Session();
  live.link = { state: 'live' };
  const readOnly = new Session();
  readOnly.link = { state: 'live' };
  readOnly.readOnly = true;
  const down = new Session();
  down.link = { state: 'down', retryAt: 0 };
  const cases = [
    { session: live, unit: { connected: true, busy: null }, may: true },
    { session: live, unit: { connected: true, busy: 'Recall' }, may: false },
    { session: live, unit: { connected: false }, may: false },
    { session: live, unit: null, may: false },
    { session: readOnly, unit: { connected: true, busy: null }, may: false },
    { session: down, unit: { connected: true, busy: null }, may: false },
  ];
  for (const c of cases) {
    const control = new UnitControl('x', {});
    control.model.unit = c.unit;
    assert.equal(control.canChange(c.session), c.may, JSON.stringify({ ...c, session: c.session.link }));
  }
  const control = new UnitControl(null, {});
  control.model.take({ type: 'snapshot', unit: {}, program: { out1: { mute: true, polarity: 'normal' }, out2: { polarity: '180' } } });
  assert.deepEqual(['out1.mute', 'out1.polarity', 'out2.polarity', 'out3.mute'].map((p) => control.toggled(p)),
    [false, '180', 'normal', true]);
});

test('a group\'s answer: the units that did not do it, by name', async () => {
  const cases = [
    { answer: { units: { a: { status: 200, body: {} }, b: { status: 200, body: {} } } }, failures: [] },
    { answer: { units: { a: { status: 200, body: {} }, b: { status: 503, body: { error: { reason: 'the unit is not connected' } } } } },
      failures: [{ alias: 'b', status: 503, reason: 'the unit is not connected' }] },
    { answer: { units: { a: { status: 502, body: null } } }, failures: [{ alias: 'a', status: 502, reason: 'its server answered 502' }] },
    { answer: null, failures: [] },
  ];
  for (const c of cases) assert.deepEqual(fanOutFailures(c.answer), c.failures, JSON.stringify(c.answer));

  // All units, one request each over the units' own routes, told the same
  // way.
  const controls = ['a', 'b'].map((alias) => ({ alias }));
  const answer = await fanOut(controls, async (control) => {
    if (control.alias === 'b') throw Object.assign(new Error('x'), { status: 409, reason: 'a Recall is running' });
    return { done: control.alias };
  });
  assert.deepEqual(answer.units.a, { status: 200, body: { done: 'a' } });
  assert.deepEqual(fanOutFailures(answer), [{ alias: 'b', status: 409, reason: 'a Recall is running' }]);
});

test('the memories to recall on several units, named by their lists', () => {
  const unitWith = (memories) => {
    const control = new UnitControl('x', {});
    control.model.take({ type: 'memories', memories: { current: null, read_at: 'now', memories } });
    return control;
  };
  const choices = memoryChoices([
    unitWith([{ number: 1, name: 'SOUNDCHK', used: true }, { number: 5, name: 'SHOW A  ', used: true }, { number: 6, name: 'OLD', used: false }]),
    unitWith([{ number: 5, name: 'SHOW A', used: true }, { number: 7, name: 'SUBS', used: true }]),
    unitWith([{ number: 7, name: 'LOUD', used: true }]),
  ]);
  assert.equal(choices.length, 60);
  assert.deepEqual([1, 2, 5, 6, 7, 60].map((n) => choices[n - 1]),
    [{ value: '1', text: '1 \u00b7 SOUNDCHK' }, { value: '2', text: '2' }, { value: '5', text: '5 \u00b7 SHOW A' },
      { value: '6', text: '6' }, { value: '7', text: '7 \u00b7 SUBS / LOUD' }, { value: '60', text: '60' }]);
});

test('the address fragment names a unit of the rack', () => {
  const cases = [
    ['#unit=main-l', 'main-l'],
    ['#unit=Sub_2', 'Sub_2'],
    ['', null],
    ['#', null],
    ['#unit=', null],
    ['#unit=a/b', null],
    ['#unit=<img>', null],
    ['#units=main-l', null],
  ];
  for (const [hash, alias] of cases) assert.equal(aliasOfHash(hash), alias, hash);
});
