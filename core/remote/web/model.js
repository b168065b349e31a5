// What the page knows of the unit, as the server last told it: the unit's
// state, the program (program JSON) and the memory list. Only the server's
// messages change it; what the page sends shows up here when the server
// tells everyone of it.

export const kOutputs = 6;
export const kInputs = [
  { key: 'ina', title: 'In A' },
  { key: 'inb', title: 'In B' },
  { key: 'sum', title: 'In SUM A+B' },
];
export const kSources = ['In A', 'In B', 'In SUM A+B'];

export const kGain = { min: -15, max: 15, step: 0.2 };
// Delays in 1/48 ms steps up to 30500 of them.
export const kDelay = { min: 0, max: 635.417, stepsPerMs: 48 };

// The nearest step, as the unit shows it: -2.4, never -2.4000000000000004.
export function snapGain(db) {
  const steps = Math.round(db / kGain.step);
  return Math.min(kGain.max, Math.max(kGain.min, Number((steps * kGain.step).toFixed(1))));
}

export function snapDelay(ms) {
  const steps = Math.round(ms * kDelay.stepsPerMs);
  return Math.min(kDelay.max, Math.max(kDelay.min, Number((steps / kDelay.stepsPerMs).toFixed(3))));
}

// "+3.0 dB", "0.0 dB", "−4.2 dB" (a true minus sign: it reads at a distance).
export function formatGain(db) {
  const tenths = Math.round(db * 10);
  const text = (Math.abs(tenths) / 10).toFixed(1);
  if (tenths > 0) return `+${text} dB`;
  if (tenths < 0) return `\u2212${text} dB`;
  return `${text} dB`;
}

export function formatDelay(ms) {
  return ms.toFixed(3);
}

// Typed milliseconds ("12.5", "12,5", "12.5 ms"), or NaN.
export function parseDelay(text) {
  const cleaned = String(text).trim().replace(/\s*ms$/i, '').replace(',', '.');
  if (!/^\d+(\.\d*)?$|^\.\d+$/.test(cleaned)) return NaN;
  return Number(cleaned);
}

const kNoMemories = { current: null, read_at: null, memories: [] };

export class Model {
  constructor() {
    this.unit = null;
    this.program = null;
    this.memories = kNoMemories;
  }

  // Takes a snapshot, a change, a unit or a memory message; returns what it
  // touched: "all", "unit", "memories" or the changed setting's path.
  take(message) {
    switch (message.type) {
      case 'snapshot':
        // A rack's unit whose server has not started yet has neither a
        // program nor a memory list.
        this.unit = message.unit ?? null;
        this.program = message.program ?? null;
        this.memories = message.memories ?? kNoMemories;
        return 'all';
      case 'unit':
        this.unit = message.unit;
        return 'unit';
      case 'memories':
        this.memories = message.memories ?? kNoMemories;
        return 'memories';
      case 'change':
        if (!this.program) return null;
        setPath(this.program, message.path, message.value);
        return message.path;
      default:
        return null;
    }
  }

  // The value at "out3.gain", "ina.delay", "out3.hp", "name", or undefined.
  get(path) {
    let node = this.program;
    for (const part of splitPath(path)) {
      if (node === null || node === undefined) return undefined;
      node = node[part];
    }
    return node;
  }
}

// "out3.eq2.freq" -> ["out3", "eq", 1, "freq"]: EQ filters are the channel's
// "eq" list in slot order.
function splitPath(path) {
  const parts = [];
  for (const part of path.split('.')) {
    const eq = /^eq(\d+)$/.exec(part);
    if (eq) parts.push('eq', Number(eq[1]) - 1);
    else parts.push(part);
  }
  return parts;
}

function setPath(program, path, value) {
  const parts = splitPath(path);
  let node = program;
  for (let i = 0; i < parts.length - 1; i++) {
    if (node[parts[i]] === undefined || node[parts[i]] === null) node[parts[i]] = typeof parts[i + 1] === 'number' ? [] : {};
    node = node[parts[i]];
  }
  node[parts[parts.length - 1]] = value;
  // A filter the channel no longer has is null; the list ends at its last
  // filter, as the program JSON gives it.
  if (Array.isArray(node)) while (node.length > 0 && node[node.length - 1] === null) node.pop();
}
