// The offline page (build/web/ccdcrc.html) in Debian's headless Chromium,
// opened from file://: the same CRCs, CSV and change report as the program,
// its errors, names shown as text, and no request leaving the page.
//   node --test tests/web/page_test.js   (after ./dev build and ./dev web)
'use strict';
const { test, before, after } = require('node:test');
const assert = require('node:assert/strict');
const { spawnSync } = require('node:child_process');
const crypto = require('node:crypto');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const zlib = require('node:zlib');
const { pathToFileURL } = require('node:url');
const puppeteer = require('puppeteer-core');

const root = path.resolve(__dirname, '../..');
const pageFile = process.env.CCDCRC_PAGE || path.join(root, 'build/web/ccdcrc.html');
const program = process.env.CCDCRC_PROGRAM || path.join(root, 'build/release/console/ccdcrc');
const corpus = path.resolve(root, '../shared/corpus');
const data = (name) => path.join(root, 'tests/data', name);
const example = (name) => path.join(root, 'examples', name);

let browser;
before(async () => {
  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: process.getuid && process.getuid() === 0 ? ['--no-sandbox'] : [],
  });
});
after(async () => browser && browser.close());

// The page from file://, every request it makes recorded and refused but its own.
async function openPage() {
  const page = await browser.newPage();
  const requests = [];
  const dialogs = [];
  const own = pathToFileURL(pageFile).href;
  await page.setRequestInterception(true);
  page.on('request', (request) => {
    const url = request.url();
    if (url === own || url.startsWith('blob:') || url.startsWith('data:')) return request.continue();
    requests.push(url);
    return request.abort();
  });
  page.on('dialog', (dialog) => {
    dialogs.push(dialog.message());
    dialog.dismiss();
  });
  await page.goto(own);
  return { page, requests, dialogs };
}

// Opens files through the file input and waits until each is shown or refused.
async function openFiles(page, files) {
  const before = await page.evaluate(() => document.querySelectorAll('.scd, #messages li.error').length);
  const input = await page.$('#files');
  await input.uploadFile(...files);
  await page.waitForFunction(
    (count) => document.querySelectorAll('.scd, #messages li.error').length >= count && $('busy').hidden,
    { timeout: 120000 }, before + files.length);
}

// IED -> CRC of each SCD shown, and its facts.
function shownScds(page) {
  return page.evaluate(() => [...document.querySelectorAll('.scd')].map((block) => ({
    title: block.querySelector('h2').textContent,
    facts: Object.fromEntries([...block.querySelectorAll('dt')].map((dt) => [dt.textContent,
      dt.nextElementSibling.textContent])),
    ieds: [...block.querySelectorAll('tbody tr')].map((row) => [row.cells[0].textContent, row.cells[1].textContent]),
  })));
}

// Closes every open SCD, as the "Close all" button does.
const closeAll = (page) => page.evaluate(async () => {
  for (const scd of state.scds) await ask({ op: 'close', number: scd.number });
  state.scds = [];
  render();
});

const errors = (page) => page.$$eval('#messages li.error', (items) => items.map((item) => item.textContent));
const pageCsv = (page) => page.evaluate(() => ask({ op: 'table', format: 'csv' }).then((answer) => answer.text));

// The program's answer for one file, run where the file lies so that it names it as the page does.
function native(file, args = ['all', '--format', 'csv']) {
  const run = spawnSync(program, [...args, path.basename(file)],
    { cwd: path.dirname(file), encoding: 'utf8', maxBuffer: 1 << 28 });
  return { status: run.status, out: run.stdout, err: run.stderr };
}
const lines = (text) => text.split('\n').filter(Boolean).map((line) => line.replace(/^ccdcrc: /, ''));
const shown = (page, selector) => page.$$eval(selector, (items) => items.map((item) => item.textContent));
const dated = (text) => text.replace(/\d{4}-\d\d-\d\d \d\d:\d\d:\d\d( [+-]\d\d:\d\d)?/g, 'DATE');
const undated = (file) => fs.readFileSync(file, 'utf8').replace(/ timestamp="[^"]*"/, '');

