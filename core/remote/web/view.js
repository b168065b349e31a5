// The page's elements: one strip per output, the inputs' delays, the memory
// list, the header with the link and the banner. The view shows what it is
// given and reports what the user does; it neither sends nor decides.

import { Fader } from './fader.js';
import { formatDelay, formatGain, kDelay, kGain, kInputs, kOutputs, kSources, parseDelay, snapDelay, snapGain } from './model.js';

export function element(tag, attributes = {}, ...children) {
  const el = document.createElement(tag);
  for (const [name, value] of Object.entries(attributes)) {
    if (name === 'class') el.className = value;
    else if (name === 'text') el.textContent = value;
    else el.setAttribute(name, value);
  }
  for (const child of children) el.append(child);
  return el;
}

function stepButton(text, label, onClick) {
  const button = element('button', { type: 'button', class: 'step', 'aria-label': label, text });
  button.addEventListener('click', onClick);
  return button;
}

// handlers: step(path, delta), input(path, value), release(path),
// toggle(path), source(path, name), muteAll(), unmuteAll(), recall(entry),
// readMemories(), refused(path, reason).
export class View {
  constructor(handlers) {
    this.handlers = handlers;
    this.controls = new Map();  // path -> {show(value), held()}
    this.faders = [];
    this.$ = (id) => document.getElementById(id);
    this.toastTimer = null;

    this.buildOutputs();
    this.buildInputs();
    this.$('mute-all').addEventListener('click', () => handlers.muteAll());
    this.$('unmute-all').addEventListener('click', () => handlers.unmuteAll());
    this.$('read-memories').addEventListener('click', () => handlers.readMemories());
  }

  buildOutputs() {
    const host = this.$('outputs');
    for (let n = 1; n <= kOutputs; n++) host.append(this.outputStrip(n));
  }

  outputStrip(n) {
    const key = `out${n}`;
    const title = `Out ${n}`;
    const h = this.handlers;
    const strip = element('section', { class: 'strip', id: key, 'aria-labelledby': `${key}-title` });

    // Name and source.
    const name = element('span', { class: 'strip-name' });
    const source = element('select', { class: 'source', 'aria-label': `${title} source` });
    for (const s of kSources) source.append(element('option', { value: s, text: s }));
    source.addEventListener('change', () => h.source(`${key}.source`, source.value));
    strip.append(element('header', { class: 'strip-head' },
      element('h2', { id: `${key}-title` }, element('span', { class: 'strip-number', text: title }), ' ', name),
      source));
    this.controls.set(`${key}.name`, { show: (v) => { name.textContent = v ?? ''; }, held: () => false });
    this.controls.set(`${key}.source`, { show: (v) => { source.value = v; }, held: () => false });

    // Gain: the value, the steps and the fader.
    const gainPath = `${key}.gain`;
    const gainNumber = element('span', { class: 'number' });
    const gainValue = element('output', { class: 'value gain-value', 'aria-label': `${title} gain` },
      gainNumber, ' ', element('span', { class: 'unit', text: 'dB' }));
    const showGainNumber = (v) => { gainNumber.textContent = formatGain(v).replace(/ dB$/, ''); };
    const fader = new Fader({
      label: `${title} gain`, min: kGain.min, max: kGain.max, step: kGain.step, snap: snapGain, format: formatGain,
      onInput: (v) => {
        showGainNumber(v);
        h.input(gainPath, v);
      },
      onRelease: () => h.release(gainPath),
    });
    strip.append(element('div', { class: 'caption', text: 'Gain' }),
      element('div', { class: 'stepper' },
        stepButton('\u22121', `${title} gain down 1 dB`, () => h.step(gainPath, -1)),
        stepButton('\u2212.2', `${title} gain down 0.2 dB`, () => h.step(gainPath, -0.2)),
        gainValue,
        stepButton('+.2', `${title} gain up 0.2 dB`, () => h.step(gainPath, 0.2)),
        stepButton('+1', `${title} gain up 1 dB`, () => h.step(gainPath, 1))),
      fader.element,
      element('div', { class: 'scale', 'aria-hidden': 'true' },
        element('span', { text: '\u221215' }), element('span', { text: '0' }), element('span', { text: '+15' })));
    this.controls.set(gainPath, {
      show: (v) => {
        fader.show(v);
        showGainNumber(v);
      },
      held: () => fader.held,
    });
    this.faders.push(fader);

    // Mute and polarity.
    const mute = element('button', { type: 'button', class: 'toggle mute', 'aria-pressed': 'false', 'aria-label': `Mute ${title}` },
      element('span', { class: 'toggle-text', text: 'Mute' }));
    mute.addEventListener('click', () => h.toggle(`${key}.mute`));
    const polarity = element('button', { type: 'button', class: 'toggle polarity', 'aria-pressed': 'false',
      'aria-label': `${title} polarity inverted` }, element('span', { class: 'toggle-text', text: 'Polarity' }));
    polarity.addEventListener('click', () => h.toggle(`${key}.polarity`));
    strip.append(element('div', { class: 'switches' }, mute, polarity));
    this.controls.set(`${key}.mute`, {
      show: (v) => {
        mute.setAttribute('aria-pressed', String(v === true));
        mute.firstChild.textContent = v ? 'Muted' : 'Mute';
        strip.classList.toggle('muted', v === true);
      },
      held: () => false,
    });
    this.controls.set(`${key}.polarity`, {
      show: (v) => {
        const inverted = v === '180';
        polarity.setAttribute('aria-pressed', String(inverted));
        polarity.firstChild.textContent = inverted ? 'Polarity 180\u00b0' : 'Polarity';
      },
      held: () => false,
    });

    strip.append(element('div', { class: 'caption', text: 'Delay (ms)' }), this.delayStepper(`${key}.delay`, title));
    return strip;
  }

