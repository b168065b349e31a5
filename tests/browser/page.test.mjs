// The remote-control page in a real browser against the real server and the
// simulated unit: what a press on the page sends reaches the unit, changes
// made elsewhere reach the page within a second, the pace of a moving
// fader, the recall with its question, the read-only token, and the page
// when the unit or the server goes away. Screenshots at phone and tablet
// sizes go to the folder given with --out.
//
//   node page.test.mjs --kvsim build/sim/kvsim --kvctl build/cli/kvctl --out build/tests/browser

import assert from 'node:assert/strict';
import { mkdirSync, readFileSync } from 'node:fs';
import path from 'node:path';
import { parseArgs } from 'node:util';
import { fileURLToPath } from 'node:url';

import { checkLayout, checkPages, kFollowMs, kPhone, kTablets, linesSince as pageLines, openPage, shot as shotIn } from './pages.mjs';
import { run, sleep, waitFor } from './runner.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const { values: args } = parseArgs({
  options: { kvsim: { type: 'string' }, kvctl: { type: 'string' }, out: { type: 'string' } },
});
for (const name of ['kvsim', 'kvctl', 'out']) if (!args[name]) throw new Error(`--${name} is needed`);
mkdirSync(args.out, { recursive: true });

// The page sends one value of a setting at most this often.
const kPaceMs = 50;

// The simulator's log lines that came after `from` (a length of the log).
function linesSince(rig, from) {
  return pageLines(rig.log(), from);
}

// "1532 RX Out 3 gain -2.4 dB" -> -2.4.
function gainOf(line) {
  const m = / gain ([+-]?\d+\.\d) dB$/.exec(line);
  return m ? Number(m[1]) : NaN;
}

async function shot(page, name) {
  await shotIn(page, args.out, name);
}

async function linkState(page) {
  return page.$eval('#link', (e) => e.dataset.state);
}

async function bannerTitle(page) {
  return page.$eval('#banner', (e) => (e.hidden ? '' : e.querySelector('.banner-title').textContent));
}

async function pressed(page, selector) {
  return page.$eval(selector, (e) => e.getAttribute('aria-pressed'));
}

async function shownGain(page, n) {
  return page.$eval(`#out${n}`, (strip) => ({
    fader: Number(strip.querySelector('.fader').getAttribute('aria-valuenow')),
    label: strip.querySelector('.gain-value').textContent,
  }));
}

async function controlsEnabled(page) {
  return page.evaluate(() => !document.getElementById('controls').disabled && !document.getElementById('mute-all').disabled);
}

