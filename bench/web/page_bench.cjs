// The browser build's frame times and size. Headless Chromium at a phone's
// size with touch, as tests/web/session.cjs drives the site: the six curves
// of bench/six_formulas.h are typed in through the page, then the page
// times itself with performance.now:
// - a pan frame: one step of a one-finger drag (the module's handling of
//   the finger) and the frame drawn on the canvas, to and fro over 40
//   points, one point a frame;
// - a redraw: the six curves sampled afresh at the same view, as after a
//   zoom, the current curve's marks searched, and the frame drawn.
// Each frame's time ends once the canvas has been rasterised (a read of
// one of its pixels waits for that); the module's part alone ("script") is
// given too. The curves beyond the view, which the page completes after a
// frame, are left out, as the native figures leave them out.
// Also the size of what the page loads for the app: orlix.wasm, orlix.js
// and shell.js, raw and compressed with gzip -9.
//
// Prints JSON. ORLIX_SITE=build-web/site NODE_PATH=<dir with playwright-core> node bench/web/page_bench.cjs
'use strict';

const fs = require('fs');
const path = require('path');
const zlib = require('zlib');
const {serve, launchPhone} = require('../../tests/web/phone_browser.cjs');

const site = process.env.ORLIX_SITE || path.resolve(__dirname, '../../build-web/site');
const panFrames = Number(process.env.ORLIX_PAN_FRAMES || 400);
const redraws = Number(process.env.ORLIX_REDRAWS || 60);

// The formulas as the C++ benchmarks have them.
function sixFormulas() {
  const header = fs.readFileSync(path.resolve(__dirname, '../six_formulas.h'), 'utf8');
  const list = /kSix\[\]\s*=\s*\{([^}]*)\}/.exec(header);
  const six = list ? [...list[1].matchAll(/"([^"]*)"/g)].map(m => m[1]) : [];
  if (six.length !== 6) throw new Error(`six formulas expected in bench/six_formulas.h, found ${six.length}`);
  return six;
}

function expect(ok, what) {
  if (!ok) throw new Error(what);
}

// Median and 90th percentile, in milliseconds.
function summary(times) {
  const s = [...times].sort((a, b) => a - b);
  const at = q => s[Math.min(s.length - 1, Math.floor(q * s.length))];
  return {median: at(0.5), p90: at(0.9), frames: s.length};
}

function siteSize() {
  const files = {};
  let raw = 0, gzip = 0;
  for (const name of ['orlix.wasm', 'orlix.js', 'shell.js']) {
    const data = fs.readFileSync(path.join(site, name));
    const packed = zlib.gzipSync(data, {level: 9}).length;
    files[name] = {raw: data.length, gzip: packed};
    raw += data.length;
    gzip += packed;
  }
  return {files, raw, gzip};
}

async function addCurves(page, six) {
  for (const [k, formula] of six.entries()) {
    if (k > 0) {
      await page.locator('#addButton').tap();
      await page.locator('#addMenu button', {hasText: 'New y(x)'}).tap();
      // The page shows the new curve's field before it is typed into.
      await page.evaluate(() => window.orlixTest.drawNow());
    }
    await page.fill('#formula', formula);
    await page.locator('#formula').press('Enter');
    await page.evaluate(() => window.orlixTest.drawNow());
  }
  const s = await page.evaluate(() => window.orlixTest.state());
  const formulas = s.functions.map(f => f.formula);
  expect(formulas.join('|') === six.join('|'), `the six curves are in: ${JSON.stringify(formulas)}`);
  // The first one current, as the native benchmark has it.
  await page.locator('#strip button').first().tap();
  await page.evaluate(() => window.orlixTest.drawNow());
  expect((await page.evaluate(() => window.orlixTest.state())).current === six[0], 'the first curve is current');
}

// Runs in the page: `frames` frames of `step` after `warm` untimed ones.
// Between frames the page's timers run (the rest of the layer, as after a
// real frame).
async function timeFrames({kind, warm, frames}) {
  const t = window.orlixTest;
  const ctx = document.getElementById('plotCanvas').getContext('2d');
  const view = t.state().view;
  const [cx, cy] = [view.size[0] / 2, view.size[1] / 2];
  const before = view.center;
  let step = 0;
  const steps = {
    pan: () => {
      // To and fro over 40 points, one point a frame.
      const d = step % 80 < 40 ? step % 40 : 40 - step % 40;
      ++step;
      t.pointer(1, cx + 1 + d, cy + 1 + d / 2, 1, performance.now());
    },
    redraw: () => t.resampleAll(),
  };
  if (kind === 'pan') t.pointer(1, cx, cy, 0, performance.now());
  const script = [], frame = [];
  let moved = false;
  for (let k = 0; k < warm + frames; ++k) {
    const start = performance.now();
    steps[kind]();
    t.drawNow();
    const drawn = performance.now();
    ctx.getImageData(0, 0, 1, 1);
    const end = performance.now();
    if (k >= warm) {
      script.push(drawn - start);
      frame.push(end - start);
    }
    if (kind === 'pan' && k === 0) moved = t.state().view.center[0] !== before[0];
    await new Promise(r => setTimeout(r, 0));
  }
  if (kind === 'pan') t.pointer(1, cx, cy, 2, performance.now());
  t.drawNow();
  return {script, frame, moved, isolated: window.crossOriginIsolated};
}

(async () => {
  if (!fs.existsSync(path.join(site, 'orlix.wasm'))) throw new Error(`no site in ${site}: make web first`);
  const six = sixFormulas();
  // Cross-origin isolated, so that performance.now is finer than 0.1 ms.
  const server = await serve(site, {'Cross-Origin-Opener-Policy': 'same-origin',
                                    'Cross-Origin-Embedder-Policy': 'require-corp'});
  const browser = await launchPhone();
  const context = browser.context;
  try {
    const page = context.pages()[0] || await context.newPage();
    const problems = [];
    page.on('pageerror', e => problems.push(String(e)));
    await page.goto(`http://127.0.0.1:${server.address().port}/`);
    await page.evaluate(() => window.orlixTest.ready);
    await addCurves(page, six);
    const pan = await page.evaluate(timeFrames, {kind: 'pan', warm: 20, frames: panFrames});
    expect(pan.moved, 'the plane follows the timed finger');
    const marks = async () => JSON.stringify((await page.evaluate(() => window.orlixTest.state())).marks);
    const before = await marks();
    const redraw = await page.evaluate(timeFrames, {kind: 'redraw', warm: 5, frames: redraws});
    expect(before !== '[]' && (await marks()) === before, `each redraw finds the current curve's marks again: ${before}`);
    expect(!problems.length, `the page threw: ${problems.join('; ')}`);
    const view = (await page.evaluate(() => window.orlixTest.state())).view;
    const result = {
      browser: await page.evaluate(() => navigator.userAgent),
      view: {size: view.size, ratio: view.ratio},
      timerIsolated: pan.isolated,
      panFrame: {...summary(pan.frame), script: summary(pan.script)},
      redrawSix: {...summary(redraw.frame), script: summary(redraw.script)},
      size: siteSize(),
    };
    console.log(JSON.stringify(result, null, 1));
  } finally {
    await browser.close();
    server.close();
  }
})().catch(e => {
  console.error(e);
  process.exit(2);
});
