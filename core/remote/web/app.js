// The page: the server's WebSocket (feed.js) tells what each unit holds,
// and the page shows it. A server of one unit (`kvctl serve`) gets the
// unit's view (unit_page.js). A server over a rack (`kvctl --rack FILE
// serve`) says so in its first snapshot and gets the rack view
// (rack_page.js), from which a row opens that unit's view at #unit=ALIAS;
// the browser's Back returns to the rack.

import { api, rackApi } from './api.js';
import { Feed } from './feed.js';
import { Rack, aliasOfHash } from './rack.js';
import { RackPage } from './rack_page.js';
import { Session } from './session.js';
import { UnitControl } from './unit.js';
import { UnitPage } from './unit_page.js';

const session = new Session();
// "single" or "rack" once the first snapshot has told; null before.
let mode = null;
let single = null;  // the UnitControl of a server of one unit
let rack = null;    // the Rack of a server over a rack
// Whether the unit's view was opened from the rack's row (Back then goes
// back in the browser's history rather than adding to it).
let openedFromRack = false;
let rackScroll = 0;

const unitPage = new UnitPage(session, { failed });
const rackPage = new RackPage(session, unitPage.view, {
  failed,
  open: () => {
    openedFromRack = true;
    rackScroll = window.scrollY;
  },
});

function failed(error, what) {
  if (error.readOnly) {
    session.readOnly = true;
    for (const control of controls()) dropWaiting(control);
    updateHeader();
    unitPage.view.say(`Read-only: this page may watch ${mode === 'rack' ? 'the units' : 'the unit'} but not change ${mode === 'rack' ? 'them' : 'it'}`, 'error');
    return;
  }
  unitPage.view.say(`${what}: ${error.reason}`, 'error');
}

function makeControl(alias) {
  return new UnitControl(alias, alias === null ? api : rackApi.unit(alias), {
    onError: (control, path, error) => failed(error, unitPage.title(path, control)),
    onIdle: (control, path) => refresh(control, path),
  });
}

function controls() {
  if (mode === 'rack') return rack.list().map((e) => e.control);
  return single ? [single] : [];
}

function view() {
  return document.body.dataset.view;
}

// A setting of a unit wherever it shows.
function refresh(control, path) {
  if (unitPage.control === control) unitPage.refresh(path);
  if (mode === 'rack' && /^out\d\.mute$/.test(path)) rackPage.refreshMute(control.alias, path);
}

// Nothing that waits may go out later: the controls show the unit's values
// again.
function dropWaiting(control) {
  control.sender.drop();
  if (unitPage.control === control) unitPage.refreshAll();
  if (mode === 'rack') rackPage.showRow(control.alias);
}

function updateHeader() {
  if (view() === 'rack') rackPage.updateHeader();
  else unitPage.updateLink();
}

function setMode(next) {
  mode = next;
  if (next === 'rack') {
    rack = new Rack(makeControl);
    single = null;
    feed.checkUrl = '/api/v1/units';
  } else {
    single = makeControl(null);
    rack = null;
    feed.checkUrl = '/api/v1/unit';
  }
}

// Shows what the address asks for: on a rack the unit of #unit=ALIAS, else
// the rack.
function route() {
  if (mode !== 'rack') {
    document.body.dataset.view = 'single';
    if (single) unitPage.show(single);
    return;
  }
  const alias = aliasOfHash(location.hash);
  const entry = alias === null ? undefined : rack.get(alias);
  const was = view();
  if (entry) {
    document.body.dataset.view = 'unit';
    document.getElementById('nav-alias').textContent = entry.alias;
    unitPage.show(entry.control);
    if (was !== 'unit' || unitPage.control !== entry.control) window.scrollTo(0, 0);
  } else {
    document.body.dataset.view = 'rack';
    rackPage.render(rack);
    rackPage.updateHeader();
    if (was === 'unit') window.scrollTo(0, rackScroll);
  }
}

function back() {
  if (openedFromRack) {
    openedFromRack = false;
    history.back();
  } else {
    // Opened at its own address: the rack replaces it.
    history.replaceState(null, '', location.pathname + location.search);
    route();
  }
}

function take(message) {
  let changedMode = false;
  if (message.type === 'snapshot' && message.alias === undefined) {
    const wanted = Rack.isRackSnapshot(message) ? 'rack' : 'single';
    changedMode = mode !== wanted;
    if (changedMode) setMode(wanted);
  }
  if (mode === 'single') {
    const touched = single.take(message);
    if ((touched === 'unit' || touched === 'all') && !single.model.unit?.connected) dropWaiting(single);
    if (changedMode) route();
    else unitPage.touched(touched);
    return;
  }
  if (mode !== 'rack') return;
  const taken = rack.take(message);
  if (taken === null) return;
  if (taken.alias === null) {
    for (const entry of rack.list()) if (!entry.control.model.unit?.connected) dropWaiting(entry.control);
    rackPage.render(rack);
    route();
    return;
  }
  const control = rack.get(taken.alias).control;
  if ((taken.touched === 'unit' || taken.touched === 'all') && !control.model.unit?.connected) dropWaiting(control);
  rackPage.touched(taken.alias, taken.touched);
  if (unitPage.control === control && view() === 'unit') unitPage.touched(taken.touched);
  if (view() === 'rack' && (taken.touched === 'unit' || taken.touched === 'all')) rackPage.updateHeader();
}

// The feed could not open: ask the server why (a token it wants).
async function checkAccess() {
  try {
    await api.unit();
    session.refusedAccess = null;
  } catch (error) {
    session.refusedAccess = error.status === 401 || error.status === 403 ? error.reason : null;
  }
  updateHeader();
}

const feed = new Feed(new URL('/api/v1/ws', location.href).href.replace(/^http/, 'ws'), {
  onMessage: take,
  onState: (state) => {
    session.link = state;
    // Nothing queued may go out later, when the page is live again.
    if (state.state !== 'live') for (const control of controls()) dropWaiting(control);
    if (state.state === 'live') session.refusedAccess = null;
    if (state.state === 'down' && !state.everOpened) checkAccess();
    updateHeader();
  },
});

document.getElementById('back').addEventListener('click', back);
window.addEventListener('hashchange', () => {
  if (mode === 'rack') route();
});

// The countdown of the next try while the server is away.
setInterval(() => {
  if (session.link.state === 'down') updateHeader();
}, 1000);

updateHeader();
feed.start();