await run({ kvsim: args.kvsim, kvctl: args.kvctl, bank: path.join(here, 'memories.ay') }, 120000, async (rig) => {
  await rig.startSim();
  await rig.startServer();
  await rig.launchBrowser();

  // --- The phone: the unit as it is, then a press that reaches it.
  const phone = await openPage(rig, kPhone);
  const p = phone.page;
  await p.waitForSelector('#link[data-state="live"]', { timeout: 5000 });
  assert.equal(await p.$eval('#program-name', (e) => e.textContent.trim()), 'SOUNDCHK');
  assert.deepEqual(await p.$$eval('.strip .strip-name', (els) => els.map((e) => e.textContent)),
    ['Band 1', 'Band 2', 'Band 3', 'Band 4', 'Band 5', 'Band 6']);
  await checkLayout(p, kPhone);
  assert.ok(await controlsEnabled(p));

  const muteOut3 = '#out3 button[aria-label="Mute Out 3"]';
  let mark = rig.log().length;
  const open = await rig.request('PATCH', '/api/v1/program', { 'out3.mute': false, 'out3.gain': 0 });
  assert.equal(open.status, 200);
  await p.waitForFunction((s) => document.querySelector(s).getAttribute('aria-pressed') === 'false',
    { polling: 'mutation', timeout: kFollowMs }, muteOut3);
  mark = rig.log().length;
  await p.click(muteOut3);
  await waitFor('kvsim to receive "Out 3 mute on"', () => linesSince(rig, mark).some((l) => / RX Out 3 mute on$/.test(l)), 2000);
  await p.waitForFunction((s) => document.querySelector(s).getAttribute('aria-pressed') === 'true', { polling: 'mutation', timeout: kFollowMs }, muteOut3);

  // --- A change through the API shows on the page.
  const started = Date.now();
  assert.equal((await rig.request('PATCH', '/api/v1/program', { 'out3.gain': -4.2 })).status, 200);
  await p.waitForFunction(() => {
    const strip = document.getElementById('out3');
    return strip.querySelector('.fader').getAttribute('aria-valuenow') === '-4.2' &&
      strip.querySelector('.gain-value').textContent === '\u22124.2 dB';
  }, { polling: 'mutation', timeout: kFollowMs });
  console.log(`the page showed the API's gain after ${Date.now() - started} ms`);

  // --- The steps: from what is shown, in the unit's steps.
  const steps = [
    { button: 'Out 3 gain up 1 dB', line: / RX Out 3 gain -3\.2 dB$/, shows: -3.2 },
    { button: 'Out 3 gain down 0.2 dB', line: / RX Out 3 gain -3\.4 dB$/, shows: -3.4 },
  ];
  for (const step of steps) {
    mark = rig.log().length;
    await p.click(`button[aria-label="${step.button}"]`);
    await waitFor(`kvsim to receive ${step.line}`, () => linesSince(rig, mark).some((l) => step.line.test(l)), 2000);
    await waitFor(`Out 3 to show ${step.shows}`, async () => (await shownGain(p, 3)).fader === step.shows, kFollowMs);
  }

  // --- A fader sends while it moves, at its pace, and the last value goes.
  mark = rig.log().length;
  await p.evaluate(() => { window.sentPatches = []; });
  await p.$eval('#out2 .fader', (e) => e.scrollIntoView({ block: 'center' }));
  const thumb = await (await p.$('#out2 .fader-thumb')).boundingBox();
  const x = thumb.x + thumb.width / 2, y = thumb.y + thumb.height / 2;
  await p.mouse.move(x, y);
  await p.mouse.down();
  for (let i = 1; i <= 15; i++) {
    await p.mouse.move(x + i * 8, y);
    await sleep(25);
  }
  const released = await p.evaluate(() => performance.now());
  await p.mouse.up();
  const finalGain = (await shownGain(p, 2)).fader;
  assert.ok(finalGain > 5, `the fader moved to ${finalGain} dB`);
  await waitFor('kvsim to receive the fader\'s last value', () => {
    const gains = linesSince(rig, mark).filter((l) => / RX Out 2 gain /.test(l)).map(gainOf);
    return gains.length > 0 && gains[gains.length - 1] === finalGain;
  }, 2000);
  const patches = (await p.evaluate(() => window.sentPatches)).filter((s) => 'out2.gain' in s.body);
  const whileMoving = patches.filter((s) => s.at < released).length;
  assert.ok(whileMoving >= 2, `the fader sent ${whileMoving} values while it moved`);
  assert.equal(patches[patches.length - 1].body['out2.gain'], finalGain);
  for (let i = 1; i < patches.length; i++)
    assert.ok(patches[i].at - patches[i - 1].at >= kPaceMs - 5, `two sends ${patches[i].at - patches[i - 1].at} ms apart`);
  assert.equal((await rig.request('GET', '/api/v1/program')).body.out2.gain, finalGain);

  // --- A delay typed in ms; a typed value that is no delay is refused.
  mark = rig.log().length;
  const delayEntry = '#out1 .delay-entry';
  await p.click(delayEntry);
  await p.keyboard.type('2.5');
  await p.keyboard.press('Enter');
  await waitFor('kvsim to receive "Out 1 delay 2.500 ms"', () => linesSince(rig, mark).some((l) => / RX Out 1 delay 2\.500 ms$/.test(l)), 2000);
  await p.waitForFunction((s) => document.querySelector(s).value === '2.500', { polling: 10, timeout: kFollowMs }, delayEntry);
  const refusedTyping = [
    { typed: 'abc', toast: /a delay is a number of ms/ },
    { typed: '700', toast: /a delay is a number of ms/ },
  ];
  for (const entry of refusedTyping) {
    mark = rig.log().length;
    await p.click(delayEntry);
    await p.keyboard.type(entry.typed);
    await p.keyboard.press('Enter');
    await p.waitForFunction((re) => new RegExp(re).test(document.getElementById('toast').textContent),
      { polling: 'mutation', timeout: kFollowMs }, entry.toast.source);
    assert.equal(await p.$eval(delayEntry, (e) => e.value), '2.500', `after typing ${entry.typed}`);
    await sleep(150);
    assert.ok(!linesSince(rig, mark).some((l) => / RX Out 1 delay/.test(l)), `typing ${entry.typed} sent a delay`);
  }

  // --- Another browser follows the phone, and the server marks the phone's
  // changes as the page's.
  const tablet = await openPage(rig, kTablets[0]);
  const t = tablet.page;
  await t.waitForSelector('#link[data-state="live"]', { timeout: 5000 });
  await t.evaluate(() => {
    window.heard = [];
    const ws = new WebSocket(`ws://${location.host}/api/v1/ws`);
    ws.onmessage = (e) => window.heard.push(JSON.parse(e.data));
  });
  await waitFor('the second WebSocket to open', () => t.evaluate(() => window.heard.length > 0), 2000);
  assert.equal(await pressed(t, '#out4 .polarity'), 'false');
  // A page behind another tab renders nothing, and a click needs a frame.
  await p.bringToFront();
  await p.click('#out4 .polarity');
  await t.waitForFunction(() => document.querySelector('#out4 .polarity').getAttribute('aria-pressed') === 'true',
    { polling: 'mutation', timeout: kFollowMs });
  const heard = await t.evaluate(() => window.heard.filter((m) => m.type === 'change' && m.path === 'out4.polarity'));
  assert.deepEqual(heard.map((m) => [m.value, m.source]), [['180', 'web']]);

  // --- Mute all at once; Unmute all asks first.
  const allMutes = () => p.$$eval('.strip .mute', (els) => els.map((e) => e.getAttribute('aria-pressed')).join());
  for (const all of [{ button: '#mute-all', asks: false, word: 'on', pressed: 'true' },
    { button: '#unmute-all', asks: true, word: 'off', pressed: 'false' }]) {
    mark = rig.log().length;
    await p.click(all.button);
    if (all.asks) {
      await p.waitForSelector('#confirm[open]', { timeout: 1000 });
      await p.click('#confirm [data-answer="ok"]');
    }
    const outputs = () => new Set(linesSince(rig, mark).map((l) => / RX Out (\d) mute (on|off)$/.exec(l))
      .filter((m) => m && m[2] === all.word).map((m) => m[1]));
    await waitFor(`kvsim to receive "mute ${all.word}" for every output`, () => outputs().size === 6, 2000);
    await waitFor(`every strip to show mute ${all.word}`, async () => (await allMutes()) === Array(6).fill(all.pressed).join(), kFollowMs);
  }

  // --- The memory list and a recall, which asks first.
  await p.click('#read-memories');
  await p.waitForFunction(() => document.querySelectorAll('#memory-list .memory-name').length === 2, { polling: 'mutation', timeout: 5000 });
  assert.deepEqual(await p.$$eval('#memory-list .memory-name', (els) => els.map((e) => e.textContent.trim())),
    ['SOUNDCHK', 'SHOW A']);
  // The list arrives before the line is free again.
  await p.waitForSelector('#controls:not([disabled])', { timeout: 2000 });
  const recallShowA = 'button[aria-label="Recall memory 5 SHOW A"]';
  mark = rig.log().length;
  await p.click(recallShowA);
  await p.waitForSelector('#confirm[open]', { timeout: 1000 });
  await shot(p, 'phone-recall-question');
  await p.click('#confirm [data-answer="cancel"]');
  await p.waitForSelector('#confirm:not([open])', { timeout: 1000 });
  await sleep(200);
  assert.ok(!linesSince(rig, mark).some((l) => /program change/.test(l)), 'a cancelled recall was sent');
  await p.click(recallShowA);
  await p.waitForSelector('#confirm[open]', { timeout: 1000 });
  await p.click('#confirm [data-answer="ok"]');
  await p.waitForFunction(() => /Memory 5 .SHOW A. recalled/.test(document.getElementById('toast').textContent),
    { polling: 'mutation', timeout: 5000 });
  assert.ok(linesSince(rig, mark).some((l) => / RX program change \d+, memory 5$/.test(l)));
  await p.waitForFunction(() => document.querySelector('#out3 .gain-value').textContent === '+3.0 dB', { polling: 'mutation', timeout: kFollowMs });
  await t.waitForFunction(() => document.getElementById('program-name').textContent.trim() === 'SHOW A', { polling: 'mutation', timeout: kFollowMs });
  assert.match(await p.$eval('#memory-list .current .memory-name', (e) => e.textContent), /SHOW A/);

  // --- Screenshots of the page at work, with every kind of state showing.
  const variety = { 'out2.source': 'In B', 'out4.polarity': '180', 'out1.delay': 12.5, 'out5.mute': false, 'out5.gain': -7.4 };
  assert.equal((await rig.request('PATCH', '/api/v1/program', variety)).status, 200);
  await p.waitForFunction(() => document.querySelector('#out5 .gain-value').textContent === '\u22127.4 dB',
    { polling: 'mutation', timeout: kFollowMs });
  await p.evaluate(() => window.scrollTo(0, 0));
  await shot(p, 'phone');
  await p.evaluate(() => window.scrollTo(0, document.body.scrollHeight));
  await shot(p, 'phone-end');
  await p.screenshot({ path: path.join(args.out, 'phone-full.png'), fullPage: true });
  for (const size of kTablets) {
    await t.setViewport(size);
    await checkLayout(t, size);
    await shot(t, size.name);
  }

  // --- Tokens: a page without one is told why it gets nothing; the
  // read-only token watches and its page turns read-only at the first
  // change it tries.
  await rig.stopServer();
  await p.waitForFunction(() => document.getElementById('link').dataset.state === 'down', { polling: 'mutation', timeout: 3000 });
  await rig.startServer(['--token-file', path.join(rig.work, 'token'), '--read-only-token-file', path.join(rig.work, 'read-only-token')]);
  const token = readFileSync(path.join(rig.work, 'token'), 'utf8').trim();
  const readOnlyToken = readFileSync(path.join(rig.work, 'read-only-token'), 'utf8').trim();
  await p.waitForFunction(() => /needs its token/.test(document.getElementById('banner-text').textContent), { polling: 'mutation', timeout: 8000 });
  assert.equal(await bannerTitle(p), 'No connection to the server \u2014 nothing is sent');
  await shot(p, 'phone-no-token');

  await p.bringToFront();
  await p.goto(`${rig.base}/?token=${readOnlyToken}`);
  await p.waitForSelector('#link[data-state="live"]', { timeout: 5000 });
  assert.ok(await controlsEnabled(p), 'the page cannot know its token is read-only before it tries');
  mark = rig.log().length;
  await p.click('#out5 button[aria-label="Mute Out 5"]');
  await p.waitForFunction(() => document.getElementById('banner-title').textContent === 'Read-only', { polling: 'mutation', timeout: kFollowMs });
  assert.ok(!(await controlsEnabled(p)), 'controls stay enabled with the read-only token');
  await sleep(200);
  assert.ok(!linesSince(rig, mark).some((l) => /Out 5 mute/.test(l)), 'the read-only page changed the unit');
  await shot(p, 'phone-read-only');
  await t.goto(`${rig.base}/?token=${token}`);
  await t.waitForSelector('#link[data-state="live"]', { timeout: 5000 });
  assert.ok(await controlsEnabled(t));

  // --- The unit goes away: both pages say so and send nothing.
  await rig.stopSim();
  for (const page of [p, t]) {
    await page.waitForFunction(() => document.getElementById('banner-title').textContent === 'Unit not connected \u2014 nothing is sent',
      { polling: 'mutation', timeout: 3000 });
    assert.equal(await linkState(page), 'off');
    assert.ok(!(await controlsEnabled(page)), 'controls enabled without a unit');
  }
  assert.match(await t.$eval('#banner-text', (e) => e.textContent), /Port \/dev\/pts\//);
  await p.evaluate(() => window.scrollTo(0, 0));
  await shot(p, 'phone-not-connected');
  await shot(t, 'tablet-portrait-not-connected');

  // --- The server goes away and comes back: the page says so, tries
  // again, and follows again.
  await rig.stopServer();
  await t.waitForFunction(() => document.getElementById('link').dataset.state === 'down', { polling: 'mutation', timeout: 3000 });
  assert.equal(await bannerTitle(t), 'No connection to the server \u2014 nothing is sent');
  await shot(t, 'tablet-portrait-server-gone');
  await rig.startServer(['--token-file', path.join(rig.work, 'token'), '--read-only-token-file', path.join(rig.work, 'read-only-token')]);
  await t.waitForFunction(() => document.getElementById('link').dataset.state === 'off', { polling: 'mutation', timeout: 8000 });

  // --- Everything came from the server, and the page never failed.
  checkPages(rig, [phone, tablet]);
  console.log('PASS');
});
