// The rack view: each unit's row follows its unit, a mute tapped in a row
// goes to that unit at its sender's pace, and the groups' and all units'
// buttons go out once per unit; what a group's answer says of each unit is
// told by name.

import { ApiError, rackApi } from './api.js';
import { ask, choose } from './dialog.js';
import { kOutputs } from './model.js';
import { fanOut, fanOutFailures, memoryChoices, unitLink } from './rack.js';
import { RackView } from './rack_view.js';

export class RackPage {
  // view: the page's View (the header, the toast); failed(error, what)
  // tells a refusal; open(alias) is told before a row opens its unit.
  constructor(session, view, { failed, open }) {
    this.session = session;
    this.view = view;
    this.failed = failed;
    this.rack = null;
    this.rackView = new RackView({
      toggleMute: (alias, n) => this.toggleMute(alias, n),
      open,
      muteAll: (group) => this.muteAll(group),
      unmuteAll: (group) => this.unmuteAll(group),
      recall: (group) => this.recall(group),
    });
  }

  // The whole rack again (a snapshot).
  render(rack) {
    this.rack = rack;
    this.rackView.build(rack);
    for (const entry of rack.list()) this.showRow(entry.alias);
    this.rackView.setGroupsEnabled(this.session.live && !this.session.readOnly);
  }

  // What a unit's model touched: its row shows it.
  touched(alias, touched) {
    if (touched === null) return;
    if (typeof touched === 'string' && /^out\d\.mute$/.test(touched)) this.refreshMute(alias, touched);
    else if (['all', 'unit', 'memories', 'name'].includes(touched)) this.showRow(alias);
  }

  showRow(alias) {
    const entry = this.rack?.get(alias);
    if (!entry) return;
    const control = entry.control;
    const mutes = [];
    for (let n = 1; n <= kOutputs; n++) mutes.push(control.shown(`out${n}.mute`));
    this.rackView.showRow(alias, {
      link: unitLink(entry),
      program: control.model.program ? control.model.program.name : null,
      memory: control.memory(),
      enabled: control.canChange(this.session),
      mutes,
    });
  }

  // One mute of a row: the value on its way, else the unit's.
  refreshMute(alias, path) {
    const entry = this.rack?.get(alias);
    if (!entry) return;
    this.rackView.showMute(alias, Number(path[3]), entry.control.shown(path));
  }

  // The header over the rack: how many units are there, and the server's
  // state when the page has lost it.
  updateHeader() {
    if (!this.rack) return;
    const entries = this.rack.list();
    const groups = this.rack.groups.length;
    this.view.showTitle('Rack', `${entries.length} unit${entries.length === 1 ? '' : 's'}` +
      (groups > 0 ? ` \u00b7 ${groups} group${groups === 1 ? '' : 's'}` : ''), 'Rack');
    const down = this.session.down();
    if (down) {
      this.view.showLink(down.link, down.banner, null);
    } else {
      const connected = entries.filter((e) => ['live', 'busy'].includes(unitLink(e).state)).length;
      const banner = this.session.readOnly
        ? { kind: 'info', title: 'Read-only', text: 'This page may watch the units but not change them.' } : null;
      this.view.showLink({ state: connected === entries.length ? 'live' : 'off', text: `${connected} of ${entries.length} connected` },
        banner, null);
    }
    for (const entry of entries) this.showRow(entry.alias);
    this.rackView.setGroupsEnabled(this.session.live && !this.session.readOnly);
  }

  toggleMute(alias, n) {
    const control = this.rack?.get(alias)?.control;
    if (!control) return;
    const path = `out${n}.mute`;
    control.change(path, control.toggled(path), this.session);
    this.refreshMute(alias, path);
  }

  controlsOf(group) {
    return this.rack.members(group).map((alias) => this.rack.get(alias).control);
  }

  // "mains (main-l, main-r)" or "all units".
  named(group) {
    return group === null ? 'all units' : `${group} (${this.rack.members(group).join(', ')})`;
  }

  // "main-l, main-r and sub".
  static listed(aliases) {
    return aliases.length < 2 ? aliases.join('') : `${aliases.slice(0, -1).join(', ')} and ${aliases[aliases.length - 1]}`;
  }

  // Sends a group's request (or each unit's, for all units) and tells what
  // came of it unit by unit.
  async fanOut(group, what, request, done) {
    let answer;
    try {
      answer = group === null ? await fanOut(this.controlsOf(null), (control) => request(control.api))
        : await request(rackApi.group(group));
    } catch (error) {
      // A group's answer with a unit that did not do it comes as an error
      // whose body names the units.
      if (!error.body || !error.body.units) return this.failed(error, what);
      answer = error.body;
    }
    const failures = fanOutFailures(answer);
    const readOnly = failures.find((f) => f.status === 403 && /read-only/.test(f.reason));
    if (readOnly) return this.failed(new ApiError(readOnly.status, '', readOnly.reason), what);
    if (failures.length === 0) this.view.say(done, 'ok');
    else this.view.say(`${what}: ${failures.map((f) => `${f.alias}: ${f.reason}`).join('; ')}`, 'error');
  }

  async muteAll(group) {
    await this.fanOut(group, `Mute all ${group ?? 'units'}`, (api) => api.muteAll(),
      `All outputs of ${this.named(group)} muted`);
  }

  async unmuteAll(group) {
    const yes = await ask(document.getElementById('confirm'), {
      title: group === null ? 'Unmute all outputs of every unit?' : `Unmute all outputs of ${group}?`,
      text: `All six outputs of ${this.named(group)} open at once, each at its gain.`,
      ok: 'Unmute all',
    });
    if (!yes) return;
    await this.fanOut(group, `Unmute all ${group ?? 'units'}`, (api) => api.unmuteAll(),
      `All outputs of ${this.named(group)} open`);
  }

  async recall(group) {
    const controls = this.controlsOf(group);
    const choices = memoryChoices(controls);
    // The memory the units hold when they all hold the same, else 1.
    const held = [...new Set(controls.map((c) => c.memory()))];
    const unread = controls.filter((c) => c.model.memories.memories.length === 0).map((c) => c.alias);
    const memory = await choose(document.getElementById('confirm'), {
      title: group === null ? 'Recall a memory on every unit?' : `Recall a memory on ${group}?`,
      text: `${RackPage.listed(this.rack.members(group))} ${controls.length > 1 ? 'each replace their' : 'replaces its'} ` +
        'working program with the memory: every output takes the settings stored there.' +
        (unread.length === 0 ? '' : ` The memory ${unread.length === 1 ? 'list' : 'lists'} of ${RackPage.listed(unread)} ` +
          `${unread.length === 1 ? 'has' : 'have'} not been read yet (Read list in the unit's view), so no names show.`),
      ok: 'Recall',
      choice: { label: 'Memory', options: choices, value: held.length === 1 && held[0] ? String(held[0]) : '1' },
    });
    if (memory === null) return;
    this.view.say(`Recalling memory ${memory} on ${this.named(group)}\u2026`, 'progress');
    await this.fanOut(group, `Memory ${memory} was not recalled everywhere`, (api) => api.recall(memory),
      `Memory ${memory} recalled on ${this.named(group)}`);
  }
}
