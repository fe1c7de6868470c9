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

// SHA-256 by the browser, which copies the bytes at once and hashes them on
// a thread of its own.
async function sha256(bytes) {
  const digest = new Uint8Array(await crypto.subtle.digest('SHA-256', bytes));
  return Array.from(digest, (b) => b.toString(16).padStart(2, '0')).join('');
}

// The SHA-256 of a file, read again by a worker of its own: the copy the
// browser makes of the bytes it hashes takes as long as reading a large file
// into fresh memory, which would otherwise hold up its parse. Where a
// worker cannot start one (null), the bytes read are hashed before the parse.
const hasher = (() => {
  if (typeof Worker !== 'function') return null;
  const source = `${sha256}
onmessage = async ({ data: { id, file } }) => {
  try {
    postMessage({ id, hex: await sha256(await file.arrayBuffer()) });
  } catch (error) {
    postMessage({ id, error: String(error && error.message ? error.message : error) });
  }
};`;
  const url = URL.createObjectURL(new Blob([source], { type: 'text/javascript' }));
  const worker = new Worker(url);
  URL.revokeObjectURL(url);
  const waiting = new Map();
  let nextId = 0;
  worker.onmessage = ({ data: { id, hex, error } }) => {
    const { resolve, reject } = waiting.get(id);
    waiting.delete(id);
    if (hex) resolve(hex);
    else reject(new Error(error));
  };
  return (file) => new Promise((resolve, reject) => {
    const id = nextId++;
    waiting.set(id, { resolve, reject });
    worker.postMessage({ id, file });
  });
})();

// The digests of SCDs opened, until the page takes them: number -> promise
// of {ok, sha256}, or of {ok: false, error}.
const digests = new Map();

// Calls `name` with the bytes copied into the module's memory: (address, size) after `before`.
function withBytes(module, name, bytes, types, before, after = []) {
  const address = module._malloc(Math.max(bytes.byteLength, 1)) >>> 0;
  if (!address) return { ok: false, error: outOfMemory };
  try {
    module.HEAPU8.set(new Uint8Array(bytes), address);
    return call(module, name, types, [...before, address, bytes.byteLength, ...after]);
  } finally {
    module._free(address);
  }
}

const outOfMemory = 'out of memory: the browser gave the page no more';
// The reading of a file is shown after each this many bytes.
const progressStep = 8 << 20;

// The reader of the file being read. Chromium collects a byte stream that
// only its pending read holds, and that read then never ends.
const reading = { reader: null };

// A reader of the file's bytes: into one buffer used again and again where
// the browser can (a byte stream), else into a new buffer for every part,
// whose fresh memory costs as much again as the copy.
function partReader(file) {
  const stream = file.stream();
  let reader;
  try {
    reader = stream.getReader({ mode: 'byob' });
  } catch {
    reader = stream.getReader();
    return () => reader.read();
  }
  reading.reader = reader;
  let buffer = new ArrayBuffer(1 << 20);
  return () => reader.read(new Uint8Array(buffer)).then((part) => {
    if (part.value) buffer = part.value.buffer;
    return part;
  });
}

// Reads the file into the room page_text gives: {address} or {error}. The
// browser hands its bytes over in parts, which are copied as they come.
async function readInto(module, session, file) {
  const address = module.ccall('page_text', 'number', ['number', 'number'], [session, file.size]) >>> 0;
  if (!address) return { error: outOfMemory };
  let done = 0;
  try {
    const read = partReader(file);
    for (let shown = 0; ;) {
      const { value, done: finished } = await read();
      if (finished) break;
      if (done + value.byteLength > file.size) break;
      // The memory may have grown since page_text: HEAPU8 is its current view.
      module.HEAPU8.set(value, address + done);
      done += value.byteLength;
      if (done - shown >= progressStep || done === file.size) {
        postMessage({ progress: { step: 'reading', done, total: file.size } });
        shown = done;
      }
    }
    if (done !== file.size) throw new Error('the file changed while it was read');
  } catch (error) {
    module.ccall('page_text_release', null, ['number'], [session]);
    return { error: `${file.name}: cannot be read: ${error.message}` };
  } finally {
    reading.reader = null;
  }
  return { address };
}

