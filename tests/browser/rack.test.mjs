// The page over a rack in a real browser: three simulated units behind
// `kvctl --rack FILE serve`. The rack view lists the units; a mute tapped
// in a row reaches that unit only, a group's Mute all the group's units
// only, and a group's recall asks first; a change made through the API
// shows in its row; a unit's own view changes that unit only, and Back
// returns to the rack; a unit whose simulator stops shows as not connected
// in its row. Screenshots at phone and tablet sizes go to --out.
//
//   node rack.test.mjs --kvsim build/sim/kvsim --kvctl build/cli/kvctl --out build/tests/browser/screenshots

import assert from 'node:assert/strict';
import { mkdirSync } from 'node:fs';
import path from 'node:path';
import { parseArgs } from 'node:util';
import { fileURLToPath } from 'node:url';

import { checkLayout, checkPages, kFollowMs, kPhone, kTablets, linesSince, openPage, shot as shotIn } from './pages.mjs';
import { run, sleep, waitFor } from './runner.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const { values: args } = parseArgs({
  options: { kvsim: { type: 'string' }, kvctl: { type: 'string' }, out: { type: 'string' } },
});
for (const name of ['kvsim', 'kvctl', 'out']) if (!args[name]) throw new Error(`--${name} is needed`);
mkdirSync(args.out, { recursive: true });

const kUnits = [
  { alias: 'main-l', groups: ['mains'] },
  { alias: 'main-r', groups: ['mains'] },
  { alias: 'sub', groups: ['subs'] },
];
const kAliases = kUnits.map((u) => u.alias);
// How long a unit that was not meant to hear something is listened to.
const kQuietMs = 300;

async function shot(page, name) {
  await shotIn(page, args.out, name);
}

// Each unit's log so far, as lengths to read from.
function marks(rig) {
  return Object.fromEntries(kAliases.map((alias) => [alias, rig.sims[alias].log().length]));
}

// The lines a unit's simulator received since `mark` that match `re`.
function received(rig, mark, alias, re) {
  return linesSince(rig.sims[alias].log(), mark[alias]).filter((l) => / RX /.test(l) && re.test(l));
}

// Waits until the units in `reach` received what `re` matches (`count`
// lines each), then checks the others received none of it.
async function reaches(rig, mark, reach, re, count = 1) {
  await waitFor(`${reach.join(', ')} to receive ${re}`, () => reach.every((a) => received(rig, mark, a, re).length >= count), 3000);
  await sleep(kQuietMs);
  for (const alias of kAliases.filter((a) => !reach.includes(a)))
    assert.deepEqual(received(rig, mark, alias, re), [], `${alias} received what was meant for ${reach.join(', ')}`);
}

// What a row shows: {state, link, reason, program, memory, mutes: "tftttt"}.
async function row(page, alias) {
  return page.$eval(`.unit-row[data-alias="${alias}"]`, (r) => ({
    state: r.dataset.state,
    link: r.querySelector('.row-link-text').textContent,
    reason: r.querySelector('.row-reason').hidden ? '' : r.querySelector('.row-reason').textContent,
    program: r.querySelector('.row-program-name').textContent.trim(),
    memory: r.querySelector('.row-memory').textContent,
    mutes: [...r.querySelectorAll('.row-mute')].map((b) => (b.getAttribute('aria-pressed') === 'true' ? 't' : 'f')).join(''),
    enabled: [...r.querySelectorAll('.row-mute')].every((b) => !b.disabled),
  }));
}

async function rowIs(page, alias, what, check, timeout = kFollowMs) {
  try {
    await waitFor(`${alias}'s row to show ${what}`, async () => check(await row(page, alias)), timeout);
  } catch (e) {
    throw new Error(`${e.message}; it shows ${JSON.stringify(await row(page, alias))}`);
  }
}

async function view(page) {
  return page.evaluate(() => document.body.dataset.view);
}