// A folder of its own for a test, removed after it.
function folder(t) {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'ccdcrc-page-'));
  t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
  return dir;
}

test('the example gives the README\'s CRCs, its facts and the program\'s CSV', async () => {
  const { page, requests } = await openPage();
  await openFiles(page, [example('substation.scd')]);
  const [scd] = await shownScds(page);
  assert.deepEqual(scd.ieds.filter(([, crc]) => crc !== 'no circuits'), [
    ['CL1101', 'EC1566F7'], ['MU1001', 'C8380BFE'], ['MU1101', '277E1027'], ['PL1101', '3B04FA6D'],
    ['PT1001', '89761016']]);
  assert.equal(scd.facts['SCD CRC'], '2EB5C1E0');
  assert.match(scd.facts['SHA-256'], /^[0-9a-f]{64}$/);
  assert.equal(await pageCsv(page), native(example('substation.scd')).out);
  assert.deepEqual(requests, []);
});

test('plain, gzip and zip files give the program\'s CSV', async (t) => {
  const { page } = await openPage();
  for (const file of [data('cli_station.scd'), data('cli_station.scd.gz'), data('cli_station.zip')]) {
    await t.test(path.basename(file), async () => {
      await closeAll(page);
      await openFiles(page, [file]);
      assert.equal(await pageCsv(page), native(file).out);
    });
  }
});

test('files of any size, plain or gzip, give the program\'s CSV and the SHA-256 of the file', async (t) => {
  const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'ccdcrc-page-'));
  t.after(() => fs.rmSync(dir, { recursive: true, force: true }));
  // A station of about 20 MB, far past the 64 KiB a first block of memory holds.
  const station = path.join(dir, 'station.scd');
  const made = spawnSync('python3', [path.join(root, 'bench/gen_scd.py'), station, '--ieds', '50', '--quiet']);
  assert.equal(made.status, 0, String(made.stderr));
  const { page } = await openPage();
  const packed = (plain) => {
    const file = path.join(dir, `${path.basename(plain)}.gz`);
    fs.writeFileSync(file, zlib.gzipSync(fs.readFileSync(plain)));
    return file;
  };
  // The station is read in several parts.
  for (const file of [packed(example('substation.scd')), packed(station), station]) {
    await t.test(path.basename(file), async () => {
      await closeAll(page);
      await openFiles(page, [file]);
      const expected = native(file);
      assert.equal(expected.status, 0);
      assert.deepEqual(await errors(page), []);
      assert.equal(await pageCsv(page), expected.out);
      const [scd] = await shownScds(page);
      assert.equal(scd.facts['SHA-256'], crypto.createHash('sha256').update(fs.readFileSync(file)).digest('hex'));
    });
  }
});

test('a request made before the SHA-256 comes waits for it, hashed by a second worker or by the first',
  async (t) => {
    const text = fs.readFileSync(example('substation.scd'), 'utf8');
    for (const secondWorker of [true, false]) {
      await t.test(secondWorker ? 'second worker' : 'no second worker', async () => {
        const { page } = await openPage();
        if (!secondWorker) {
          await page.evaluate(() => {
            const Real = Worker;
            window.Worker = function (url, options) {
              if (options && options.name === 'sha256') throw new Error('no second worker here');
              return new Real(url, options);
            };
            return restart('', false);
          });
        }
        assert.equal(await page.evaluate(() => state.hasher !== null), secondWorker);
        const table = await page.evaluate(async (bytes) => {
          const opened = await ask({ op: 'open', name: 'substation.scd', file: new File([bytes], 'substation.scd') });
          return JSON.parse((await ask({ op: 'table', format: 'json', number: opened.number })).text);
        }, text);
        assert.equal(table.sha256, crypto.createHash('sha256').update(text).digest('hex'));
      });
    }
  });