// Opens a file; its SHA-256 comes after, from `digest`, unless it is in the
// answer already. An SCD whose bytes cannot be hashed is closed.
async function open({ name, file }, { module, session }) {
  postMessage({ progress: { step: 'reading', done: 0, total: file.size } });
  const hashed = hasher ? hasher(file) : null;
  hashed?.catch(() => {});
  const { address, error } = await readInto(module, session, file);
  if (error) return { ok: false, error };
  // Without a worker to hash the file, the bytes read are hashed while they are parsed (in place).
  const digest = hashed || sha256(module.HEAPU8.subarray(address, address + file.size));
  const answer = call(module, 'page_open', ['number', 'string'], [session, name]);
  if (!answer.ok) return answer;
  const settled = digest.then((hex) => {
    module.ccall('page_digest', null, ['number', 'number', 'string'], [session, answer.number, hex]);
    return { ok: true, sha256: hex };
  }, (failure) => {
    module.ccall('page_close', null, ['number', 'number'], [session, answer.number]);
    return { ok: false, error: `${name}: no SHA-256 of it: ${failure.message}` };
  });
  if (!hashed) {
    const { sha256: hex, error: failure } = await settled;
    return failure ? { ok: false, error: failure } : { ...answer, sha256: hex };
  }
  digests.set(answer.number, settled);
  return answer;
}

const operations = {
  open,
  // The SHA-256 of an SCD opened: {ok, sha256}, or {ok: false, error} when it was closed for want of it.
  digest: async ({ number }) => {
    const settled = digests.get(number);
    if (!settled) return { ok: false, error: 'no such SCD' };
    postMessage({ progress: { step: 'hashing', done: 0, total: 1 } });
    const answer = await settled;
    digests.delete(number);
    return answer;
  },
  close: ({ number }, { module, session }) => {
    digests.delete(number);
    module.ccall('page_close', null, ['number', 'number'], [session, number]);
    return { ok: true };
  },
  table: ({ format, number = -1 }, { module, session }) =>
    call(module, 'page_crc_table', ['number', 'number', 'number'], [session, format === 'json' ? 1 : 0, number]),
  ccd: ({ number, ied, measured }, { module, session }) =>
    call(module, 'page_ccd', ['number', 'number', 'string', 'number'], [session, number, ied, measured ? 1 : 0]),
  report: async ({ oldNumber, newNumber, name = '', bytes = new ArrayBuffer(0) }, { module, session }) =>
    withBytes(module, 'page_change_report', bytes,
      ['number', 'number', 'number', 'string', 'number', 'number', 'string'],
      [session, oldNumber, newNumber, name], [name ? await sha256(bytes) : '']),
  check: ({ number, name, bytes }, { module, session }) =>
    withBytes(module, 'page_check', bytes, ['number', 'number', 'string', 'number', 'number'],
      [session, number, name]),
  verify: ({ number, name, bytes }, { module, session }) =>
    withBytes(module, 'page_verify', bytes, ['number', 'number', 'string', 'number', 'number'],
      [session, number, name]),
  zip: ({ number }, { module, session }) => {
    const answer = call(module, 'page_zip', ['number', 'number'], [session, number]);
    if (!answer.ok || !answer.address) return answer;
    const address = answer.address >>> 0;
    answer.bytes = module.HEAPU8.slice(address, address + answer.size).buffer;
    module.ccall('page_free', null, ['number'], [address]);
    delete answer.address;
    return answer;
  },
  history: ({ numbers }, { module, session }) =>
    withBytes(module, 'page_history', new Int32Array(numbers).buffer, ['number', 'number', 'number'], [session]),
  // The WebAssembly memory, which only grows: the most the page took.
  memory: (request, { module }) => ({ ok: true, bytes: module.HEAPU8.length }),
};

async function answerOf(request) {
  try {
    return await operations[request.op](request, await ready);
  } catch (error) {
    return { ok: false, error: String(error && error.message ? error.message : error) };
  }
}

// Requests are answered one at a time, in order; every one but an `open`
// after the digests of the SCDs opened before it, which some answers show.
// A `digest` waits beside them.
let queue = Promise.resolve();
onmessage = (event) => {
  const request = event.data;
  if (request.op === 'digest') {
    answerOf(request).then((answer) => postMessage({ id: request.id, answer }));
    return;
  }
  queue = queue.then(async () => {
    if (request.op !== 'open') await Promise.all(digests.values());
    postMessage({ id: request.id, answer: await answerOf(request) });
  });
};
