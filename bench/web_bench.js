// The page against the program on a large generated station: the time from
// opening the file to its table of CRCs in headless Chromium (the page's
// library started, and two seconds given to the browser's work on the page's
// start, as a user takes them to pick a file: a file opened at once takes
// about 0.4 s longer), then to its SHA-256 shown, and the WebAssembly memory
// the page took, beside `ccdcrc all --jobs 1` (its time and peak resident
// memory, the second of two runs: the first may pay for the memory a browser
// just gave back). Both must give the same CSV. On a loaded machine the CPU
// time (user and system, of the program and of every process of the
// browser) tells more than the wall time.
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

// CPU seconds (user and system) spent so far by the process `pid` and all
// its descendants (Linux: /proc).
function treeCpu(pid) {
  const stats = new Map();
  for (const entry of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    let stat;
    try {
      stat = fs.readFileSync(`/proc/${entry}/stat`, 'utf8');
    } catch {
      continue;
    }
    // The name in parentheses may hold spaces: the fields after it.
    const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
    stats.set(Number(entry), { parent: Number(fields[1]), ticks: Number(fields[11]) + Number(fields[12]) });
  }
  const within = (p) => p === pid || (stats.has(p) && p !== 0 && within(stats.get(p).parent));
  let ticks = 0;
  for (const [p, { ticks: t }] of stats) if (within(p)) ticks += t;
  return ticks / 100;
}

function native() {
  const start = process.hrtime.bigint();
  const run = spawnSync('/usr/bin/time', ['-f', '%U %S %M', path.join(root, 'build/release/console/ccdcrc'), 'all',
    '--jobs', '1', '--format', 'csv', path.basename(scd)], { cwd: path.dirname(scd), encoding: 'utf8',
    maxBuffer: 1 << 28 });
  const seconds = Number(process.hrtime.bigint() - start) / 1e9;
  if (run.status !== 0) throw new Error(run.stderr);
  const [user, system, peak] = run.stderr.trim().split('\n').pop().split(' ').map(Number);
  return { seconds, cpu: user + system, peakMb: peak / 1024, csv: run.stdout };
}

async function page() {
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: process.getuid() === 0 ? ['--no-sandbox'] : [],
  });
  try {
    const tab = await browser.newPage();
    const loading = process.hrtime.bigint();
    await tab.goto(pathToFileURL(path.join(root, 'build/web/ccdcrc.html')).href);
    // Opening the page starts its library: that is no part of opening a file.
    await tab.evaluate(() => ask({ op: 'memory' }));
    const ready = Number(process.hrtime.bigint() - loading) / 1e9;
    await new Promise((resolve) => setTimeout(resolve, 2000));
    const input = await tab.$('#files');
    const pid = browser.process().pid;
    const startCpu = treeCpu(pid);
    const start = process.hrtime.bigint();
    await input.uploadFile(scd);
    await tab.waitForFunction(() => document.querySelector('.scd, #messages li.error'), { timeout: 0, polling: 20 });
    const seconds = Number(process.hrtime.bigint() - start) / 1e9;
    await tab.waitForFunction(() => $('busy').hidden, { timeout: 0, polling: 20 });
    const hashed = Number(process.hrtime.bigint() - start) / 1e9;
    const cpu = treeCpu(pid) - startCpu;
    const csv = await tab.evaluate(() => ask({ op: 'table', format: 'csv' }).then((answer) => answer.text));
    const memory = await tab.evaluate(() => ask({ op: 'memory' }).then((answer) => answer.bytes));
    return { ready, seconds, hashed, cpu, peakMb: memory / 1048576, csv };
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
  native();
  const program = native();
  const browser = await page();
  const ratio = (a, b) => `${a.toFixed(2)} (${(a / b).toFixed(2)})`;
  console.log('| IEDs | MB | all --jobs 1 s | page s (x) | page with SHA-256 s | page started s | ' +
    'all --jobs 1 CPU s | page CPU s (x) | peak MB all | WebAssembly memory MB of the page (x) |');
  console.log('|---|---|---|---|---|---|---|---|---|---|');
  console.log(`| ${ieds} | ${megabytes.toFixed(0)} | ${program.seconds.toFixed(2)} | ` +
    `${ratio(browser.seconds, program.seconds)} | ${browser.hashed.toFixed(2)} | ${browser.ready.toFixed(2)} | ` +
    `${program.cpu.toFixed(2)} | ${ratio(browser.cpu, program.cpu)} | ` +
    `${program.peakMb.toFixed(0)} | ${ratio(browser.peakMb, program.peakMb).replace(/^(\d+)\.\d+/, '$1')} |`);
  if (browser.csv !== program.csv) {
    console.error('the page and the program give different CSV');
    process.exitCode = 1;
  }
})();
