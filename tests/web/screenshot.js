// Takes the README's pictures: docs/page.png, the page with the example open,
// or the top of another page (the history's timeline) at a given width.
//   node tests/web/screenshot.js [OUTPUT]   (after ./dev web)
//   node tests/web/screenshot.js docs/history-timeline.png history.html 1280
'use strict';
const path = require('node:path');
const { pathToFileURL } = require('node:url');
const puppeteer = require('puppeteer-core');

const root = path.resolve(__dirname, '../..');
const output = process.argv[2] || path.join(root, 'docs/page.png');
const other = process.argv[3];

(async () => {
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: process.getuid() === 0 ? ['--no-sandbox'] : [],
  });
  try {
    const page = await browser.newPage();
    if (other) {
      await page.setViewport({ width: Number(process.argv[4] || 1280), height: 900 });
      await page.goto(pathToFileURL(path.resolve(other)).href);
      await page.screenshot({ path: output });
      return;
    }
    await page.setViewport({ width: 1000, height: 760 });
    await page.goto(pathToFileURL(path.join(root, 'build/web/ccdcrc.html')).href);
    const input = await page.$('#files');
    await input.uploadFile(path.join(root, 'examples/substation.scd'));
    await page.waitForSelector('.scd');
    await page.waitForFunction(() => document.getElementById('busy').hidden);
    await page.screenshot({ path: output });
  } finally {
    await browser.close();
  }
})();
