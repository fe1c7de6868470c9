// The page: opens files, asks the worker (the library in WebAssembly) and
// shows its answers. Every text from a file is shown as text, never as markup.
'use strict';

const $ = (id) => document.getElementById(id);

const state = {
  worker: null,
  requests: new Map(),  // id -> resolve
  nextId: 0,
  scds: [],             // answers of `open`, in the order opened
  ccd: null,            // {name, text}
  report: null,         // the change report's HTML
};

// The worker's script is the page's own (an inline element): a page opened
// from a file loads nothing from anywhere.
function startWorker() {
  const source = $('worker-source').textContent;
  const url = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
  state.worker = new Worker(url);
  URL.revokeObjectURL(url);
  state.worker.onmessage = (event) => {
    const message = event.data;
    if (message.progress) return showProgress(message.progress);
    const resolve = state.requests.get(message.id);
    state.requests.delete(message.id);
    if (resolve) resolve(message.answer);
  };
  state.worker.onerror = (event) => {
    event.preventDefault();
    restart(`the page's worker stopped (${event.message || 'out of memory?'}); the open files were closed`);
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

// Ends whatever the worker does: every request is answered with `why`.
function restart(why) {
  state.worker.terminate();
  for (const resolve of state.requests.values()) resolve({ ok: false, error: why, stopped: true });
  state.requests.clear();
  state.scds = [];
  startWorker();
  render();
}

const steps = { reading: 'Reading', parsing: 'Parsing', computing: 'Computing CRCs', comparing: 'Comparing' };

function showProgress({ step, done, total }) {
  $('step').textContent = `${steps[step] || step} ${state.busyName || ''}` +
    (step === 'computing' || step === 'comparing' ? ` (${done} of ${total} IEDs)` : '');
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
  try {
    return await work();
  } finally {
    if (state.requests.size === 0) $('busy').hidden = true;
  }
}

function say(text, kind) {
  const item = document.createElement('li');
  item.className = kind;
  item.textContent = text;
  $('messages').append(item);
}

async function openFiles(files) {
  $('messages').replaceChildren();
  for (const file of files) {
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
    state.scds.push(answer);
    render();
  }
}

function fact(list, term, value) {
  const dt = document.createElement('dt');
  dt.textContent = term;
  const dd = document.createElement('dd');
  dd.textContent = value == null ? '—' : value;
  list.append(dt, dd);
}

function button(text, action) {
  const element = document.createElement('button');
  element.type = 'button';
  element.textContent = text;
  element.addEventListener('click', action);
  return element;
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
  fact(facts, 'SHA-256', scd.sha256);
  const table = document.createElement('table');
  const head = table.createTHead().insertRow();
  for (const text of ['IED', 'CRC', 'CCD']) {
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
      actions.append(button('exported', () => showCcd(scd, ied, false)), ' ',
        button('measured', () => showCcd(scd, ied, true)));
    }
  }
  const check = button('Check against a list of approved CRCs', () => {
    state.checked = scd;
    $('list').click();
  });
  block.append(title, facts, check, table);
  return block;
}

function render() {
  $('results').hidden = state.scds.length === 0;
  $('compare').hidden = state.scds.length < 2;
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
  const url = URL.createObjectURL(new Blob([text], { type }));
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 1000);
}

async function table(format) {
  const answer = await ask({ op: 'table', format });
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
  $('check').hidden = false;
  $('check').scrollIntoView();
}

async function makeReport() {
  const oldNumber = Number($('old-scd').value);
  const newNumber = Number($('new-scd').value);
  const answer = await busy('', () => ask({ op: 'report', oldNumber, newNumber }));
  if (!answer.ok) return say(answer.error, 'error');
  state.report = answer.html;
  $('report-counts').textContent = Object.entries(answer.counts).map(([s, n]) => `${s} ${n}`).join(', ');
  $('report').srcdoc = answer.html;
  $('report').hidden = false;
  $('save-report').disabled = false;
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
    restart('cancelled; the open files were closed');
    $('busy').hidden = true;
  });
  $('filter').addEventListener('input', applyFilter);
  $('save-csv').addEventListener('click', async () => {
    const text = await table('csv');
    if (text !== null) save('crcs.csv', text, 'text/csv');
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
    $('ccd').hidden = true;
    $('report').hidden = true;
    render();
  });
  $('make-report').addEventListener('click', makeReport);
  $('list').addEventListener('change', (event) => {
    const [file] = event.target.files;
    event.target.value = '';
    if (file && state.checked) checkList(state.checked, file);
  });
  $('save-report').addEventListener('click', () => save('change-report.html', state.report, 'text/html'));
  $('save-ccd').addEventListener('click', () => save(state.ccd.name, state.ccd.text, 'application/xml'));
  $('close-ccd').addEventListener('click', () => { $('ccd').hidden = true; });
}

startWorker();
wire();
