// The worker: the library (createCcdcrc, above it in the same script) runs
// here, so that the page stays usable while a large file is read. Requests
// come one at a time: {id, op, ...}; answers {id, answer}, progress {progress}.
'use strict';

// This script runs twice: as the page's worker, and as the second worker that
// one starts (named sha256) to hash a file beside its parse.
const hashing = self.name === 'sha256';

let lastProgress = 0;
const ready = createCcdcrc(hashing ? {} : {
  onProgress(step, done, total) {
    // A few updates a second are enough for a progress bar.
    const now = Date.now();
    if (done !== total && done !== 0 && now - lastProgress < 100) return;
    lastProgress = now;
    postMessage({ progress: { step, done, total } });
  },
}).then((module) => ({ module, session: hashing ? 0 : module.ccall('page_session', 'number', [], []) }));

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

const outOfMemory = 'out of memory: the browser gave the page no more';
// The reading of a file is shown after each this many bytes.
const progressStep = 8 << 20;
// The size of the parts a file is read in.
const partSize = 1 << 20;

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
  let buffer = new ArrayBuffer(partSize);
  return () => reader.read(new Uint8Array(buffer)).then((part) => {
    if (part.value) buffer = part.value.buffer;
    return part;
  });
}

// The library's SHA-256 of bytes that `feed` hands to `update(bytes)`, as
// lower-case hexadecimal digits.
async function sha256(module, feed) {
  const digest = module.ccall('page_sha256_begin', 'number', [], []) >>> 0;
  if (!digest) throw new Error(outOfMemory);
  let hex = 0;
  try {
    await feed((address, size) =>
      module.ccall('page_sha256_update', null, ['number', 'number', 'number'], [digest, address, size]));
  } finally {
    hex = module.ccall('page_sha256_end', 'number', ['number'], [digest]) >>> 0;
  }
  if (!hex) throw new Error(outOfMemory);
  try {
    return module.UTF8ToString(hex);
  } finally {
    module.ccall('page_free', null, ['number'], [hex]);
  }
}

// The SHA-256 of a file read in parts through one part of the module's
// memory: the hash costs no memory of the file's size.
async function sha256OfFile(module, file) {
  const part = module._malloc(partSize) >>> 0;
  if (!part) throw new Error(outOfMemory);
  try {
    return await sha256(module, async (update) => {
      const read = partReader(file);
      for (;;) {
        const { value, done } = await read();
        if (done) break;
        for (let at = 0; at < value.byteLength; at += partSize) {
          const piece = value.subarray(at, at + partSize);
          module.HEAPU8.set(piece, part);
          update(part, piece.byteLength);
        }
      }
    });
  } finally {
    reading.reader = null;
    module._free(part);
  }
}

// The SHA-256 of a file, read again by the second worker, in parts, beside
// this one's read and parse: the browser's copy of a large file whole cost
// as long as its parse. The page starts it beside this one and hands each a
// port of one channel; until then (or where the page could not start it)
// the bytes read are hashed before the parse.
const hasher = {
  port: null,
  waiting: new Map(),  // id -> {resolve, reject}
  nextId: 0,
  connect(port) {
    this.port = port;
    port.onmessage = ({ data: { id, hex, error } }) => {
      const { resolve, reject } = this.waiting.get(id);
      this.waiting.delete(id);
      if (hex) resolve(hex);
      else reject(new Error(error));
    };
  },
  // The page tells when the second worker stopped: what it was hashing fails.
  stopped(why) {
    this.port = null;
    for (const { reject } of this.waiting.values()) reject(new Error(why));
    this.waiting.clear();
  },
  // A promise of the file's SHA-256, or null without the second worker.
  hash(file) {
    if (!this.port) return null;
    return new Promise((resolve, reject) => {
      const id = this.nextId++;
      this.waiting.set(id, { resolve, reject });
      this.port.postMessage({ id, file });
    });
  },
};

// The digests of SCDs opened, until the page takes them: number -> promise
// of {ok, sha256}, or of {ok: false, error}.
const digests = new Map();

// Calls `name` with the bytes copied into the module's memory: (address, size) after `before`.
function withBytes(module, name, bytes, types, before) {
  const address = module._malloc(Math.max(bytes.byteLength, 1)) >>> 0;
  if (!address) return { ok: false, error: outOfMemory };
  try {
    module.HEAPU8.set(new Uint8Array(bytes), address);
    return call(module, name, types, [...before, address, bytes.byteLength]);
  } finally {
    module._free(address);
  }
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
  const hashed = hasher.hash(file);
  hashed?.catch(() => {});
  const { address, error } = await readInto(module, session, file);
  if (error) return { ok: false, error };
  // Without a worker to hash the file, the bytes read are hashed before they are parsed (in place).
  const digest = hashed || sha256(module, (update) => update(address, file.size));
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
  report: ({ oldNumber, newNumber, name = '', bytes = new ArrayBuffer(0) }, { module, session }) =>
    withBytes(module, 'page_change_report', bytes,
      ['number', 'number', 'number', 'string', 'number', 'number'], [session, oldNumber, newNumber, name]),
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

// The second worker hashes the files that come through its port, one at a time.
function hashFiles() {
  let queue = Promise.resolve();
  onmessage = ({ data: { port } }) => {
    port.onmessage = ({ data: { id, file } }) => {
      queue = queue.then(async () => {
        try {
          port.postMessage({ id, hex: await sha256OfFile((await ready).module, file) });
        } catch (error) {
          port.postMessage({ id, error: String(error && error.message ? error.message : error) });
        }
      });
    };
  };
}

// Requests are answered one at a time, in order; every one but an `open`
// after the digests of the SCDs opened before it, which some answers show.
// A `digest` waits beside them.
function answerRequests() {
  let queue = Promise.resolve();
  onmessage = (event) => {
    const request = event.data;
    if (request.hasher) return hasher.connect(request.hasher);
    if (request.hasherStopped) return hasher.stopped(request.hasherStopped);
    if (request.op === 'digest') {
      answerOf(request).then((answer) => postMessage({ id: request.id, answer }));
      return;
    }
    queue = queue.then(async () => {
      if (request.op !== 'open') await Promise.all(digests.values());
      postMessage({ id: request.id, answer: await answerOf(request) });
    });
  };
}

if (hashing) hashFiles();
else answerRequests();
