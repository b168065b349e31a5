// A horizontal fader for a finger. It moves by dragging, relative to where
// the drag began, so a tap that misses a button never jumps a gain; a drag
// that starts upward scrolls the page instead (touch-action: pan-y).
// Keyboard: arrows one step, Page Up/Down ten steps (1 dB for 0.2 dB
// steps), Home/End the ends.

export class Fader {
  // onInput(value) for every new value while it moves; onRelease() when the
  // finger (or the key) lets go.
  constructor({ label, min, max, step, snap, format, onInput, onRelease }) {
    this.min = min;
    this.max = max;
    this.step = step;
    this.snap = snap;
    this.format = format;
    this.onInput = onInput;
    this.onRelease = onRelease;
    this.value = 0;
    this.held = false;
    this.disabled = false;

    const el = document.createElement('div');
    el.className = 'fader';
    el.tabIndex = 0;
    el.setAttribute('role', 'slider');
    el.setAttribute('aria-label', label);
    el.setAttribute('aria-valuemin', String(min));
    el.setAttribute('aria-valuemax', String(max));
    el.innerHTML = '<div class="fader-track"><div class="fader-fill"></div><div class="fader-zero"></div></div>' +
      '<div class="fader-thumb"></div>';
    this.element = el;

    el.addEventListener('pointerdown', (e) => this.grab(e));
    el.addEventListener('pointermove', (e) => this.drag(e));
    el.addEventListener('pointerup', () => this.release());
    el.addEventListener('pointercancel', () => this.release());
    el.addEventListener('lostpointercapture', () => this.release());
    el.addEventListener('keydown', (e) => this.key(e));
    el.addEventListener('keyup', () => this.release());
    el.addEventListener('blur', () => this.release());
    this.show(0);
  }

  // Shows a value (the unit's, or the one being sent).
  show(value) {
    this.value = value;
    const at = (value - this.min) / (this.max - this.min);
    const zero = (0 - this.min) / (this.max - this.min);
    this.element.style.setProperty('--at', String(at));
    this.element.style.setProperty('--fill-from', String(Math.min(at, zero)));
    this.element.style.setProperty('--fill-to', String(Math.max(at, zero)));
    this.element.setAttribute('aria-valuenow', String(value));
    this.element.setAttribute('aria-valuetext', this.format(value));
  }

  setDisabled(disabled) {
    this.disabled = disabled;
    this.element.setAttribute('aria-disabled', String(disabled));
    this.element.tabIndex = disabled ? -1 : 0;
    if (disabled) this.release();
  }

  grab(e) {
    if (this.disabled || (e.pointerType === 'mouse' && e.button !== 0)) return;
    // No text selection and no drag of one: either would take the pointer
    // from the fader halfway (pointercancel).
    e.preventDefault();
    this.element.focus({ preventScroll: true });
    this.held = true;
    this.startX = e.clientX;
    this.startValue = this.value;
    this.width = this.element.querySelector('.fader-track').getBoundingClientRect().width || 1;
    this.element.setPointerCapture(e.pointerId);
    this.element.classList.add('held');
  }

  drag(e) {
    if (!this.held) return;
    const moved = ((e.clientX - this.startX) / this.width) * (this.max - this.min);
    this.move(this.startValue + moved);
  }

  move(value) {
    const next = this.snap(Math.min(this.max, Math.max(this.min, value)));
    if (next === this.value) return;
    this.show(next);
    this.onInput(next);
  }

  release() {
    if (!this.held) return;
    this.held = false;
    this.element.classList.remove('held');
    this.onRelease();
  }

  key(e) {
    if (this.disabled) return;
    const steps = { ArrowRight: 1, ArrowUp: 1, ArrowLeft: -1, ArrowDown: -1, PageUp: 10, PageDown: -10 }[e.key];
    let next;
    if (steps !== undefined) next = this.value + steps * this.step;
    else if (e.key === 'Home') next = this.min;
    else if (e.key === 'End') next = this.max;
    else return;
    e.preventDefault();
    this.held = true;
    this.move(next);
  }
}
