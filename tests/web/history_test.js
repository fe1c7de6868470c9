// The timeline page of `ccdcrc history --format html` in Debian's headless
// Chromium: its chart (IEDs by bay, revisions across, a mark per change),
// names shown as text, no script and no request, and its print layout.
//   node --test tests/web/history_test.js   (after ./dev build)
'use strict';
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { spawnSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const { pathToFileURL } = require('node:url');
const puppeteer = require('puppeteer-core');

const root = path.resolve(__dirname, '../..');
const program = process.env.CCDCRC_PROGRAM || path.join(root, 'build/release/console/ccdcrc');
const data = (name) => path.join(root, 'tests/data', name);

let browser;
let folder;
before(async () => {
  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: process.getuid && process.getuid() === 0 ? ['--no-sandbox'] : [],
  });
  folder = fs.mkdtempSync(path.join(os.tmpdir(), 'ccdcrc-history-'));
});
after(async () => {
  if (browser) await browser.close();
  fs.rmSync(folder, { recursive: true, force: true });
});

// The page of these revisions, opened from file:// with every other request refused.
async function historyPage(revisions) {
  const made = spawnSync(program, ['history', '--no-cache', '--format', 'html', ...revisions], { encoding: 'utf8' });
  const file = path.join(folder, `history-${revisions.length}.html`);
  fs.writeFileSync(file, made.stdout);
  const page = await browser.newPage();
  const requests = [];
  await page.setRequestInterception(true);
  page.on('request', (request) => {
    if (request.url() === pathToFileURL(file).href) return request.continue();
    requests.push(request.url());
    return request.abort();
  });
  await page.goto(pathToFileURL(file).href);
  return { page, requests, status: made.status, html: made.stdout };
}

test('the chart has a row per IED by bay, a column per revision and a mark per change', async () => {
  const revisions = [path.join(root, 'examples/substation.scd'), data('report_renamed_member.scd'),
    data('cli_not_scl.scd'), path.join(root, 'examples/substation.scd')];
  const { page, requests, status, html } = await historyPage(revisions);
  assert.equal(status, 2, 'an unreadable revision ends with status 2');
  assert.doesNotMatch(html, /<script/i);
  const chart = await page.evaluate(() => ({
    columns: [...document.querySelectorAll('table.timeline thead th.rev')].map((th) => th.textContent),
    unreadable: [...document.querySelectorAll('table.timeline thead th.rev.unreadable')].length,
    bays: [...document.querySelectorAll('table.timeline tr.bay th')].map((th) => th.textContent),
    rows: [...document.querySelectorAll('table.timeline tbody tr:not(.bay)')].map((tr) => ({
      ied: tr.querySelector('th').textContent,
      marks: [...tr.querySelectorAll('td')].map((td) => td.textContent),
    })),
  }));
  assert.equal(chart.columns.length, 4);
  assert.equal(chart.unreadable, 1);
  assert.ok(chart.bays.length >= 1, 'IEDs are grouped by bay');
  const pl1101 = chart.rows.find((row) => row.ied === 'PL1101');
  assert.ok(pl1101, JSON.stringify(chart.rows));
  assert.equal(pl1101.marks[0], '+', 'added in the first revision');
  assert.equal(pl1101.marks.length, 4);
  assert.deepEqual(requests, []);
  await page.close();
});

test('names from an SCD are text, never markup', async () => {
  const { page, html } = await historyPage([data('cli_revision_1A.scd'), data('report_hostile.scd')]);
  const injected = await page.evaluate(() => document.querySelectorAll('script, img, iframe, object').length);
  assert.equal(injected, 0);
  assert.doesNotMatch(html, /<img|onerror=/i);
  await page.close();
});

test('printed on A4 across, the chart keeps its header and its marks', async () => {
  const { page } = await historyPage([path.join(root, 'examples/substation.scd'), data('report_renamed_member.scd')]);
  await page.emulateMediaType('print');
  const printed = await page.evaluate(() => ({
    header: getComputedStyle(document.querySelector('table.timeline thead')).display,
    adjust: getComputedStyle(document.querySelector('td.m-added')).printColorAdjust,
    overflow: getComputedStyle(document.querySelector('.chart')).overflowX,
  }));
  assert.equal(printed.header, 'table-header-group');
  assert.equal(printed.adjust, 'exact');
  assert.equal(printed.overflow, 'visible');
  const pdf = await page.pdf({ preferCSSPageSize: true });
  const text = Buffer.from(pdf).toString('latin1');
  const box = text.match(/\/MediaBox \[0 0 ([\d.]+) ([\d.]+)\]/);
  assert.ok(box && Number(box[1]) > Number(box[2]), 'landscape pages');
  await page.close();
});
