// The page: opens files, asks the worker (the library in WebAssembly) and
// shows its answers. Every text from a file is shown as text, never as markup.
'use strict';

const $ = (id) => document.getElementById(id);

const state = {
  worker: null,
  hasher: null,         // the second worker, which computes SHA-256
  requests: new Map(),  // id -> resolve
  nextId: 0,
  scds: [],             // answers of `open`, in the order opened, each with its `file`
  ccd: null,            // {name, text}
  report: null,         // {name, html}: the change report
  history: null,        // {name, html}: the timeline of the open SCDs
  checks: new Map(),    // number of an SCD -> each IED's status in its last check
  reopening: [],        // files open before a Cancel, still to be opened again
};

// The worker's script is the page's own (an inline element): a page opened
// from a file loads nothing from anywhere. A second worker of the same
// script hashes the files the first reads; the two talk over a channel of
// their own.
function startWorker() {
  const source = $('worker-source').textContent;
  const url = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
  state.worker = new Worker(url);
  try {
    state.hasher = new Worker(url, { name: 'sha256' });
  } catch {
    state.hasher = null;  // the worker hashes what it reads itself
  }
  URL.revokeObjectURL(url);
  if (state.hasher) {
    const channel = new MessageChannel();
    state.worker.postMessage({ hasher: channel.port1 }, [channel.port1]);
    state.hasher.postMessage({ port: channel.port2 }, [channel.port2]);
    state.hasher.onerror = (event) => {
      event.preventDefault();
      state.worker.postMessage({ hasherStopped: `its worker stopped (${event.message || 'out of memory?'})` });
    };
  }
  state.worker.onmessage = (event) => {
    const message = event.data;
    if (message.progress) return showProgress(message.progress);
    const resolve = state.requests.get(message.id);
    state.requests.delete(message.id);
    if (resolve) resolve(message.answer);
  };
  state.worker.onerror = (event) => {
    event.preventDefault();
    restart(`the page's worker stopped (${event.message || 'out of memory?'}); the open files were closed`, false);
  };
}

function ask(request) {
  return new Promise((resolve) => {
    const id = state.nextId++;
    state.requests.set(id, resolve);
    const transfer = request.bytes ? [request.bytes] : [];
    state.worker.postMessage({ ...request, id }, transfer);
  });
}

// Ends whatever the worker does: every request is answered with `why`. The
// worker holds the open files: with `reopen` they are opened again.
async function restart(why, reopen) {
  state.worker.terminate();
  state.hasher?.terminate();
  for (const resolve of state.requests.values()) resolve({ ok: false, error: why, stopped: true });
  state.requests.clear();
  // Files not yet opened again when a second Cancel comes stay among them.
  const files = reopen ? [...state.scds.map((scd) => scd.file), ...state.reopening] : [];
  state.scds = [];
  state.checks.clear();
  state.reopening = files;
  startWorker();
  render();
  while (state.reopening === files && files.length > 0) {
    const file = files[0];
    const answer = await busy(file.name, () => ask({ op: 'open', name: file.name, file }));
    if (answer.stopped) return;
    files.shift();
    if (!answer.ok) say(answer.error, 'error');
    else keep(answer, file);
  }
}

// Shows an SCD opened, at once; its SHA-256 follows when the browser has it
// (a promise of its being shown, or of the SCD closed for want of it).
function keep(answer, file) {
  const scd = { ...answer, file };
  state.scds.push(scd);
  render();
  if (scd.sha256) return Promise.resolve();
  return busy(file.name, () => ask({ op: 'digest', number: scd.number }).then((digest) => {
    if (digest.stopped) return;
    if (digest.ok) {
      scd.sha256 = digest.sha256;
    } else {
      say(digest.error, 'error');
      state.scds = state.scds.filter((each) => each !== scd);
    }
    render();
  }));
}

const steps = { reading: 'Reading', parsing: 'Parsing', computing: 'Computing CRCs', comparing: 'Comparing',
  exporting: 'Exporting', listing: 'Listing', hashing: 'Computing the SHA-256 of' };
const counted = new Set(['computing', 'comparing', 'exporting']);

// Tells assistive technology, once per step.
function announce(text) {
  if ($('announce').textContent !== text) $('announce').textContent = text;
}

function showProgress({ step, done, total }) {
  const what = `${steps[step] || step} ${state.busyName || ''}`;
  announce(what);
  $('step').textContent = what + (counted.has(step) ? ` (${done} of ${total} IEDs)` : '');
  const bar = $('progress');
  if (total > 1) {
    bar.max = total;
    bar.value = done;
  } else {
    bar.removeAttribute('value');
  }
}