test('the page carries its licence and those of the libraries it holds', async () => {
  const { page } = await openPage();
  const licenses = await page.$$eval('#licenses h2', (names) =>
    names.map((name) => [name.textContent, name.nextElementSibling.textContent.trim().length > 0]));
  assert.deepEqual(licenses.sort(), ['Emscripten', 'ccdcrc', 'libmd', 'libzip', 'nlohmann-json', 'pugixml', 'zlib']
    .map((name) => [name, true]).sort());
});

test('two revisions give the change report of the program', async () => {
  const { page, requests } = await openPage();
  await openFiles(page, [example('substation.scd'), example('substation_rev2.scd')]);
  await page.click('#make-report');
  await page.waitForFunction(() => !$('report').hidden && $('busy').hidden);
  const counts = await page.$eval('#report-counts', (element) => element.textContent);
  assert.equal(counts, 'unchanged 3, changed 2, added 0, removed 0, gained 0, lost 0');
  const html = await page.evaluate(() => state.report.html);
  const run = spawnSync(program, ['diff', 'substation.scd', 'substation_rev2.scd', '--format', 'html'],
    { cwd: path.join(root, 'examples'), encoding: 'utf8' });
  assert.equal(run.status, 1);
  // The report's date is the moment it is made.
  const undated = (text) => text.replace(/\d{4}-\d\d-\d\d \d\d:\d\d:\d\d/g, 'DATE');
  assert.equal(undated(html), undated(run.stdout));
  assert.deepEqual(requests, []);
});

test('files the program refuses are refused in its words', async (t) => {
  const cases = [
    // [file, message expected (the program's, the path being the file's name)]
    [data('malformed/end_tag.scd')],
    [data('cli_damaged.scd.gz')],
    [data('cli_two_stations.zip')],
    [data('cli_scd_and_zip.bin')],
  ];
  const { page } = await openPage();
  for (const [file] of cases) {
    await t.test(path.basename(file), async () => {
      await page.evaluate(() => $('messages').replaceChildren());
      await openFiles(page, [file]);
      const expected = native(file);
      assert.equal(expected.status, 2);
      assert.deepEqual(await errors(page), [expected.err.trim().replace(/^ccdcrc: /, '')]);
    });
  }
  assert.match((await errors(page)).join(), /./);
});

test('a malformed file shows its line and column', async () => {
  const { page } = await openPage();
  await openFiles(page, [data('malformed/end_tag.scd')]);
  assert.match((await errors(page))[0], /^end_tag\.scd:\d+:\d+: /);
});

test('a file read only in part shows no CRC', async () => {
  const { page } = await openPage();
  await openFiles(page, [data('cli_junk_after_zero.scd')]);
  assert.deepEqual(await shownScds(page), []);
  assert.match((await errors(page))[0], /^cli_junk_after_zero\.scd:99:1: the file is read only in part, so its CRCs .*: a zero byte/);
});

test('hostile names are shown as text', async () => {
  const { page, dialogs, requests } = await openPage();
  await openFiles(page, [data('report_hostile.scd'), data('report_hostile.scd')]);
  const [scd] = await shownScds(page);
  assert.ok(scd.ieds.some(([name]) => name === '<script>alert(1)</script>'));
  assert.ok(scd.ieds.some(([name]) => name === 'tab\\tand\\nline'));
  assert.equal(await page.$$eval('#scds script, #scds img', (found) => found.length), 0);
  await page.click('#make-report');
  await page.waitForFunction(() => !$('report').hidden && $('busy').hidden);
  await new Promise((resolve) => setTimeout(resolve, 300));
  assert.deepEqual(dialogs, []);
  assert.deepEqual(requests, []);
});