  buildInputs() {
    const host = this.$('inputs-list');
    for (const input of kInputs) {
      host.append(element('div', { class: 'input-row' },
        element('div', { class: 'caption', text: `${input.title} delay (ms)` }),
        this.delayStepper(`${input.key}.delay`, input.title)));
    }
  }

  // [−1][−.1][ 12.500 ][+.1][+1]: the entry takes typed milliseconds.
  delayStepper(path, title) {
    const h = this.handlers;
    const entry = element('input', { class: 'value delay-entry', type: 'text', inputmode: 'decimal', autocomplete: 'off',
      spellcheck: 'false', 'aria-label': `${title} delay in ms` });
    let editing = false;
    const commit = () => {
      if (!editing) return;
      editing = false;
      const ms = parseDelay(entry.value);
      if (Number.isNaN(ms) || ms < kDelay.min || ms > kDelay.max)
        h.refused(path, `a delay is a number of ms from ${formatDelay(kDelay.min)} to ${formatDelay(kDelay.max)}`);
      else h.input(path, snapDelay(ms));
      h.release(path);
    };
    entry.addEventListener('focus', () => {
      editing = true;
      entry.select();
    });
    entry.addEventListener('keydown', (e) => {
      if (e.key === 'Enter') {
        entry.blur();  // commits
      } else if (e.key === 'Escape') {
        editing = false;
        entry.blur();
        h.release(path);
      }
    });
    entry.addEventListener('blur', commit);
    this.controls.set(path, {
      show: (v) => { if (typeof v === 'number') entry.value = formatDelay(v); },
      held: () => document.activeElement === entry,
    });
    return element('div', { class: 'stepper' },
      stepButton('\u22121', `${title} delay down 1 ms`, () => h.step(path, -1)),
      stepButton('\u2212.1', `${title} delay down 0.1 ms`, () => h.step(path, -0.1)),
      entry,
      stepButton('+.1', `${title} delay up 0.1 ms`, () => h.step(path, 0.1)),
      stepButton('+1', `${title} delay up 1 ms`, () => h.step(path, 1)));
  }

