// The view of one unit: its strips, inputs and memories (view.js), driven
// by the UnitControl it is given. What the user does goes to that unit at
// the pace its sender keeps; nothing is sent while the page has no live
// feed, the unit is not connected, an operation holds the line, or the
// page's token is the read-only one. On a rack page the same view shows
// whichever unit was opened.

import { ask } from './dialog.js';
import { kInputs, snapDelay, snapGain } from './model.js';
import { sentence } from './session.js';
import { View } from './view.js';

// "out3.gain" -> "Out 3 gain", "ina.delay" -> "In A delay".
export function settingTitle(path) {
  const [channel, setting] = path.split('.');
  const out = /^out(\d)$/.exec(channel);
  const input = kInputs.find((i) => i.key === channel);
  return `${out ? `Out ${out[1]}` : input ? input.title : channel} ${setting ?? ''}`.trim();
}

export class UnitPage {
  // session: the page's Session; failed(error, what): tells a refusal.
  constructor(session, { failed }) {
    this.session = session;
    this.failed = failed;
    this.control = null;
    this.recalling = null;
    this.view = new View({
      input: (path, value) => this.change(path, value),
      release: (path) => this.refresh(path),
      step: (path, delta) => {
        const now = this.control?.shown(path);
        if (typeof now !== 'number') return;
        this.change(path, path.endsWith('.gain') ? snapGain(now + delta) : snapDelay(now + delta));
      },
      toggle: (path) => this.control && this.change(path, this.control.toggled(path)),
      source: (path, name) => this.change(path, name),
      refused: (path, reason) => {
        this.view.say(`${this.title(path)}: ${reason}`, 'error');
        this.refresh(path);
      },
      muteAll: () => this.muteAll(),
      unmuteAll: () => this.unmuteAll(),
      recall: (entry) => this.recall(entry),
      readMemories: () => this.readMemories(),
    });
    this.view.setEnabled(false);
  }

  // Shows a unit (a UnitControl), all of it at once.
  show(control) {
    if (this.control !== control) this.recalling = null;
    this.control = control;
    this.touched('all');
  }

  // "Out 3 gain", or on a rack "main-l Out 3 gain".
  title(path, control = this.control) {
    return control?.alias ? `${control.alias} ${settingTitle(path)}` : settingTitle(path);
  }

  canChange() {
    return this.control !== null && this.control.canChange(this.session);
  }

  refresh(path) {
    if (this.control && !this.view.held(path)) this.view.showSetting(path, this.control.shown(path));
  }

  refreshAll() {
    for (const path of this.view.paths()) this.refresh(path);
  }

  change(path, value) {
    this.control?.change(path, value, this.session);
    this.refresh(path);
  }

  // What the shown unit's model touched: "all", "unit", "memories", a path.
  touched(touched) {
    if (this.control === null) return;
    const model = this.control.model;
    if (touched === 'all') {
      this.refreshAll();
      this.view.showMemories(model.memories, this.recalling);
      this.updateProgram();
      this.updateLink();
    } else if (touched === 'unit') {
      this.updateProgram();
      this.updateLink();
    } else if (touched === 'memories') {
      this.view.showMemories(model.memories, this.recalling);
      this.updateProgram();
    } else if (touched !== null) {
      this.refresh(touched);
      if (touched === 'name' || touched === 'config' || touched === 'link') this.updateProgram();
    }
  }

  updateProgram() {
    this.view.showProgram(this.control.model.program, this.control.memory(), this.control.alias);
  }

  updateLink() {
    const unit = this.control?.model.unit ?? null;
    const down = this.session.down();
    let link, banner = null;
    if (down) {
      ({ link, banner } = down);
    } else if (unit === null || !unit.connected) {
      link = { state: 'off', text: 'Unit not connected' };
      let where = '';
      if (unit && unit.device) where = `Port ${unit.port === unit.device ? unit.device : `${unit.port} (${unit.device})`}. `;
      banner = { kind: 'alarm', title: 'Unit not connected \u2014 nothing is sent',
        text: `${unit && unit.reason ? `${sentence(unit.reason)} ` : ''}${where}The page follows as soon as the unit is back.` };
    } else {
      link = { state: 'live', text: 'Unit connected' };
      if (this.session.readOnly) banner = { kind: 'info', title: 'Read-only', text: 'This page may watch the unit but not change it.' };
      else if (unit.busy) banner = { kind: 'info', title: `Busy: ${unit.busy}`, text: 'The controls are back when it has ended.' };
    }
    this.view.showLink(link, banner, !down && unit ? unit.differs : null);
    this.view.setEnabled(this.canChange());
  }

  async muteAll() {
    const control = this.control;
    try {
      await control.api.muteAll();
      this.view.say(control.alias ? `All outputs of ${control.alias} muted` : 'All outputs muted', 'ok');
    } catch (error) {
      this.failed(error, 'Mute all');
    }
  }

  async unmuteAll() {
    const control = this.control;
    const yes = await ask(document.getElementById('confirm'), {
      title: control.alias ? `Unmute all outputs of ${control.alias}?` : 'Unmute all outputs?',
      text: 'All six outputs open at once, each at its gain.',
      ok: 'Unmute all',
    });
    if (!yes) return;
    try {
      await control.api.unmuteAll();
      this.view.say(control.alias ? `All outputs of ${control.alias} open` : 'All outputs open', 'ok');
    } catch (error) {
      this.failed(error, 'Unmute all');
    }
  }

  async recall(entry) {
    const control = this.control;
    const name = entry.name.trim();
    const on = control.alias ? ` on ${control.alias}` : '';
    const yes = await ask(document.getElementById('confirm'), {
      title: `Recall memory ${entry.number}${on}?`,
      text: `\u201c${name}\u201d replaces the unit's working program: every output takes the settings stored there.`,
      ok: 'Recall',
    });
    if (!yes) return;
    this.recalling = entry.number;
    this.view.showMemories(control.model.memories, this.recalling);
    this.view.say(`Recalling memory ${entry.number} \u201c${name}\u201d${on}\u2026`, 'progress');
    try {
      const done = await control.api.recall(entry.number);
      this.view.say(`Memory ${done.memory} \u201c${String(done.program).trim()}\u201d recalled${on}`, 'ok');
    } catch (error) {
      this.failed(error, `Memory ${entry.number} was not recalled`);
    } finally {
      this.recalling = null;
      if (this.control === control) this.view.showMemories(control.model.memories, this.recalling);
    }
  }

  async readMemories() {
    const control = this.control;
    this.view.say('Reading the memory list from the unit\u2026', 'progress');
    try {
      await control.api.memories(true);
      this.view.say('Memory list read', 'ok');
    } catch (error) {
      this.failed(error, 'The memory list was not read');
    }
  }
}