test('an IED\'s CCD is the program\'s, as exported and as measured', async () => {
  const { page } = await openPage();
  await openFiles(page, [data('sub_golden.scd')]);
  for (const [measured, expected] of [[true, 'sub_golden_SUB.measured.ccd']]) {
    const text = await page.evaluate((m) => ask({ op: 'ccd', number: 0, ied: 'SUB', measured: m })
      .then((answer) => answer.text), measured);
    assert.equal(text, fs.readFileSync(data(expected), 'utf8'));
  }
  const exported = await page.evaluate(() => ask({ op: 'ccd', number: 0, ied: 'SUB', measured: false })
    .then((answer) => answer.text));
  const run = spawnSync(program, ['ccd', 'sub_golden.scd', 'SUB'], { cwd: data('.'), encoding: 'utf8' });
  // The CRC element's timestamp is the moment of the export.
  const timeless = (text) => text.replace(/ timestamp="[^"]*"/g, '');
  assert.equal(timeless(exported), timeless(run.stdout));
});

test('a list of approved CRCs is checked as the program checks it', async (t) => {
  const { page } = await openPage();
  await openFiles(page, [data('cli_station.scd')]);
  for (const [list, status] of [['station.txt', 0], ['wrong-scd-crc.csv', 1], ['malformed.csv', 1], ['bay1.csv', 1]]) {
    await t.test(list, async () => {
      const bytes = fs.readFileSync(data(`approved/${list}`)).toString('base64');
      const answer = await page.evaluate((name, base64) => ask({ op: 'check', number: 0, name,
        bytes: Uint8Array.from(atob(base64), (c) => c.charCodeAt(0)).buffer }), list, bytes);
      const run = spawnSync(program, ['check', `approved/${list}`, 'cli_station.scd'], { cwd: data('.'),
        encoding: 'utf8' });
      assert.equal(run.status, status);
      assert.equal(answer.text, run.stdout);
      assert.equal(answer.approved, status === 0);
      assert.deepEqual(answer.failures, run.stderr.split('\n').filter(Boolean).map((line) => line.slice(8)));
    });
  }
});

test('every file of the corpus gives the program\'s CSV', { skip: !fs.existsSync(corpus) && 'no corpus' },
  async () => {
    const { page, requests } = await openPage();
    let compared = 0;
    let crcs = 0;
    for (const name of fs.readdirSync(corpus).sort()) {
      const file = path.join(corpus, name);
      const expected = native(file);
      await page.evaluate(() => { $('messages').replaceChildren(); });
      await openFiles(page, [file]);
      if (expected.status === 0) {
        const csv = await pageCsv(page);
        assert.equal(csv, expected.out, name);
        crcs += expected.out.split('\n').filter((line) => /^(ied|scd),/.test(line)).length;
      } else {
        assert.deepEqual(await errors(page), [expected.err.trim().replace(/^ccdcrc: /, '')], name);
      }
      await closeAll(page);
      compared += 1;
    }
    console.log(`corpus: ${compared} files, ${crcs} CRCs compared with the program, all equal`);
    assert.deepEqual(requests, []);
  });

test('Cancel stops the file being read and keeps the files open before it', async (t) => {
  const station = path.join(folder(t), 'station.scd');
  spawnSync('python3', [path.join(root, 'bench/gen_scd.py'), station, '--ieds', '50', '--quiet']);
  const { page } = await openPage();
  await openFiles(page, [example('substation.scd')]);
  await (await page.$('#files')).uploadFile(station);
  await page.waitForFunction(() => !$('busy').hidden);
  await page.click('#cancel');
  await page.waitForFunction(() => $('busy').hidden && state.scds.length === 1 && state.requests.size === 0);
  assert.deepEqual((await shownScds(page)).map((scd) => scd.title), ['substation.scd']);
  assert.deepEqual(await errors(page), ['cancelled; the open files stay open']);
  assert.equal(await pageCsv(page), native(example('substation.scd')).out);
});

test('broken bindings are listed with their reasons, in the warnings of the program', async () => {
  const { page } = await openPage();
  await openFiles(page, [data('report_renamed_member.scd')]);
  const expected = native(data('report_renamed_member.scd'));
  assert.deepEqual(await shown(page, '#messages li.warning'), lines(expected.err));
  const [binding] = await shown(page, '.bindings li');
  assert.equal(await page.$$eval('.bindings li', (items) => items.length), 1);
  assert.ok(lines(expected.err).some((line) => line.endsWith(binding.split(': ').slice(1).join(': '))), binding);
});

