// The page: what the server tells (model.js through feed.js) shown by the
// view, and what the user does sent through api.js at the pace sender.js
// keeps. Nothing is sent while the page has no live feed, the unit is not
// connected, an operation holds the line, or the page's token is the
// read-only one.

import { api } from './api.js';
import { ask } from './dialog.js';
import { Feed } from './feed.js';
import { Model, kInputs, snapDelay, snapGain } from './model.js';
import { SettingSender } from './sender.js';
import { View } from './view.js';

const model = new Model();
// The feed's state: {state: "connecting" | "live" | "down", retryAt}.
let link = { state: 'connecting' };
let readOnly = false;
// Why the server refused the page (no token, a wrong one), or null.
let refusedAccess = null;
let recalling = null;

const sender = new SettingSender((path, value) => api.patch({ [path]: value }), {
  onError: (path, error) => failed(error, settingTitle(path)),
  onIdle: (path) => refresh(path),
});

const view = new View({
  input: (path, value) => change(path, value),
  release: (path) => refresh(path),
  step: (path, delta) => {
    const now = shown(path);
    if (typeof now !== 'number') return;
    change(path, path.endsWith('.gain') ? snapGain(now + delta) : snapDelay(now + delta));
  },
  toggle: (path) => {
    if (path.endsWith('.mute')) change(path, shown(path) !== true);
    else change(path, shown(path) === '180' ? 'normal' : '180');
  },
  source: (path, name) => change(path, name),
  refused: (path, reason) => {
    view.say(`${settingTitle(path)}: ${reason}`, 'error');
    refresh(path);
  },
  muteAll,
  unmuteAll,
  recall,
  readMemories,
});

// "out3.gain" -> "Out 3 gain", "ina.delay" -> "In A delay".
function settingTitle(path) {
  const [channel, setting] = path.split('.');
  const out = /^out(\d)$/.exec(channel);
  const input = kInputs.find((i) => i.key === channel);
  return `${out ? `Out ${out[1]}` : input ? input.title : channel} ${setting ?? ''}`.trim();
}

function canChange() {
  return link.state === 'live' && model.unit !== null && model.unit.connected && !model.unit.busy && !readOnly;
}

// What a control shows: the value on its way while one is, else the unit's.
function shown(path) {
  return sender.busy(path) ? sender.latest(path) : model.get(path);
}

function refresh(path) {
  if (!view.held(path)) view.showSetting(path, shown(path));
}

function refreshAll() {
  for (const path of view.paths()) refresh(path);
}

// Nothing that waits may go out later: the controls show the unit's values
// again.
function dropWaiting() {
  sender.drop();
  refreshAll();
}

function change(path, value) {
  if (canChange()) sender.set(path, value);
  refresh(path);
}

function failed(error, what) {
  if (error.readOnly) {
    readOnly = true;
    dropWaiting();
    updateLink();
    view.say('Read-only: this page may watch the unit but not change it', 'error');
    return;
  }
  view.say(`${what}: ${error.reason}`, 'error');
}

function updateProgram() {
  const memory = model.memories.current ?? (model.unit ? model.unit.program.memory : null);
  view.showProgram(model.program, memory);
}

// The server's reason as a sentence of the banner: "The device went away."
function sentence(text) {
  const trimmed = text.trim().replace(/\.+$/, '');
  return trimmed ? `${trimmed[0].toUpperCase()}${trimmed.slice(1)}.` : '';
}

