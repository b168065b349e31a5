// The processes behind the page tests: kvsim on a pseudo-terminal (one, or
// one per unit of a rack) and `kvctl serve` for it on the loopback address
// (or `kvctl --rack FILE serve` for them), and the headless Chromium of the
// system. Everything runs within a deadline and is stopped by its own
// process id whatever happens; nothing listens beyond 127.0.0.1.

import { spawn } from 'node:child_process';
import { copyFileSync, existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';

import puppeteer from 'puppeteer-core';

export const kChromium = '/usr/bin/chromium';
const kStopMs = 3000;

export function sleep(ms) {
  return new Promise((resolve) => setTimeout(resolve, ms));
}

// Resolves when check() gives a true value (which it returns), or rejects
// with `what` after timeoutMs.
export async function waitFor(what, check, timeoutMs, everyMs = 20) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out after ${timeoutMs} ms: ${what}`);
    await sleep(everyMs);
  }
}

function freePort() {
  return new Promise((resolve, reject) => {
    const server = net.createServer();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// A child process whose first line on standard output is awaited (notes on
// standard error come before it), and which is stopped by its pid:
// SIGTERM, then SIGKILL when it does not go in time.
// A server over a rack starts processes of its own: `group` puts it in a
// process group of its own, so that SIGKILL reaches them too when it does
// not stop them itself.
class Child {
  constructor(name, command, args, { group = false } = {}) {
    this.name = name;
    this.stdout = '';
    this.output = '';  // both streams, for the report of a failure
    this.group = group;
    this.process = spawn(command, args, { stdio: ['ignore', 'pipe', 'pipe'], detached: group });
    this.exited = new Promise((resolve) => this.process.on('exit', (code, signal) => resolve({ code, signal })));
    this.process.stdout.on('data', (d) => {
      this.stdout += d;
      this.output += d;
    });
    this.process.stderr.on('data', (d) => { this.output += d; });
    this.running = true;
    this.exited.then(() => { this.running = false; });
  }

  async firstLine(timeoutMs) {
    return waitFor(`${this.name} to print its first line`, () => {
      if (!this.running) throw new Error(`${this.name} ended before its first line:\n${this.output}`);
      const newline = this.stdout.indexOf('\n');
      return newline >= 0 ? this.stdout.slice(0, newline).trim() : null;
    }, timeoutMs);
  }

  async stop() {
    if (!this.running) return;
    this.process.kill('SIGTERM');
    const gone = await Promise.race([this.exited, sleep(kStopMs).then(() => null)]);
    if (gone === null && this.running) {
      if (this.group) process.kill(-this.process.pid, 'SIGKILL');
      else this.process.kill('SIGKILL');
      await this.exited;
    }
  }
}

// One simulated unit: kvsim on a pseudo-terminal, with its state (a copy
// of the bank it starts from, as the simulator writes its state back) and
// its log in files of its own.
class Sim {
  constructor(kvsim, work, name, bank) {
    this.kvsim = kvsim;
    this.name = name;
    this.bank = bank;
    this.logFile = path.join(work, `${name}.log`);
    this.state = path.join(work, `${name}.ay`);
    this.child = null;
    this.pty = null;
  }

  async start() {
    copyFileSync(this.bank, this.state);
    this.child = new Child(this.name, this.kvsim, ['--no-line-rate', '--log', this.logFile, '--state', this.state]);
    this.pty = await this.child.firstLine(5000);
  }

  async stop() {
    if (this.child) await this.child.stop();
  }

  // The simulator's log so far.
  log() {
    return existsSync(this.logFile) ? readFileSync(this.logFile, 'utf8') : '';
  }
}

// The simulators, the server and the browser of one test run. `options`:
// kvsim and kvctl (paths), bank (a .ay file each simulator starts from).
export class Rig {
  constructor({ kvsim, kvctl, bank }) {
    this.kvsim = kvsim;
    this.kvctl = kvctl;
    this.bank = bank;
    this.work = mkdtempSync(path.join(os.tmpdir(), 'kv-page-test-'));
    this.sim = new Sim(kvsim, this.work, 'kvsim', bank);
    // A rack's units: alias -> Sim.
    this.sims = {};
    this.server = null;
    this.browser = null;
    // Says what the scenario's pages show, for the report of a failure.
    this.describe = async () => '';
  }

  async startSim() {
    await this.sim.start();
    this.pty = this.sim.pty;
  }

  async stopSim() {
    await this.sim.stop();
  }

  // The simulator's log so far.
  log() {
    return this.sim.log();
  }

  // A simulator for each alias, all at once.
  async startSims(aliases) {
    for (const alias of aliases) this.sims[alias] = new Sim(this.kvsim, this.work, alias, this.bank);
    await Promise.all(aliases.map((alias) => this.sims[alias].start()));
  }

  // `kvctl serve` on the loopback address (a free port, or the one it had
  // before); extra arguments (token files) after the defaults.
  async startServer(extra = []) {
    return this.serve(['--port', this.pty, 'serve'], extra);
  }

  // `kvctl --rack FILE serve` over the simulators of startSims(); units:
  // [{alias, groups}] in the rack file's order.
  async startRackServer(units, extra = []) {
    const file = path.join(this.work, 'rack.json');
    writeFileSync(file, JSON.stringify({ units: units.map((u) => ({ alias: u.alias, port: this.sims[u.alias].pty, groups: u.groups ?? [] })) }));
    return this.serve(['--rack', file, 'serve'], extra);
  }

  async serve(command, extra) {
    for (let attempt = 0; ; attempt++) {
      const port = this.port ?? (await freePort());
      this.server = new Child('kvctl serve', this.kvctl,
        [...command, '--http', `127.0.0.1:${port}`, '--osc', '0', ...extra], { group: true });
      try {
        const first = await this.server.firstLine(10000);
        // The page's address: the server listens.
        if (!first.startsWith(`http://127.0.0.1:${port}/`)) throw new Error(`kvctl serve printed ${first}`);
        this.port = port;
        this.base = `http://127.0.0.1:${port}`;
        return first;
      } catch (e) {
        await this.server.stop();
        // Another program took the free port first: once more on another.
        if (attempt >= 2 || this.port !== undefined) throw e;
      }
    }
  }

  async stopServer() {
    await this.server.stop();
  }

  async launchBrowser() {
    if (!existsSync(kChromium)) throw new Error(`${kChromium} is missing: install the Debian package chromium`);
    this.browser = await puppeteer.launch({
      executablePath: kChromium,
      headless: true,
      userDataDir: mkdtempSync(path.join(this.work, 'chromium-')),
      args: [
        '--headless=new', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync',
        '--disable-dev-shm-usage', '--no-proxy-server',
      ],
      protocolTimeout: 20000,
    });
    return this.browser;
  }

  // A request to the server as a script makes it (no X-KV-Client: the
  // change counts as "api").
  async request(method, route, body, headers = {}) {
    const init = { method, headers: { ...headers } };
    if (body !== undefined) {
      init.headers['Content-Type'] = 'application/json';
      init.body = JSON.stringify(body);
    }
    const response = await fetch(this.base + route, init);
    const text = await response.text();
    return { status: response.status, body: text ? JSON.parse(text) : null };
  }

  async stopAll() {
    if (this.browser) await this.browser.close().catch(() => {});
    if (this.server) await this.server.stop();
    await Promise.all([this.sim, ...Object.values(this.sims)].map((sim) => sim.stop()));
  }

  cleanUp() {
    rmSync(this.work, { recursive: true, force: true });
  }
}

// Runs scenario(rig) with everything stopped afterwards, all of it within
// deadlineMs; exits 0 only when the scenario passed.
export async function run(options, deadlineMs, scenario) {
  const rig = new Rig(options);
  const deadline = setTimeout(async () => {
    console.error(`FAIL: the test did not end within ${deadlineMs / 1000} s`);
    await rig.stopAll();
    process.exit(1);
  }, deadlineMs);
  let failed = false;
  try {
    await scenario(rig);
  } catch (e) {
    failed = true;
    console.error(`FAIL: ${e.stack || e}`);
    console.error(`--- the pages showed:\n${await rig.describe().catch((d) => `(not known: ${d})`)}`);
    if (rig.server) console.error(`--- kvctl serve said:\n${rig.server.output}`);
    for (const sim of [rig.sim, ...Object.values(rig.sims)]) {
      if (sim.child) console.error(`--- the end of ${sim.name}'s log:\n${sim.log().split('\n').slice(-25).join('\n')}`);
    }
  }
  await rig.stopAll();
  clearTimeout(deadline);
  if (!failed) rig.cleanUp();
  else console.error(`(files kept in ${rig.work})`);
  process.exit(failed ? 1 : 0);
}
