// What the page tests share: the sizes they look at, a page opened with
// its problems and requests recorded, what a page shows in words for the
// report of a failure, the layout check, screenshots, and the simulators'
// log lines.

import assert from 'node:assert/strict';
import path from 'node:path';

export const kPhone = { width: 390, height: 844 };
export const kTablets = [
  { name: 'tablet-landscape', width: 1024, height: 768 },
  { name: 'tablet-portrait', width: 820, height: 1180 },
];
// Changes made elsewhere show on the page within this.
export const kFollowMs = 1000;

// A log's lines that came after `from` (a length of the log).
export function linesSince(log, from) {
  return log.slice(from).split('\n').filter((l) => l.length > 0);
}

export async function shot(page, dir, name) {
  await page.bringToFront();
  await page.screenshot({ path: path.join(dir, `${name}.png`) });
}

// What a page shows in its header, for the report of a failure.
export async function describePage(page) {
  return page.evaluate(() => {
    const text = (id) => document.getElementById(id).textContent.trim();
    const banner = document.getElementById('banner').hidden ? '(none)' : `${text('banner-title')}: ${text('banner-text')}`;
    const toast = document.getElementById('toast').hidden ? '(none)' : text('toast');
    return `${location.href} view ${document.body.dataset.view} link "${text('link-text')}" ` +
      `(${document.getElementById('link').dataset.state}), banner ${banner}, toast ${toast}`;
  });
}

// A page at `size` with its errors and requests recorded; every PATCH it
// sends is kept with its time in window.sentPatches.
export async function openPage(rig, size, route = '/') {
  const page = await rig.browser.newPage();
  const before = rig.describe;
  rig.describe = async () => `${await before()}${size.width}x${size.height}: ${await describePage(page)}\n`;
  const problems = [];
  const requests = [];
  const problem = (text) => {
    problems.push(text);
    console.error(`${size.width}x${size.height}: ${text}`);
  };
  page.on('pageerror', (e) => problem(`page error: ${e.message}`));
  page.on('console', (m) => {
    // A refused request is logged by the browser itself; the page shows it.
    if (m.type() === 'error' && !/Failed to load resource/.test(m.text())) problem(`console: ${m.text()}`);
  });
  page.on('request', (r) => requests.push(r.url()));
  await page.evaluateOnNewDocument(() => {
    window.sentPatches = [];
    const original = window.fetch;
    window.fetch = (url, init = {}) => {
      if (init.method === 'PATCH') window.sentPatches.push({ at: performance.now(), url: String(url), body: JSON.parse(init.body) });
      return original(url, init);
    };
  });
  await page.setViewport(size);
  await page.goto(rig.base + route);
  return { page, problems, requests };
}

// The layout: no sideways scrolling, every control at least 44 px each way.
export async function checkLayout(page, size) {
  const report = await page.evaluate(() => {
    const small = [];
    for (const el of document.querySelectorAll('button, select, input, .fader, a[href]')) {
      const box = el.getBoundingClientRect();
      if (box.width === 0 && box.height === 0) continue;  // hidden
      if (box.width < 44 || box.height < 44) small.push(`${el.getAttribute('aria-label') || el.textContent} ${box.width}x${box.height}`);
    }
    return { scrollWidth: document.documentElement.scrollWidth, small };
  });
  assert.ok(report.scrollWidth <= size.width, `the page is ${report.scrollWidth} px wide at ${size.width} px`);
  assert.deepEqual(report.small, [], 'controls smaller than 44 px');
}

// Everything came from the server, and no page failed.
export function checkPages(rig, pages) {
  for (const { problems, requests } of pages) {
    assert.deepEqual(problems, []);
    const elsewhere = requests.filter((u) => !u.startsWith(`${rig.base}/`));
    assert.deepEqual(elsewhere, [], 'requests to another server');
  }
}
