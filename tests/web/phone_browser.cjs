// What the browser test and the browser benchmark share: the built site
// served on a free port of 127.0.0.1, and headless Chromium as a phone
// (390 × 780 points at 3 pixels a point, with touch) in a fresh profile of
// its own, so no storage from before.
'use strict';

const {chromium} = require('playwright-core');
const fs = require('fs');
const http = require('http');
const os = require('os');
const path = require('path');

const browserPath = process.env.ORLIX_CHROMIUM || '/usr/bin/chromium';

const types = {'.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm',
               '.webmanifest': 'application/manifest+json', '.svg': 'image/svg+xml', '.png': 'image/png'};

// The files of `site` and nothing else; `headers` go with every answer.
function serve(site, headers = {}) {
  const root = path.resolve(site);
  const server = http.createServer((req, res) => {
    const rel = decodeURIComponent(new URL(req.url, 'http://x').pathname).replace(/^\/+/, '') || 'index.html';
    const file = path.resolve(root, rel);
    if (!file.startsWith(root + path.sep) || !fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404).end();
      return;
    }
    res.writeHead(200, {'Content-Type': types[path.extname(file)] || 'application/octet-stream', ...headers});
    fs.createReadStream(file).pipe(res);
  });
  return new Promise(done => server.listen(0, '127.0.0.1', () => done(server)));
}

// The browser as a phone; close() ends it and removes its profile.
async function launchPhone() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'orlix-chromium-'));
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: browserPath,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
           '--disable-component-update', '--disable-sync'],
    viewport: {width: 390, height: 780},
    deviceScaleFactor: 3,
    hasTouch: true,
    isMobile: true,
  });
  return {
    context,
    close: async () => {
      await context.close();
      fs.rmSync(profile, {recursive: true, force: true});
    },
  };
}

module.exports = {serve, launchPhone};