  // Whether the user holds the control of a setting (a fader under a finger,
  // a delay being typed): the unit's values wait until it is let go.
  held(path) {
    const control = this.controls.get(path);
    return control !== undefined && control.held();
  }

  showSetting(path, value) {
    const control = this.controls.get(path);
    if (control && value !== undefined) control.show(value);
  }

  paths() {
    return this.controls.keys();
  }

  // alias: the unit's name on a rack page, else null.
  showProgram(program, memory, alias = null) {
    const details = [];
    if (memory) details.push(`Memory ${memory}`);
    if (program) details.push(program.config);
    if (program && program.link) details.push('stereo link');
    const name = program ? program.name.trim() : '';
    this.showTitle(program ? program.name : '\u2014', details.join(' \u00b7 '),
      [alias, name].filter((t) => t).join(' \u00b7 '));
  }

  // The header's title and the line under it; the browser's title names
  // `what` (nothing: just the product).
  showTitle(title, details, what) {
    this.$('program-name').textContent = title;
    this.$('program-details').textContent = details;
    document.title = what ? `${what} \u2014 Kalvore` : 'Kalvore';
  }

  // link: {state: "live"|"connecting"|"down", text}; banner: null or
  // {kind: "alarm"|"info", title, text}.
  showLink(link, banner, differs) {
    const linkEl = this.$('link');
    linkEl.dataset.state = link.state;
    this.$('link-text').textContent = link.text;
    const bannerEl = this.$('banner');
    bannerEl.hidden = banner === null;
    if (banner) {
      bannerEl.dataset.kind = banner.kind;
      this.$('banner-title').textContent = banner.title;
      this.$('banner-text').textContent = banner.text;
    }
    const differsEl = this.$('differs');
    differsEl.hidden = !differs;
    differsEl.textContent = differs || '';
  }

  setEnabled(enabled) {
    document.body.classList.toggle('controls-off', !enabled);
    this.$('controls').disabled = !enabled;
    this.$('mute-all').disabled = !enabled;
    this.$('unmute-all').disabled = !enabled;
    for (const fader of this.faders) fader.setDisabled(!enabled);
  }

  showMemories(memories, recalling) {
    const list = this.$('memory-list');
    const used = memories.memories.filter((m) => m.used);
    const read = memories.memories.length > 0;
    this.$('memory-state').textContent = !read ? 'The list has not been read from the unit yet.'
      : `${used.length} of ${memories.memories.length} used \u00b7 read at ${memories.read_at ?? '?'}`;
    this.$('read-memories').textContent = read ? 'Read again' : 'Read list';
    list.replaceChildren();
    for (const entry of used) {
      const name = entry.name.trim() || '(no name)';
      const current = memories.current === entry.number;
      const button = element('button', { type: 'button', class: 'recall', 'aria-label': `Recall memory ${entry.number} ${name}`,
        text: recalling === entry.number ? 'Recalling\u2026' : 'Recall' });
      button.addEventListener('click', () => this.handlers.recall(entry));
      list.append(element('li', { class: current ? 'memory current' : 'memory' },
        element('span', { class: 'memory-number', text: String(entry.number) }),
        element('span', { class: 'memory-name', text: name }),
        element('span', { class: 'memory-mark', text: current ? 'current' : '' }),
        button));
    }
    if (read && used.length === 0) list.append(element('li', { class: 'memory empty', text: 'No memory is used.' }));
  }

  // kind: "ok", "error" or "progress" (stays until the next message).
  say(text, kind) {
    const toast = this.$('toast');
    toast.textContent = text;
    toast.dataset.kind = kind;
    toast.hidden = false;
    clearTimeout(this.toastTimer);
    if (kind !== 'progress') this.toastTimer = setTimeout(() => this.hideToast(), kind === 'error' ? 8000 : 4000);
  }

  hideToast() {
    clearTimeout(this.toastTimer);
    this.$('toast').hidden = true;
  }
}
