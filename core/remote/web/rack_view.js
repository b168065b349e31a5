// The rack's elements: one row per unit (its alias, link, program and
// memory, the six mutes, and the way into the unit's own view), a card per
// group and the bar for all units in the header. Like view.js it shows what
// it is given and reports what the user does.

import { kOutputs } from './model.js';
import { hashOfAlias } from './rack.js';
import { element } from './view.js';

// handlers: toggleMute(alias, n), open(alias), muteAll(group),
// unmuteAll(group), recall(group); group null is every unit.
export class RackView {
  constructor(handlers) {
    this.handlers = handlers;
    this.rows = new Map();  // alias -> {row, link, linkText, reason, name, memory, mutes[]}
    this.groupButtons = [];
    this.layout = null;
    this.$ = (id) => document.getElementById(id);
    this.groupBar(this.$('rack-global'), null, 'units');
  }

  // Builds the rows and the groups' cards again when the rack's layout
  // changed (another rack file behind the server); else keeps them, so a
  // finger on a button keeps its target.
  build(rack) {
    const layout = rack.layout();
    if (layout === this.layout) return;
    this.layout = layout;
    this.rows.clear();
    this.groupButtons = this.groupButtons.filter((b) => b.closest('#rack-global'));
    const rows = this.$('rack-rows');
    rows.replaceChildren(...rack.list().map((entry) => this.row(entry.alias)));
    const groups = this.$('rack-groups');
    groups.replaceChildren(...rack.groups.map((group) => this.groupCard(group, rack.members(group))));
    this.$('rack-groups-section').hidden = rack.groups.length === 0;
  }

  row(alias) {
    const h = this.handlers;
    const link = element('span', { class: 'row-link' }, element('span', { class: 'link-dot', 'aria-hidden': 'true' }));
    const linkText = element('span', { class: 'row-link-text' });
    link.append(linkText);
    const name = element('span', { class: 'row-program-name' });
    const memory = element('span', { class: 'row-memory' });
    const reason = element('span', { class: 'row-reason' });
    const open = element('a', { class: 'row-open', href: hashOfAlias(alias), 'aria-label': `Open ${alias}` },
      element('span', { class: 'row-title' }, element('span', { class: 'row-alias', text: alias }), link),
      element('span', { class: 'row-program' }, name, memory),
      reason,
      element('span', { class: 'row-chevron', 'aria-hidden': 'true', text: '\u203a' }));
    open.addEventListener('click', () => h.open(alias));
    const mutes = [];
    const mutesEl = element('div', { class: 'row-mutes', role: 'group', 'aria-label': `${alias} mutes` });
    for (let n = 1; n <= kOutputs; n++) {
      const state = element('span', { class: 'row-mute-state' });
      const button = element('button', { type: 'button', class: 'row-mute', 'aria-pressed': 'false',
        'aria-label': `Mute ${alias} Out ${n}` }, element('span', { class: 'row-mute-number', text: String(n) }), state);
      button.addEventListener('click', () => h.toggleMute(alias, n));
      mutes.push({ button, state });
      mutesEl.append(button);
    }
    const row = element('section', { class: 'unit-row', 'data-alias': alias, 'aria-label': alias }, open, mutesEl);
    this.rows.set(alias, { row, link, linkText, reason, name, memory, mutes });
    return row;
  }

  // A bar of Mute all, Unmute all and Recall... for a group (null: every
  // unit); `what` names it in the buttons' labels.
  groupBar(host, group, what) {
    const h = this.handlers;
    const button = (text, cls, label, onClick) => {
      const b = element('button', { type: 'button', class: `group-button ${cls}`, 'aria-label': label, text });
      b.addEventListener('click', onClick);
      this.groupButtons.push(b);
      return b;
    };
    host.append(
      button('Mute all', 'mute-all', `Mute all ${what}`, () => h.muteAll(group)),
      button('Unmute all', 'unmute-all', `Unmute all ${what}`, () => h.unmuteAll(group)),
      button('Recall\u2026', 'recall-group', `Recall a memory on ${what}`, () => h.recall(group)));
  }

  groupCard(group, members) {
    const bar = element('div', { class: 'group-buttons' });
    this.groupBar(bar, group, group);
    return element('section', { class: 'group-card', 'data-group': group, 'aria-label': `Group ${group}` },
      element('div', { class: 'group-head' },
        element('h3', { class: 'group-name', text: group }),
        element('span', { class: 'group-members', text: members.join(', ') })),
      bar);
  }

  // shown: {link: {state, text, reason}, program (name or null), memory,
  // enabled, mutes: [six values]}.
  showRow(alias, shown) {
    const r = this.rows.get(alias);
    if (!r) return;
    r.row.dataset.state = shown.link.state;
    r.linkText.textContent = shown.link.text;
    r.reason.textContent = shown.link.reason;
    r.reason.hidden = !shown.link.reason;
    r.name.textContent = shown.program ?? '\u2014';
    r.memory.textContent = shown.memory ? `Memory ${shown.memory}` : '';
    r.row.classList.toggle('controls-off', !shown.enabled);
    shown.mutes.forEach((value, i) => this.showMute(alias, i + 1, value, shown.enabled));
  }

  showMute(alias, n, value, enabled) {
    const r = this.rows.get(alias);
    if (!r) return;
    const { button, state } = r.mutes[n - 1];
    const muted = value === true;
    button.setAttribute('aria-pressed', String(muted));
    state.textContent = value === undefined ? '' : muted ? 'Muted' : 'Open';
    if (enabled !== undefined) button.disabled = !enabled;
  }

  setGroupsEnabled(enabled) {
    for (const b of this.groupButtons) b.disabled = !enabled;
  }
}
