// The page against the program on a large generated station: the time from
// opening the file to its table of CRCs in headless Chromium, and the
// WebAssembly memory the page took, beside `ccdcrc all --jobs 1` (its time
// and peak resident memory). Both must give the same CSV.
//   node bench/web_bench.js [IEDS]   (after ./dev build and ./dev web; default 600 IEDs, about 120 MB)
'use strict';
const { spawnSync } = require('node:child_process');
const fs = require('node:fs');
const path = require('node:path');
const { pathToFileURL } = require('node:url');
const puppeteer = require(path.join(__dirname, '../tests/web/node_modules/puppeteer-core'));

const root = path.resolve(__dirname, '..');
const ieds = Number(process.argv[2] || 600);
const scd = path.join(root, `build/bench/station-${ieds}.scd`);

function native() {
  const start = process.hrtime.bigint();
  const run = spawnSync('/usr/bin/time', ['-f', '%M', path.join(root, 'build/release/console/ccdcrc'), 'all',
    '--jobs', '1', '--format', 'csv', path.basename(scd)], { cwd: path.dirname(scd), encoding: 'utf8',
    maxBuffer: 1 << 28 });
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  if (run.status !== 0) throw new Error(run.stderr);
  return { seconds, peakMb: Number(run.stderr.trim().split('\n').pop()) / 1024, csv: run.stdout };
}

async function page() {
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: process.getuid() === 0 ? ['--no-sandbox'] : [],
  });
  try {
    const tab = await browser.newPage();
    await tab.goto(pathToFileURL(path.join(root, 'build/web/ccdcrc.html')).href);
    const input = await tab.$('#files');
    const start = process.hrtime.bigint();
    await input.uploadFile(scd);
    await tab.waitForFunction(() => document.querySelector('.scd, #messages li.error'), { timeout: 0, polling: 50 });
    const seconds = Number(process.hrtime.bigint() - start) / 1e9;
    const csv = await tab.evaluate(() => ask({ op: 'table', format: 'csv' }).then((answer) => answer.text));
    const memory = await tab.evaluate(() => ask({ op: 'memory' }).then((answer) => answer.bytes));
    return { seconds, peakMb: memory / 1048576, csv };
  } finally {
    await browser.close();
  }
}

(async () => {
  if (!fs.existsSync(scd)) {
    fs.mkdirSync(path.dirname(scd), { recursive: true });
    spawnSync('python3', [path.join(root, 'bench/gen_scd.py'), '--ieds', String(ieds), '--quiet', scd],
      { stdio: 'inherit' });
  }
  const megabytes = fs.statSync(scd).size / 1e6;
  const program = native();
  const browser = await page();
  console.log(`| IEDs | MB | all --jobs 1 s | page s (x) | peak MB all | WebAssembly memory MB of the page |`);
  console.log(`|---|---|---|---|---|---|`);
  console.log(`| ${ieds} | ${megabytes.toFixed(0)} | ${program.seconds.toFixed(2)} | ${browser.seconds.toFixed(2)} ` +
    `(${(browser.seconds / program.seconds).toFixed(2)}) | ${program.peakMb.toFixed(0)} | ` +
    `${browser.peakMb.toFixed(0)} |`);
  if (browser.csv !== program.csv) {
    console.error('the page and the program give different CSV');
    process.exitCode = 1;
  }
})();