async function busy(name, work) {
  state.busyName = name;
  $('busy').hidden = false;
  $('step').textContent = '';
  announce(`Working on ${name}`.trim());
  try {
    return await work();
  } finally {
    if (state.requests.size === 0) {
      $('busy').hidden = true;
      announce('Done');
    }
  }
}

function say(text, kind) {
  const item = document.createElement('li');
  item.className = kind;
  item.textContent = text;
  $('messages').append(item);
  if (kind === 'error') announce(text);
}

const isCcd = (file) => /\.ccd$/i.test(file.name);

async function openFiles(files) {
  $('messages').replaceChildren();
  for (const file of files.filter((each) => !isCcd(each))) {
    // The worker reads the file itself, in parts, into the memory it parses it in.
    const answer = await busy(file.name, () => ask({ op: 'open', name: file.name, file }));
    if (answer.stopped) {
      say(answer.error, 'error');
      return;
    }
    if (!answer.ok) {
      say(answer.error, 'error');
      continue;
    }
    for (const warning of answer.warnings) say(warning, 'warning');
    keep(answer, file);
  }
  const ccds = files.filter(isCcd);
  if (ccds.length > 0) await verifyFiles(ccds);
}

// `ccdcrc verify FILE... [--scd SCD]`: against the SCD opened last, when one is open.
async function verifyFiles(files) {
  const scd = state.scds[state.scds.length - 1];
  const lines = [];
  for (const file of files) {
    const answer = await busy(file.name, async () => ask({ op: 'verify', number: scd ? scd.number : -1,
      name: file.name, bytes: await file.arrayBuffer() }));
    if (answer.stopped) return;
    if (!answer.ok) {
      say(answer.error, 'error');
      continue;
    }
    answer.errors.forEach((text) => say(text, 'error'));
    answer.warnings.forEach((text) => say(text, 'warning'));
    lines.push(answer.text);
  }
  $('verify-title').textContent = scd ? `CCD files against ${scd.name}` : 'CCD files against their own content';
  $('verify-text').textContent = lines.join('');
  $('verify').hidden = false;
}

function fact(list, term, value) {
  const dt = document.createElement('dt');
  dt.textContent = term;
  const dd = document.createElement('dd');
  dd.textContent = value == null ? '—' : value;
  list.append(dt, dd);
}

function button(text, action, label) {
  const element = document.createElement('button');
  element.type = 'button';
  element.textContent = text;
  if (label) element.setAttribute('aria-label', label);
  element.addEventListener('click', action);
  return element;
}

// The inputs that resolve to nothing, folded when there are many.
function bindingsBlock(scd) {
  const block = document.createElement('details');
  block.className = 'bindings';
  block.open = scd.broken.length <= 3;
  const summary = document.createElement('summary');
  summary.textContent = `${scd.broken.length} broken ${scd.broken.length === 1 ? 'binding' : 'bindings'}`;
  const list = document.createElement('ul');
  list.append(...scd.broken.map((binding) => {
    const item = document.createElement('li');
    item.textContent = `${binding.ied} ${binding.int_addr} \u2190 ${binding.source}: ${binding.reason}`;
    return item;
  }));
  block.append(summary, list);
  return block;
}

// The name of a file without its folder and its extensions (.scd, .scd.gz, .zip).
function baseName(name) {
  return fileName(name.replace(/\.(gz|zip)$/i, '').replace(/\.[^.]*$/, '')) || 'scd';
}

function scdBlock(scd) {
  const block = document.createElement('div');
  block.className = 'scd';
  const title = document.createElement('h2');
  title.textContent = scd.member ? `${scd.name} (${scd.member})` : scd.name;
  const facts = document.createElement('dl');
  facts.className = 'facts';
  fact(facts, 'SCD CRC', scd.scd_crc);
  fact(facts, 'Header id', scd.header.id);
  fact(facts, 'Header version', scd.header.version);
  fact(facts, 'Header revision', scd.header.revision);
  fact(facts, 'Size', `${scd.size.toLocaleString('en')} bytes`);
  fact(facts, 'SHA-256', scd.sha256 || 'being computed');
  const table = document.createElement('table');
  const head = table.createTHead().insertRow();
  const checked = state.checks.get(scd.number);
  for (const text of ['IED', 'CRC', 'CCD', ...(checked ? ['Check'] : [])]) {
    const th = document.createElement('th');
    th.textContent = text;
    head.append(th);
  }
  const body = table.createTBody();
  for (const ied of scd.ieds) {
    const row = body.insertRow();
    row.dataset.filter = `${ied.shown} ${ied.crc || ''}`.toLowerCase();
    const name = row.insertCell();
    name.className = 'name';
    name.textContent = ied.shown;
    const crc = row.insertCell();
    crc.className = ied.crc ? 'crc' : 'crc none';
    crc.textContent = ied.crc || 'no circuits';
    const actions = row.insertCell();
    if (ied.crc) {
      actions.append(button('exported', () => showCcd(scd, ied, false), `CCD of ${ied.shown} as exported`), ' ',
        button('measured', () => showCcd(scd, ied, true), `CCD of ${ied.shown} as measured`));
    }
    if (checked) {
      const status = checked[ied.name] || '';
      const cell = row.insertCell();
      cell.className = `check ${status}`;
      cell.textContent = status;
    }
  }
  const check = button('Check against a list of approved CRCs', () => {
    state.checked = scd;
    $('list').click();
  });
  const tools = document.createElement('div');
  tools.className = 'bar';
  tools.append(check, button('Save CSV', () => saveCsv(scd), `Save the CSV of ${scd.name}`),
    button('Save all CCDs (zip)', () => saveZip(scd), `Save every CCD of ${scd.name} as a zip`));
  block.append(title, facts, tools);
  if (scd.broken.length > 0) block.append(bindingsBlock(scd));
  const scroll = document.createElement('div');
  scroll.className = 'table';
  scroll.append(table);
  block.append(scroll);
  return block;
}

