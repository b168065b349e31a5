// The pace of the page's changes. A fader moved by a finger gives dozens of
// values a second; the unit takes one at a time. Per setting there is at
// most one request on its way and one every `interval` ms; a newer value
// replaces one that has not gone yet, and the last value always goes. One
// request at a time per setting also keeps the order: an older value never
// arrives after a newer one.
//
// The server answers a change before it tells everyone of it (it gathers
// the changes for a few ms): a value the server took stays "on its way"
// until the feed tells the setting (heard()) or `settleMs` have passed, so a
// control never shows the old value for a moment in between.

export class SettingSender {
  // send(path, value) returns a promise. onError(path, error) hears of each
  // refusal but "the line is full" (429), whose value goes again;
  // onIdle(path) runs when the setting has nothing more waiting or on its
  // way.
  constructor(send, { interval = 50, retryMs = 1000, settleMs = 1000, onError = () => {}, onIdle = () => {} } = {}) {
    this.send = send;
    this.interval = interval;
    this.retryMs = retryMs;
    this.settleMs = settleMs;
    this.onError = onError;
    this.onIdle = onIdle;
    this.slots = new Map();
  }

  set(path, value) {
    const slot = this.slot(path);
    slot.value = value;
    slot.waiting = true;
    slot.dropped = false;
    this.unsettle(slot);
    this.pump(path);
  }

  // Whether the setting has a value waiting, on its way, or taken by the
  // server and not yet told by the feed.
  busy(path) {
    const slot = this.slots.get(path);
    return slot !== undefined && (slot.waiting || slot.inFlight || slot.settling !== null);
  }

  // The feed told the setting's value (null: every setting's, a snapshot):
  // a value that only waited for that is no longer on its way.
  heard(path = null) {
    for (const [p, slot] of path === null ? this.slots : [[path, this.slots.get(path)]]) {
      if (!slot || slot.settling === null) continue;
      this.unsettle(slot);
      this.onIdle(p);
    }
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
      // A value on its way still lands, but the controls show the unit's.
      slot.dropped = true;
      this.unsettle(slot);
    }
  }

  slot(path) {
    let slot = this.slots.get(path);
    if (!slot) {
      slot = { value: undefined, waiting: false, inFlight: false, sentAt: -Infinity, timer: null, settling: null, dropped: false };
      this.slots.set(path, slot);
    }
    return slot;
  }

  unsettle(slot) {
    clearTimeout(slot.settling);
    slot.settling = null;
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
    if (slot.waiting) {
      this.pump(path);
    } else if (!error && !slot.dropped && this.settleMs > 0) {
      slot.settling = setTimeout(() => this.heard(path), this.settleMs);
    } else {
      this.onIdle(path);
    }
  }
}
