// One unit as the page drives it: its routes, what the server told of it,
// and the pace of what is sent to it. A page of one unit has one; a page
// of a rack has one per unit, so a fader let go on one unit still ends on
// its last value while another unit is shown.

import { Model } from './model.js';
import { SettingSender } from './sender.js';

export class UnitControl {
  // alias: the unit's name in the rack, or null on a server of one unit.
  // onError(control, path, error) and onIdle(control, path) as the sender
  // tells them.
  constructor(alias, api, { onError = () => {}, onIdle = () => {} } = {}) {
    this.alias = alias;
    this.api = api;
    this.model = new Model();
    this.sender = new SettingSender((path, value) => this.api.patch({ [path]: value }), {
      onError: (path, error) => onError(this, path, error),
      onIdle: (path) => onIdle(this, path),
    });
  }

  // Takes a message of the server's feed into the model; returns what it
  // touched (as Model.take does).
  take(message) {
    const touched = this.model.take(message);
    if (touched === 'all') this.sender.heard();
    else if (touched !== null && touched !== 'unit' && touched !== 'memories') this.sender.heard(touched);
    return touched;
  }

  // Whether anything may be sent: a live feed, a token that may change, the
  // unit connected and no operation holding its line.
  canChange(session) {
    const unit = this.model.unit;
    return session.live && !session.readOnly && unit !== null && unit.connected === true && !unit.busy;
  }

  // What a control shows: the value on its way while one is, else the unit's.
  shown(path) {
    return this.sender.busy(path) ? this.sender.latest(path) : this.model.get(path);
  }

  // Sends a value when it may (the latest wins); says whether it went.
  change(path, value, session) {
    if (!this.canChange(session)) return false;
    this.sender.set(path, value);
    return true;
  }

  // The value a tap on a switch gives: mute on or off, polarity 180° or
  // normal.
  toggled(path) {
    if (path.endsWith('.mute')) return this.shown(path) !== true;
    return this.shown(path) === '180' ? 'normal' : '180';
  }

  // The memory the unit holds: the list's mark, else the unit's own word.
  memory() {
    return this.model.memories.current ?? this.model.unit?.program?.memory ?? null;
  }
}
