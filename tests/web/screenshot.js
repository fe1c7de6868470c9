// Takes the README's picture of the page: docs/page.png, the example open.
//   node tests/web/screenshot.js [OUTPUT]   (after ./dev web)
'use strict';
const path = require('node:path');
const { pathToFileURL } = require('node:url');
const puppeteer = require('puppeteer-core');

const root = path.resolve(__dirname, '../..');
const output = process.argv[2] || path.join(root, 'docs/page.png');

(async () => {
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: process.getuid() === 0 ? ['--no-sandbox'] : [],
  });
  try {
    const page = await browser.newPage();
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