function render() {
  $('results').hidden = state.scds.length === 0;
  $('compare').hidden = state.scds.length < 2;
  $('make-history').textContent = `History of the ${state.scds.length} open SCDs`;
  $('scds').replaceChildren(...state.scds.map(scdBlock));
  // The last two opened, unless two others were chosen.
  const chosen = [$('old-scd').value, $('new-scd').value];
  const open = (value) => state.scds.some((scd) => String(scd.number) === value);
  const keep = chosen[0] !== chosen[1] && chosen.every(open);
  [$('old-scd'), $('new-scd')].forEach((select, side) => {
    select.replaceChildren(...state.scds.map((scd, index) => {
      const option = document.createElement('option');
      option.value = String(scd.number);
      option.textContent = `${index + 1}. ${scd.name}`;
      return option;
    }));
    const pick = state.scds[Math.max(0, state.scds.length - 2 + side)];
    if (keep) select.value = chosen[side];
    else if (pick) select.value = String(pick.number);
  });
  applyFilter();
}

function applyFilter() {
  const words = $('filter').value.trim().toLowerCase();
  for (const row of document.querySelectorAll('#scds tbody tr')) {
    row.hidden = words !== '' && !row.dataset.filter.includes(words);
  }
}

function save(name, text, type) {
  state.saved = name;
  const url = URL.createObjectURL(new Blob([text], { type }));
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 1000);
}

async function table(format, number = -1) {
  const answer = await ask({ op: 'table', format, number });
  if (!answer.ok) say(answer.error, 'error');
  return answer.ok ? answer.text : null;
}