test('dropped CCD files are verified as the program verifies them', async (t) => {
  const dir = folder(t);
  fs.copyFileSync(example('substation_rev2.scd'), path.join(dir, 'substation_rev2.scd'));
  spawnSync(program, ['export', example('substation.scd'), '--all', '-o', dir]);
  fs.writeFileSync(path.join(dir, 'changed.ccd'), fs.readFileSync(path.join(dir, 'MU1001.ccd'), 'utf8')
    .replace(/<CRC id="\w+"/, '<CRC id="00000000"'));
  fs.writeFileSync(path.join(dir, 'broken.ccd'), '<IED name="x">');
  const ccds = ['PL1101.ccd', 'MU1001.ccd', 'changed.ccd', 'broken.ccd'];
  for (const scd of [null, 'substation_rev2.scd']) {
    await t.test(scd || 'no SCD', async () => {
      const { page } = await openPage();
      await (await page.$('#files')).uploadFile(...[scd, ...ccds].filter(Boolean).map((name) => path.join(dir, name)));
      await page.waitForFunction(() => !$('verify').hidden && $('busy').hidden);
      const run = spawnSync(program, ['verify', ...ccds, ...(scd ? ['--scd', scd] : [])], { cwd: dir,
        encoding: 'utf8' });
      assert.equal(await page.$eval('#verify-text', (pre) => pre.textContent), run.stdout);
      assert.deepEqual([...await errors(page), ...await shown(page, '#messages li.warning')],
        lines(run.stderr).filter((line) => !/did not verify/.test(line)));
    });
  }
});

test('every CCD in one zip, as export --all writes them and refuses them', async (t) => {
  for (const scd of [example('substation.scd'), data('report_hostile.scd'), data('cli_station.scd')]) {
    await t.test(path.basename(scd), async () => {
      const dir = folder(t);
      const run = spawnSync(program, ['export', path.basename(scd), '--all', '-o', dir], { cwd: path.dirname(scd),
        encoding: 'utf8' });
      const { page } = await openPage();
      await openFiles(page, [scd]);
      const answer = await page.evaluate(() => ask({ op: 'zip', number: 0 }).then((zip) => ({ ...zip,
        bytes: zip.bytes && btoa(String.fromCharCode(...new Uint8Array(zip.bytes))) })));
      assert.deepEqual(answer.notes, lines(run.stderr));
      if (!answer.bytes) return assert.equal(fs.readdirSync(dir).length, 0);
      fs.writeFileSync(path.join(dir, 'page.zip'), Buffer.from(answer.bytes, 'base64'));
      const unzipped = path.join(dir, 'unzipped');
      spawnSync('python3', ['-m', 'zipfile', '-e', path.join(dir, 'page.zip'), unzipped]);
      const files = fs.readdirSync(dir).filter((name) => name.endsWith('.ccd')).sort();
      assert.deepEqual(fs.readdirSync(unzipped).sort(), files);
      for (const name of files) assert.equal(undated(path.join(unzipped, name)), undated(path.join(dir, name)), name);
    });
  }
});

