// The pace of the page's changes. A fader moved by a finger gives dozens of
// values a second; the unit takes one at a time. Per setting there is at
// most one request on its way and one every `interval` ms; a newer value
// replaces one that has not gone yet, and the last value always goes. One
// request at a time per setting also keeps the order: an older value never
// arrives after a newer one.

export class SettingSender {
  // send(path, value) returns a promise. onError(path, error) hears of each
  // refusal but "the line is full" (429), whose value goes again;
  // onIdle(path) runs when the setting has nothing more waiting or on its way.
  constructor(send, { interval = 50, retryMs = 1000, onError = () => {}, onIdle = () => {} } = {}) {
    this.send = send;
    this.interval = interval;
    this.retryMs = retryMs;
    this.onError = onError;
    this.onIdle = onIdle;
    this.slots = new Map();
  }

  set(path, value) {
    const slot = this.slot(path);
    slot.value = value;
    slot.waiting = true;
    this.pump(path);
  }

  // Whether the setting has a value waiting or on its way.
  busy(path) {
    const slot = this.slots.get(path);
    return slot !== undefined && (slot.waiting || slot.inFlight);
  }

  // The value last given for the setting while it is busy.
  latest(path) {
    return this.busy(path) ? this.slots.get(path).value : undefined;
  }

  // Forgets what waits (the unit went away: nothing may go later).
  drop() {
    for (const slot of this.slots.values()) {
      clearTimeout(slot.timer);
      slot.timer = null;
      slot.waiting = false;
    }
  }

  slot(path) {
    let slot = this.slots.get(path);
    if (!slot) {
      slot = { value: undefined, waiting: false, inFlight: false, sentAt: -Infinity, timer: null };
      this.slots.set(path, slot);
    }
    return slot;
  }

  pump(path) {
    const slot = this.slots.get(path);
    if (slot.inFlight || slot.timer || !slot.waiting) return;
    const wait = slot.sentAt + this.interval - performance.now();
    if (wait > 0) {
      slot.timer = setTimeout(() => {
        slot.timer = null;
        this.pump(path);
      }, wait);
      return;
    }
    const value = slot.value;
    slot.waiting = false;
    slot.inFlight = true;
    slot.sentAt = performance.now();
    this.send(path, value).then(
      () => this.landed(path, null),
      (error) => {
        // The line is full: the latest value goes again a little later.
        if (error && error.status === 429) {
          slot.waiting = true;
          slot.sentAt = performance.now() + this.retryMs - this.interval;
        }
        this.landed(path, error);
      },
    );
  }

  landed(path, error) {
    const slot = this.slots.get(path);
    slot.inFlight = false;
    if (error && error.status !== 429) this.onError(path, error);
    if (slot.waiting) this.pump(path);
    else this.onIdle(path);
  }
}