// Sets every output of the units open (or muted) through the API and waits
// until the rows show it.
async function setAllMutes(rig, page, aliases, muted) {
  for (const alias of aliases) {
    const settings = Object.fromEntries([1, 2, 3, 4, 5, 6].map((n) => [`out${n}.mute`, muted]));
    assert.equal((await rig.request('PATCH', `/api/v1/units/${alias}/program`, settings)).status, 200);
  }
  for (const alias of aliases) await rowIs(page, alias, `every mute ${muted}`, (r) => r.mutes === (muted ? 'tttttt' : 'ffffff'));
}

await run({ kvsim: args.kvsim, kvctl: args.kvctl, bank: path.join(here, 'memories.ay') }, 120000, async (rig) => {
  await rig.startSims(kAliases);
  await rig.startRackServer(kUnits);
  await rig.launchBrowser();

  // --- The phone opens on the rack: a row per unit in the rack file's
  // order, each connected with its program.
  const phone = await openPage(rig, kPhone);
  const p = phone.page;
  await p.waitForSelector('body[data-view="rack"]', { timeout: 5000 });
  assert.deepEqual(await p.$$eval('.unit-row .row-alias', (els) => els.map((e) => e.textContent)), kAliases);
  for (const alias of kAliases) await rowIs(p, alias, 'connected with SOUNDCHK', (r) => r.state === 'live' && r.program === 'SOUNDCHK', 10000);
  await p.waitForSelector('#link[data-state="live"]', { timeout: kFollowMs });
  assert.equal(await p.$eval('#link-text', (e) => e.textContent), '3 of 3 connected');
  assert.deepEqual(await p.$$eval('.group-card .group-name', (els) => els.map((e) => e.textContent)), ['mains', 'subs']);
  assert.deepEqual(await p.$$eval('.group-card .group-members', (els) => els.map((e) => e.textContent)), ['main-l, main-r', 'sub']);
  await checkLayout(p, kPhone);

  // --- A mute tapped in a row reaches that unit only, and the row shows
  // it.
  await setAllMutes(rig, p, kAliases, false);
  let mark = marks(rig);
  await p.click('button[aria-label="Mute main-r Out 3"]');
  await reaches(rig, mark, ['main-r'], /Out 3 mute on$/);
  await rowIs(p, 'main-r', 'Out 3 muted', (r) => r.mutes === 'fftfff');
  mark = marks(rig);
  await p.click('button[aria-label="Mute main-r Out 3"]');
  await reaches(rig, mark, ['main-r'], /Out 3 mute off$/);
  await rowIs(p, 'main-r', 'Out 3 open', (r) => r.mutes === 'ffffff');

  // --- A group's Mute all reaches the group's units only; its Unmute all
  // asks first; all units' Mute all reaches every unit.
  const groupActions = [
    { button: 'Mute all mains', asks: false, reach: ['main-l', 'main-r'], word: 'on', rows: 'tttttt' },
    { button: 'Unmute all mains', asks: true, reach: ['main-l', 'main-r'], word: 'off', rows: 'ffffff' },
    { button: 'Mute all subs', asks: false, reach: ['sub'], word: 'on', rows: 'tttttt' },
    { button: 'Mute all units', asks: false, reach: kAliases, word: 'on', rows: 'tttttt' },
  ];
  for (const action of groupActions) {
    mark = marks(rig);
    await p.click(`button[aria-label="${action.button}"]`);
    if (action.asks) {
      await p.waitForSelector('#confirm[open]', { timeout: 1000 });
      await p.click('#confirm [data-answer="ok"]');
    }
    await reaches(rig, mark, action.reach, new RegExp(`Out \\d mute ${action.word}$`), 6);
    for (const alias of action.reach) await rowIs(p, alias, `mutes ${action.rows}`, (r) => r.mutes === action.rows);
  }

  // --- A change made through the API to one unit shows in its row within
  // the follow time.
  const started = Date.now();
  assert.equal((await rig.request('PATCH', '/api/v1/units/sub/program', { 'out2.mute': false })).status, 200);
  await rowIs(p, 'sub', 'Out 2 open', (r) => r.mutes === 'tftttt');
  console.log(`the row showed the API's mute after ${Date.now() - started} ms`);
  assert.equal((await row(p, 'main-l')).mutes, 'tttttt');

  // --- A group's recall asks for the memory first; a cancelled one sends
  // nothing, an answered one recalls on the group's units only and the
  // rows show the program and memory.
  mark = marks(rig);
  await p.click('button[aria-label="Recall a memory on subs"]');
  await p.waitForSelector('#confirm[open] .dialog-choice:not([hidden]) select', { timeout: 1000 });
  await p.click('#confirm [data-answer="cancel"]');
  await sleep(kQuietMs);
  for (const alias of kAliases) assert.deepEqual(received(rig, mark, alias, /program change/), [], `a cancelled recall reached ${alias}`);
  await p.click('button[aria-label="Recall a memory on subs"]');
  await p.waitForSelector('#confirm[open]', { timeout: 1000 });
  await p.select('#confirm .dialog-select', '5');
  await shot(p, 'phone-rack-recall-question');
  await p.click('#confirm [data-answer="ok"]');
  await reaches(rig, mark, ['sub'], /program change \d+, memory 5$/);
  await rowIs(p, 'sub', 'SHOW A, memory 5', (r) => r.program === 'SHOW A' && r.memory === 'Memory 5');
  assert.equal((await row(p, 'main-l')).program, 'SOUNDCHK');
  await p.waitForFunction(() => /Memory 5 recalled on subs/.test(document.getElementById('toast').textContent),
    { polling: 'mutation', timeout: 5000 });

  // --- Screenshots of the rack at work.
  assert.equal((await rig.request('PATCH', '/api/v1/units/main-l/program', { 'out1.mute': false, 'out2.mute': false })).status, 200);
  await rowIs(p, 'main-l', 'Out 1 and 2 open', (r) => r.mutes === 'fftttt');
  await p.evaluate(() => window.scrollTo(0, 0));
  await sleep(4200);  // the toast has gone
  await shot(p, 'phone-rack');
  await p.screenshot({ path: path.join(args.out, 'phone-rack-full.png'), fullPage: true });

  // --- A row opens its unit's view; a gain changed there reaches that unit
  // only; Back returns to the rack.
  await p.click('a[aria-label="Open main-l"]');
  await p.waitForSelector('body[data-view="unit"]', { timeout: kFollowMs });
  assert.equal(await p.evaluate(() => location.hash), '#unit=main-l');
  assert.equal(await p.$eval('#nav-alias', (e) => e.textContent), 'main-l');
  await p.waitForSelector('#controls:not([disabled])', { timeout: kFollowMs });
  assert.equal(await p.$eval('#program-name', (e) => e.textContent.trim()), 'SOUNDCHK');
  assert.equal(await p.$eval('#out1 .mute', (e) => e.getAttribute('aria-pressed')), 'false');
  assert.equal(await p.$eval('#out3 .mute', (e) => e.getAttribute('aria-pressed')), 'true');
  await checkLayout(p, kPhone);
  const gainBefore = (await rig.request('GET', '/api/v1/units/main-l/program')).body.out4.gain;
  mark = marks(rig);
  await p.evaluate(() => { window.sentPatches = []; });
  await p.click('button[aria-label="Out 4 gain up 1 dB"]');
  await reaches(rig, mark, ['main-l'], /Out 4 gain /);
  assert.equal((await rig.request('GET', '/api/v1/units/main-l/program')).body.out4.gain, gainBefore + 1);
  const patches = await p.evaluate(() => window.sentPatches.map((s) => s.url));
  assert.ok(patches.length > 0 && patches.every((u) => u.endsWith('/api/v1/units/main-l/program')), `the page sent ${patches}`);
  // A change to another unit leaves this view alone; one to this unit shows.
  assert.equal((await rig.request('PATCH', '/api/v1/units/main-r/program', { 'out5.mute': false })).status, 200);
  assert.equal((await rig.request('PATCH', '/api/v1/units/main-l/program', { 'out6.mute': false })).status, 200);
  await p.waitForFunction(() => document.querySelector('#out6 .mute').getAttribute('aria-pressed') === 'false',
    { polling: 'mutation', timeout: kFollowMs });
  assert.equal(await p.$eval('#out5 .mute', (e) => e.getAttribute('aria-pressed')), 'true');
  await p.evaluate(() => window.scrollTo(0, 0));
  await shot(p, 'phone-rack-unit');

  await p.click('#back');
  await p.waitForSelector('body[data-view="rack"]', { timeout: kFollowMs });
  assert.equal(await p.evaluate(() => location.hash), '');
  await rowIs(p, 'main-l', 'Out 6 open', (r) => r.mutes === 'fftttf');
  await rowIs(p, 'main-r', 'Out 5 open', (r) => r.mutes === 'ttttft');

  // The browser's own Back does the same, and Forward opens the unit again.
  await p.click('a[aria-label="Open sub"]');
  await p.waitForSelector('body[data-view="unit"]', { timeout: kFollowMs });
  assert.equal(await p.$eval('#program-name', (e) => e.textContent.trim()), 'SHOW A');
  await p.goBack();
  await p.waitForSelector('body[data-view="rack"]', { timeout: kFollowMs });
  await p.goForward();
  await p.waitForSelector('body[data-view="unit"]', { timeout: kFollowMs });
  assert.equal(await p.$eval('#nav-alias', (e) => e.textContent), 'sub');

  // --- A tablet opened at a unit's own address shows it; its back control
  // shows the rack; an address naming no unit shows the rack.
  const tablet = await openPage(rig, kTablets[0], '/#unit=main-r');
  const t = tablet.page;
  await t.waitForSelector('body[data-view="unit"]', { timeout: 5000 });
  assert.equal(await t.$eval('#nav-alias', (e) => e.textContent), 'main-r');
  await t.waitForSelector('#controls:not([disabled])', { timeout: kFollowMs });
  for (const size of kTablets) {
    await t.setViewport(size);
    await checkLayout(t, size);
    await shot(t, `${size.name}-rack-unit`);
  }
  await t.click('#back');
  await t.waitForSelector('body[data-view="rack"]', { timeout: kFollowMs });
  assert.equal(await t.evaluate(() => location.hash), '');
  for (const size of kTablets) {
    await t.setViewport(size);
    await checkLayout(t, size);
    await shot(t, `${size.name}-rack`);
  }
  await t.goto(`${rig.base}/#unit=nobody`);
  await t.waitForSelector('body[data-view="rack"]', { timeout: 5000 });

  // --- A unit whose simulator stops shows as not connected in its row,
  // with the reason, and its mutes refuse; the others stay connected.
  await p.bringToFront();
  await p.click('#back');
  await p.waitForSelector('body[data-view="rack"]', { timeout: kFollowMs });
  await rig.sims['main-r'].stop();
  for (const page of [p, t]) {
    await rowIs(page, 'main-r', 'not connected', (r) => r.state === 'off' && r.link === 'Not connected' && r.reason !== '' && !r.enabled, 5000);
    assert.equal((await row(page, 'main-l')).state, 'live');
    assert.equal(await page.$eval('#link-text', (e) => e.textContent), '2 of 3 connected');
  }
  await p.evaluate(() => window.scrollTo(0, 0));
  await shot(p, 'phone-rack-not-connected');
  await shot(t, 'tablet-portrait-rack-not-connected');

  checkPages(rig, [phone, tablet]);
  console.log('PASS');
});
