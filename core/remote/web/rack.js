// What the page knows of a rack of units: the units in the rack file's
// order with their groups and the state of their servers, and for each a
// UnitControl holding what its server told. The server over a rack sends
// one snapshot of every unit first ({"type": "snapshot", "rack", "units"}),
// then each unit's messages with its "alias".

export const kMemories = 60;

export class Rack {
  // makeControl(alias): a UnitControl for a unit the page has not seen yet.
  constructor(makeControl) {
    this.makeControl = makeControl;
    this.entries = new Map();  // alias -> {alias, port, groups, server, control}
    this.groups = [];
  }

  // Whether the message is a rack's first snapshot (a server of one unit
  // has no "rack" in it).
  static isRackSnapshot(message) {
    return message.type === 'snapshot' && message.alias === undefined && message.rack !== undefined;
  }

  // Takes a message of the feed; returns {alias, touched}: alias null and
  // touched "rack" after a snapshot of the rack, else the unit's alias and
  // what its model said it touched. Null for a message of no known unit.
  take(message) {
    if (Rack.isRackSnapshot(message)) {
      const before = this.entries;
      this.entries = new Map();
      for (const listed of message.rack.units ?? []) {
        const entry = before.get(listed.alias) ?? { alias: listed.alias, control: this.makeControl(listed.alias) };
        entry.port = listed.port;
        entry.groups = listed.groups ?? [];
        entry.server = listed.server;
        const told = (message.units ?? {})[listed.alias] ?? { unit: listed.unit };
        entry.control.take({ type: 'snapshot', unit: told.unit, program: told.program, memories: told.memories });
        this.entries.set(listed.alias, entry);
      }
      this.groups = message.rack.groups ?? [];
      return { alias: null, touched: 'rack' };
    }
    const entry = message.alias === undefined ? undefined : this.entries.get(message.alias);
    if (!entry) return null;
    // A unit's own snapshot comes when its server has (again) started.
    if (message.type === 'snapshot') entry.server = 'running';
    if (typeof message.server === 'string') entry.server = message.server;
    return { alias: entry.alias, touched: entry.control.take(message) };
  }

  get(alias) {
    return this.entries.get(alias);
  }

  list() {
    return [...this.entries.values()];
  }

  // The aliases of a group's units, or of every unit (group null).
  members(group) {
    return this.list().filter((e) => group === null || e.groups.includes(group)).map((e) => e.alias);
  }

  // A text that changes exactly when the rows or the groups to show do.
  layout() {
    return JSON.stringify([this.list().map((e) => [e.alias, e.groups]), this.groups]);
  }
}

// A unit's link as its row says it: {state: "live" | "busy" | "off" |
// "starting", text, reason}.
export function unitLink(entry) {
  const unit = entry.control.model.unit;
  if (entry.server !== 'running') return { state: 'starting', text: 'Server starting', reason: '' };
  if (!unit || unit.connected !== true) return { state: 'off', text: 'Not connected', reason: unit?.reason ?? '' };
  if (unit.busy) return { state: 'busy', text: `Busy: ${unit.busy}`, reason: '' };
  return { state: 'live', text: 'Connected', reason: '' };
}

// The units a group's answer says did not do it: [{alias, status, reason}],
// in the answer's order. The answer is {"units": {alias: {"status", "body"}}}.
export function fanOutFailures(answer) {
  const failures = [];
  for (const [alias, told] of Object.entries(answer?.units ?? {})) {
    if (told.status >= 200 && told.status < 300) continue;
    const reason = told.body?.error?.reason || (told.status ? `its server answered ${told.status}` : 'no answer');
    failures.push({ alias, status: told.status, reason });
  }
  return failures;
}

// Every unit's answer to the same request, made by the page one unit at a
// time over the units' own routes, in the shape of a group's answer.
export async function fanOut(controls, request) {
  const answers = await Promise.all(controls.map(async (control) => {
    try {
      return [control.alias, { status: 200, body: await request(control) }];
    } catch (error) {
      return [control.alias, { status: error.status ?? 0, body: error.body ?? { error: { reason: error.reason ?? String(error) } } }];
    }
  }));
  return { units: Object.fromEntries(answers) };
}

// The memories to choose from for a recall on some units: 1 to 60, each
// with the names the units' lists give it ("5 · SHOW A", "7 · A / B").
export function memoryChoices(controls) {
  const choices = [];
  for (let n = 1; n <= kMemories; n++) {
    const names = [];
    for (const control of controls) {
      const entry = control.model.memories.memories.find((m) => m.number === n && m.used);
      const name = entry ? entry.name.trim() : '';
      if (name && !names.includes(name)) names.push(name);
    }
    choices.push({ value: String(n), text: names.length > 0 ? `${n} \u00b7 ${names.join(' / ')}` : String(n) });
  }
  return choices;
}

// The page's address fragment: "#unit=main-l" shows that unit, anything
// else the rack.
export function aliasOfHash(hash) {
  const m = /^#unit=([A-Za-z0-9_-]+)$/.exec(hash);
  return m ? m[1] : null;
}

export function hashOfAlias(alias) {
  return `#unit=${alias}`;
}