test('CSV per SCD, reports named after both SCDs, with the approved column, and a check that marks the rows',
  async (t) => {
    const dir = folder(t);
    for (const name of ['substation.scd', 'substation_rev2.scd']) fs.copyFileSync(example(name), path.join(dir, name));
    const { page } = await openPage();
    await openFiles(page, ['substation.scd', 'substation_rev2.scd'].map((name) => path.join(dir, name)));
    for (const [number, name] of [[0, 'substation.scd'], [1, 'substation_rev2.scd']]) {
      fs.writeFileSync(path.join(dir, 'approved.csv'), await page.evaluate((n) => ask({ op: 'table', format: 'csv',
        number: n }).then((answer) => answer.text), number));
      assert.equal(spawnSync(program, ['check', 'approved.csv', name], { cwd: dir }).status, 0, name);
    }
    await (await page.$('#approved')).uploadFile(path.join(dir, 'approved.csv'));
    await page.click('#make-report');
    await page.waitForFunction(() => !$('report').hidden && $('busy').hidden);
    const report = await page.evaluate(() => state.report);
    const run = spawnSync(program, ['diff', 'substation.scd', 'substation_rev2.scd', '--format', 'html', '--approved',
      'approved.csv'], { cwd: dir, encoding: 'utf8' });
    assert.equal(report.name, 'substation-vs-substation_rev2-change-report.html');
    assert.equal(dated(report.html), dated(run.stdout));
    assert.match(report.html, /Approved/);
    await page.evaluate(() => { state.checked = state.scds[0]; });
    await (await page.$('#list')).uploadFile(path.join(dir, 'approved.csv'));
    await page.waitForFunction(() => !$('check').hidden);
    const checked = JSON.parse(spawnSync(program, ['check', 'approved.csv', 'substation.scd', '--format', 'json'],
      { cwd: dir, encoding: 'utf8' }).stdout);
    const marks = await page.$$eval('.scd:first-child tbody tr', (rows) => rows.filter((row) => row.cells[3]
      .textContent).map((row) => [row.cells[0].textContent, row.cells[3].textContent]));
    assert.deepEqual(marks, checked.ieds.filter((ied) => ied.status !== 'missing').map((ied) => [ied.name, ied.status]));
  });

test('keyboard alone and a phone-width screen reach everything, with names whole and no script error',
  async () => {
    const { page } = await openPage();
    const problems = [];
    page.on('console', (message) => message.type() === 'error' && problems.push(message.text()));
    page.on('pageerror', (error) => problems.push(error.message));
    await page.setViewport({ width: 375, height: 800 });
    await openFiles(page, [example('substation.scd'), example('substation_rev2.scd'), data('report_hostile.scd')]);
    assert.equal(await page.$eval('#filter', (input) => input.labels.length), 1);
    assert.deepEqual(await page.$$eval('td button', (buttons) => buttons.filter((b) =>
      !b.getAttribute('aria-label').includes(b.closest('tr').cells[0].textContent)).length), 0);
    const cells = await page.$$eval('td.name, td.crc', (found) => found.map((cell) => {
      const range = document.createRange();
      range.selectNodeContents(cell);
      return range.getClientRects().length;
    }));
    assert.ok(cells.length > 10 && cells.every((count) => count === 1), String(cells));
    await page.focus('#files');
    for (let step = 0; step < 20 && await page.evaluate(() => document.activeElement.id !== 'make-report'); ++step) {
      assert.equal(await page.evaluate(() => document.activeElement.closest('td')), null);
      await page.keyboard.press('Tab');
    }
    await page.keyboard.press('Enter');
    await page.waitForFunction(() => !$('report').hidden && $('busy').hidden);
    await openFiles(page, [data('malformed/end_tag.scd')]);
    assert.deepEqual(await page.$eval('#announce', (region) => [region.getAttribute('role'), region.textContent]),
      ['status', (await errors(page))[0]]);
    await new Promise((resolve) => setTimeout(resolve, 300));
    assert.deepEqual(problems, []);
  });

test('dropped revisions give the timeline of the program\'s history', async () => {
  const revisions = ['substation.scd', 'substation_rev2.scd', 'substation.scd'];
  const { page } = await openPage();
  await openFiles(page, revisions.map(example));
  await page.click('#make-history');
  await page.waitForFunction(() => !$('history').hidden && $('busy').hidden);
  const run = spawnSync(program, ['history', '--no-cache', '--format', 'html', ...revisions],
    { cwd: path.join(root, 'examples'), encoding: 'utf8' });
  assert.equal(await page.evaluate(() => state.history.html), run.stdout);
  assert.equal(await page.evaluate(() => state.history.name), 'substation-to-substation-history.html');
});