// A name safe for a file: what cannot be in one, control characters too, becomes "_".
function fileName(name) {
  // eslint-disable-next-line no-control-regex
  return name.replace(/[\\/:*?"<>|\u0000-\u001f]/g, '_').replace(/^\.+$/, '_');
}

async function showCcd(scd, ied, measured) {
  const answer = await busy(ied.shown, () => ask({ op: 'ccd', number: scd.number, ied: ied.name, measured }));
  if (!answer.ok) return say(answer.error, 'error');
  state.ccd = { name: `${fileName(ied.name)}${measured ? '.measured' : ''}.ccd`, text: answer.text };
  $('ccd-title').textContent = `${ied.shown}: CCD ${measured ? 'as measured' : 'as exported'}`;
  $('ccd-text').textContent = answer.text;
  $('ccd').hidden = false;
  $('ccd').scrollIntoView();
}

// `ccdcrc all --format csv SCD`: a list that `check` takes for this SCD.
async function saveCsv(scd) {
  const text = await table('csv', scd.number);
  if (text !== null) save(`${baseName(scd.name)}-crcs.csv`, text, 'text/csv');
}

// The files of `ccdcrc export --all SCD` in one zip archive.
async function saveZip(scd) {
  const answer = await busy(scd.name, () => ask({ op: 'zip', number: scd.number }));
  if (!answer.ok) return say(answer.error, 'error');
  answer.notes.forEach((text) => say(text, text.includes(': warning: ') ? 'warning' : 'error'));
  if (answer.written > 0) save(`${baseName(scd.name)}-ccds.zip`, answer.bytes, 'application/zip');
}

// `ccdcrc check LIST SCD`: each IED's status, and what fails.
async function checkList(scd, file) {
  const answer = await busy(file.name, async () => ask({ op: 'check', number: scd.number, name: file.name,
    bytes: await file.arrayBuffer() }));
  if (!answer.ok) return say(answer.error, 'error');
  $('check-title').textContent = `${scd.name} against ${file.name}`;
  $('check-verdict').textContent = answer.approved ? 'Every IED matches its approved CRC.' :
    'The check fails: this is not the approved configuration.';
  $('check-verdict').className = answer.approved ? 'approved' : 'refused';
  $('check-failures').replaceChildren(...[...answer.notes, ...answer.failures].map((text) => {
    const item = document.createElement('li');
    item.textContent = text;
    return item;
  }));
  $('check-text').textContent = answer.text;
  state.checks.set(scd.number, answer.statuses);
  render();
  $('check').hidden = false;
  $('check').scrollIntoView();
}

const byNumber = (value) => state.scds.find((scd) => String(scd.number) === value);

// A report shown in a frame: its print script is the saved file's alone (the frame runs none).
function showFrame(frame, html) {
  frame.srcdoc = html.replace(/<script>[^<]*<\/script>\n?/g, '');
  frame.hidden = false;
}

async function makeReport() {
  const [oldScd, newScd] = [byNumber($('old-scd').value), byNumber($('new-scd').value)];
  const [list] = $('approved').files;
  const answer = await busy('', async () => ask({ op: 'report', oldNumber: oldScd.number,
    newNumber: newScd.number, ...(list ? { name: list.name, bytes: await list.arrayBuffer() } : {}) }));
  if (!answer.ok) return say(answer.error, 'error');
  state.report = { name: `${baseName(oldScd.name)}-vs-${baseName(newScd.name)}-change-report.html`,
    html: answer.html };
  $('report-counts').textContent = Object.entries(answer.counts).map(([s, n]) => `${s} ${n}`).join(', ');
  showFrame($('report'), answer.html);
  $('save-report').disabled = false;
}

// `ccdcrc history --format html` of the open SCDs, in the order opened.
// The open SCDs as revisions, in the order opened, and the name of their history's file.
function revisions() {
  const { scds } = state;
  return { numbers: scds.map((scd) => scd.number),
    name: `${baseName(scds[0].name)}-to-${baseName(scds[scds.length - 1].name)}-history.html` };
}

async function makeHistory() {
  const { name, numbers } = revisions();
  const answer = await busy('', () => ask({ op: 'history', numbers }));
  if (!answer.ok) return say(answer.error, 'error');
  state.history = { name, html: answer.html };
  showFrame($('history'), answer.html);
  $('save-history').disabled = false;
}

function wire() {
  $('files').addEventListener('change', (event) => {
    openFiles([...event.target.files]);
    event.target.value = '';
  });
  const drop = $('drop');
  drop.addEventListener('dragover', (event) => {
    event.preventDefault();
    drop.classList.add('over');
  });
  drop.addEventListener('dragleave', () => drop.classList.remove('over'));
  drop.addEventListener('drop', (event) => {
    event.preventDefault();
    drop.classList.remove('over');
    openFiles([...event.dataTransfer.files]);
  });
  $('cancel').addEventListener('click', () => {
    restart('cancelled; the open files stay open', true);
  });
  $('filter').addEventListener('input', applyFilter);
  $('save-csv').addEventListener('click', async () => {
    if (state.scds.length === 1) return saveCsv(state.scds[0]);
    say('several SCDs are open: a list that check takes holds one SCD; save each with its own Save CSV button',
      'error');
  });
  $('save-json').addEventListener('click', async () => {
    const text = await table('json');
    if (text !== null) save('crcs.json', text, 'application/json');
  });
  $('copy-csv').addEventListener('click', async () => {
    const text = await table('csv');
    if (text !== null) await navigator.clipboard.writeText(text);
  });
  $('close-all').addEventListener('click', async () => {
    for (const scd of state.scds) await ask({ op: 'close', number: scd.number });
    state.scds = [];
    state.reopening = [];
    state.checks.clear();
    $('ccd').hidden = true;
    $('report').hidden = true;
    $('history').hidden = true;
    render();
  });
  $('make-report').addEventListener('click', makeReport);
  $('make-history').addEventListener('click', makeHistory);
  $('save-history').addEventListener('click', () => save(state.history.name, state.history.html, 'text/html'));
  $('list').addEventListener('change', (event) => {
    const [file] = event.target.files;
    event.target.value = '';
    if (file && state.checked) checkList(state.checked, file);
  });
  $('save-report').addEventListener('click', () => save(state.report.name, state.report.html, 'text/html'));
  $('save-ccd').addEventListener('click', () => save(state.ccd.name, state.ccd.text, 'application/xml'));
  $('close-ccd').addEventListener('click', () => { $('ccd').hidden = true; });
}

startWorker();
wire();
