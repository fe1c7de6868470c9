// The worker: the library (createCcdcrc, above it in the same script) runs
// here, so that the page stays usable while a large file is read. Requests
// come one at a time: {id, op, ...}; answers {id, answer}, progress {progress}.
'use strict';

let lastProgress = 0;
const ready = createCcdcrc({
  onProgress(step, done, total) {
    // A few updates a second are enough for a progress bar.
    const now = Date.now();
    if (done !== total && done !== 0 && now - lastProgress < 100) return;
    lastProgress = now;
    postMessage({ progress: { step, done, total } });
  },
}).then((module) => ({ module, session: module.ccall('page_session', 'number', [], []) }));

// Calls a function of web/page.cpp that answers a JSON text.
function call(module, name, types, args) {
  const text = module.ccall(name, 'number', types, args) >>> 0;  // addresses above 2 GB
  if (!text) return { ok: false, error: 'out of memory' };
  try {
    return JSON.parse(module.UTF8ToString(text));
  } finally {
    module.ccall('page_free', null, ['number'], [text]);
  }
}

async function sha256(bytes) {
  const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', bytes));
  return Array.from(digest, (b) => b.toString(16).padStart(2, '0')).join('');
}

// Calls `name` with the bytes copied into the module's memory: (address, size) after `before`.
function withBytes(module, name, bytes, types, before, after = []) {
  const address = module._malloc(Math.max(bytes.byteLength, 1)) >>> 0;
  if (!address) return { ok: false, error: 'out of memory: the browser gave the page no more' };
  try {
    module.HEAPU8.set(new Uint8Array(bytes), address);
    return call(module, name, types, [...before, address, bytes.byteLength, ...after]);
  } finally {
    module._free(address);
  }
}

async function open({ name, bytes }, { module, session }) {
  postMessage({ progress: { step: 'reading', done: 0, total: 1 } });
  const digest = await sha256(bytes);
  return withBytes(module, 'page_open', bytes, ['number', 'string', 'number', 'number', 'string'], [session, name],
    [digest]);
}

const operations = {
  open,
  close: ({ number }, { module, session }) => {
    module.ccall('page_close', null, ['number', 'number'], [session, number]);
    return { ok: true };
  },
  table: ({ format }, { module, session }) =>
    call(module, 'page_crc_table', ['number', 'number'], [session, format === 'json' ? 1 : 0]),
  ccd: ({ number, ied, measured }, { module, session }) =>
    call(module, 'page_ccd', ['number', 'number', 'string', 'number'], [session, number, ied, measured ? 1 : 0]),
  report: ({ oldNumber, newNumber }, { module, session }) =>
    call(module, 'page_change_report', ['number', 'number', 'number'], [session, oldNumber, newNumber]),
  check: ({ number, name, bytes }, { module, session }) =>
    withBytes(module, 'page_check', bytes, ['number', 'number', 'string', 'number', 'number'],
      [session, number, name]),
  // The WebAssembly memory, which only grows: the most the page took.
  memory: (request, { module }) => ({ ok: true, bytes: module.HEAPU8.length }),
};

let queue = Promise.resolve();
onmessage = (event) => {
  const request = event.data;
  queue = queue.then(async () => {
    let answer;
    try {
      answer = await operations[request.op](request, await ready);
    } catch (error) {
      answer = { ok: false, error: String(error && error.message ? error.message : error) };
    }
    postMessage({ id: request.id, answer });
  });
};