function updateLink() {
  const unit = model.unit;
  let state, text, banner = null;
  if (link.state !== 'live' || unit === null) {
    state = 'down';
    text = refusedAccess ? 'Token needed' : link.state === 'connecting' ? 'Connecting\u2026' : 'Server unreachable';
    let detail;
    if (refusedAccess) detail = `The server refused this page: ${refusedAccess.trim().replace(/\.+$/, '')}. Open the address the server printed, with its ?token=.`;
    else if (link.state === 'connecting') detail = 'Connecting to the server\u2026';
    else detail = `Trying again in ${Math.max(1, Math.ceil((link.retryAt - performance.now()) / 1000))} s.`;
    banner = { kind: 'alarm', title: 'No connection to the server \u2014 nothing is sent',
      text: `${detail} The values shown may be out of date.` };
  } else if (!unit.connected) {
    state = 'off';
    text = 'Unit not connected';
    const where = unit.port === unit.device ? unit.device : `${unit.port} (${unit.device})`;
    banner = { kind: 'alarm', title: 'Unit not connected \u2014 nothing is sent',
      text: `${unit.reason ? `${sentence(unit.reason)} ` : ''}Port ${where}. The page follows as soon as the unit is back.` };
  } else {
    state = 'live';
    text = 'Unit connected';
    if (readOnly) banner = { kind: 'info', title: 'Read-only', text: 'This page may watch the unit but not change it.' };
    else if (unit.busy) banner = { kind: 'info', title: `Busy: ${unit.busy}`, text: 'The controls are back when it has ended.' };
  }
  view.showLink({ state, text }, banner, link.state === 'live' && unit ? unit.differs : null);
  view.setEnabled(canChange());
}

// The feed could not open: ask the server why (a token it wants).
async function checkAccess() {
  try {
    await api.unit();
    refusedAccess = null;
  } catch (error) {
    refusedAccess = error.status === 401 || error.status === 403 ? error.reason : null;
  }
  updateLink();
}

function take(message) {
  const touched = model.take(message);
  if (touched === 'all') {
    refreshAll();
    view.showMemories(model.memories, recalling);
    updateProgram();
    updateLink();
  } else if (touched === 'unit') {
    if (!model.unit.connected) dropWaiting();
    updateProgram();
    updateLink();
  } else if (touched === 'memories') {
    view.showMemories(model.memories, recalling);
    updateProgram();
  } else if (touched !== null) {
    refresh(touched);
    if (touched === 'name' || touched === 'config' || touched === 'link') updateProgram();
  }
}

async function muteAll() {
  try {
    await api.muteAll();
    view.say('All outputs muted', 'ok');
  } catch (error) {
    failed(error, 'Mute all');
  }
}

async function unmuteAll() {
  const yes = await ask(document.getElementById('confirm'), {
    title: 'Unmute all outputs?',
    text: 'All six outputs open at once, each at its gain.',
    ok: 'Unmute all',
  });
  if (!yes) return;
  try {
    await api.unmuteAll();
    view.say('All outputs open', 'ok');
  } catch (error) {
    failed(error, 'Unmute all');
  }
}

async function recall(entry) {
  const name = entry.name.trim();
  const yes = await ask(document.getElementById('confirm'), {
    title: `Recall memory ${entry.number}?`,
    text: `\u201c${name}\u201d replaces the unit's working program: every output takes the settings stored there.`,
    ok: 'Recall',
  });
  if (!yes) return;
  recalling = entry.number;
  view.showMemories(model.memories, recalling);
  view.say(`Recalling memory ${entry.number} \u201c${name}\u201d\u2026`, 'progress');
  try {
    const done = await api.recall(entry.number);
    view.say(`Memory ${done.memory} \u201c${String(done.program).trim()}\u201d recalled`, 'ok');
  } catch (error) {
    failed(error, `Memory ${entry.number} was not recalled`);
  } finally {
    recalling = null;
    view.showMemories(model.memories, recalling);
  }
}

async function readMemories() {
  view.say('Reading the memory list from the unit\u2026', 'progress');
  try {
    await api.memories(true);
    view.say('Memory list read', 'ok');
  } catch (error) {
    failed(error, 'The memory list was not read');
  }
}

const feed = new Feed(new URL('/api/v1/ws', location.href).href.replace(/^http/, 'ws'), {
  onMessage: take,
  onState: (state) => {
    link = state;
    // Nothing queued may go out later, when the page is live again.
    if (state.state !== 'live') dropWaiting();
    if (state.state === 'live') refusedAccess = null;
    if (state.state === 'down' && !state.everOpened) checkAccess();
    updateLink();
  },
});

// The countdown of the next try while the server is away.
setInterval(() => {
  if (link.state === 'down') updateLink();
}, 1000);

view.setEnabled(false);
updateLink();
feed.start();
