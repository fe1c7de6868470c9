// Assembles the page: page.html with page.css, page.js and the worker
// (Emscripten's module, the WebAssembly embedded, then worker.js) inline, and
// a Content-Security-Policy that lets the page run its own script alone and
// connect to nothing; at its foot the licences of what it holds.
//   node assemble.js SOURCE_DIR MODULE_JS VERSION OUTPUT [NAME=LICENCE_FILE...]
'use strict';
const fs = require('fs');
const path = require('path');
const crypto = require('crypto');

const [sourceDir, moduleJs, version, output, ...licenses] = process.argv.slice(2);
const read = (name) => fs.readFileSync(path.join(sourceDir, name), 'utf8');

// Inline content must not end its element early.
function inline(text, what) {
  if (/<\/(script|style)/i.test(text)) throw new Error(`${what} holds a closing tag; it cannot be inlined`);
  return text;
}

const escaped = (text) => text.replace(/&/g, '&amp;').replace(/</g, '&lt;').replace(/>/g, '&gt;');
const licenseSections = licenses.map((entry) => {
  const [, name, file] = /^([^=]+)=(.+)$/.exec(entry);
  return `<h2>${escaped(name)}</h2>\n<pre>${escaped(fs.readFileSync(file, 'utf8'))}</pre>`;
}).join('\n');

const script = inline(read('page.js'), 'page.js');
const worker = inline(fs.readFileSync(moduleJs, 'utf8') + '\n' + read('worker.js'), 'the worker');
const hash = "'sha256-" + crypto.createHash('sha256').update(script).digest('base64') + "'";
// style-src takes inline styles: the change report shown in the page brings its own.
const policy = ["default-src 'none'", `script-src ${hash} 'wasm-unsafe-eval'`, 'worker-src blob:',
  "style-src 'unsafe-inline'", 'img-src data: blob:', "connect-src 'none'", "form-action 'none'",
  "base-uri 'none'", 'frame-src blob:'].join('; ');

const parts = {
  '{{POLICY}}': policy,
  '{{VERSION}}': version,
  '{{STYLE}}': inline(read('page.css'), 'page.css'),
  '{{WORKER}}': worker,
  '{{SCRIPT}}': script,
  '{{LICENSES}}': licenseSections,
};
let page = read('page.html');
for (const [mark, text] of Object.entries(parts)) {
  if (!page.includes(mark)) throw new Error(`page.html has no ${mark}`);
  page = page.split(mark).join(text);
}
fs.writeFileSync(output, page);
