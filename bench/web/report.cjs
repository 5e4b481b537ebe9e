// The table `make bench-web` prints, from the files its runs left in one
// folder: native.json and wasm.json (engine_speed, with the values in
// native.bin and wasm.bin), page.json (page_bench.cjs) and, when the
// native plot benchmark was there to run, plot.json. It reports figures
// against the goals; a slow figure is never an error.
//
//   node bench/web/report.cjs <folder>
'use strict';

const fs = require('fs');
const path = require('path');

const dir = process.argv[2];
const read = name => JSON.parse(fs.readFileSync(path.join(dir, name), 'utf8'));
const has = name => fs.existsSync(path.join(dir, name));

const kRatioGoal = 2, kPanGoal = 8, kRedrawGoal = 16, kSizeGoal = 1.5e6;
const pad = (s, n) => String(s).padEnd(n);
const num = (v, digits = 1) => (Number.isFinite(v) ? v.toFixed(digits) : '-').padStart(8);
const over = (v, goal) => (v > goal ? '  over' : '');

// How far apart two values are in units in the last place (NaN with NaN
// is equal; a NaN against a number is infinitely far).
function ulps(a, b) {
  if (Number.isNaN(a) || Number.isNaN(b)) return Number.isNaN(a) && Number.isNaN(b) ? 0n : -1n;
  const bits = v => new BigInt64Array(new Float64Array([v]).buffer)[0];
  const order = v => (bits(v) < 0n ? -(bits(v) & 0x7fffffffffffffffn) : bits(v));
  const d = order(a) - order(b);
  return d < 0n ? -d : d;
}

function compareValues(points, count) {
  if (!has('native.bin') || !has('wasm.bin')) return null;
  const load = name => {
    const b = fs.readFileSync(path.join(dir, name));
    return new Float64Array(b.buffer, b.byteOffset, b.length / 8);
  };
  const n = load('native.bin'), w = load('wasm.bin');
  if (n.length !== w.length || n.length !== points * count) return null;
  const out = [];
  for (let f = 0; f < count; ++f) {
    let differ = 0, worst = 0n;
    for (let k = f * points; k < (f + 1) * points; ++k) {
      const u = ulps(n[k], w[k]);
      if (u !== 0n) {
        ++differ;
        if (u < 0n || worst < 0n) worst = -1n;
        else if (u > worst) worst = u;
      }
    }
    out.push({differ, worst});
  }
  return out;
}

const native = read('native.json'), wasm = read('wasm.json');
const lines = [];
lines.push(`Engine: ns a point, best of ${native.repeats} runs over ${native.points} points of [-5, 5)` +
           ` (block: ${native.block} places a call, as the plot samples)`);
lines.push(`${pad('formula', 26)}${pad('mode', 7)}  native      wasm   ratio (goal ≤ ${kRatioGoal}×)`);
const logs = {point: [], block: []};
native.formulas.forEach((n, i) => {
  const w = wasm.formulas[i];
  for (const mode of ['point', 'block']) {
    const a = n[`${mode}_ns`], b = w[`${mode}_ns`];
    const ratio = b / a;
    logs[mode].push(Math.log(ratio));
    lines.push(`${pad(mode === 'point' ? n.formula : '', 26)}${pad(mode, 7)}${num(a)}  ${num(b)}  ${num(ratio, 2)}` +
               over(ratio, kRatioGoal));
  }
});
for (const mode of ['point', 'block']) {
  const g = Math.exp(logs[mode].reduce((s, v) => s + v, 0) / logs[mode].length);
  lines.push(`${pad(mode === 'point' ? 'geometric mean' : '', 26)}${pad(mode, 7)}${' '.repeat(18)}${num(g, 2)}` +
             over(g, kRatioGoal));
}
const same = compareValues(native.points, native.formulas.length);
if (same) {
  const off = same.map((s, i) => ({...s, formula: native.formulas[i].formula})).filter(s => s.differ);
  lines.push(off.length === 0
               ? 'Values: the WebAssembly build gives the native build\'s bits at every point of every formula.'
               : 'Values differing from the native build: ' +
                   off.map(s => `${s.formula}: ${s.differ} points, ` +
                                (s.worst < 0n ? 'NaN against a number' : `at most ${s.worst} ulp`)).join('; '));
}

const page = read('page.json');
let plot = {};
if (has('plot.json')) {
  for (const b of read('plot.json').benchmarks || []) {
    const scale = {ns: 1e-6, us: 1e-3, ms: 1}[b.time_unit] || NaN;
    if (/^PanFrame\/2(\/|$)/.test(b.name)) plot.pan = b.cpu_time * scale;
    if (/^RedrawSixCurves\/2\/0(\/|$)/.test(b.name)) plot.redraw = b.cpu_time * scale;
  }
}
lines.push('');
const chrome = (/(?:Headless)?Chrom(?:e|ium)\/[\d.]+/.exec(page.browser) || [page.browser])[0];
lines.push(`Page: ${chrome}, the plane ${page.view.size.map(Math.round).join(' × ')} points at ${page.view.ratio} pixels` +
           ` a point; ms a frame${page.timerIsolated ? '' : ' (timer coarsened to 0.1 ms)'}`);
lines.push(`${pad('', 18)}  median       p90    script      goal    native (plot_bench, 320 × 480 at 2, CPU)`);
for (const [name, key, goal, nat] of [['pan frame', 'panFrame', kPanGoal, plot.pan],
                                      ['six-curve redraw', 'redrawSix', kRedrawGoal, plot.redraw]]) {
  const m = page[key];
  lines.push(`${pad(name, 18)}${num(m.median, 2)}  ${num(m.p90, 2)}  ${num(m.script.median, 2)}  ${num(goal, 0)}  ` +
             `${nat === undefined ? '     (no build/bench/plot_bench)' : num(nat, 3)}${over(m.p90, goal)}`);
}
lines.push('(median and p90 over ' + `${page.panFrame.frames} pan frames and ${page.redrawSix.frames} redraws;` +
           ' script: the module and the canvas calls, before rasterising)');
lines.push('');
const s = page.size;
lines.push(`Site: orlix.wasm + orlix.js + shell.js ${(s.gzip / 1e6).toFixed(3)} MB with gzip -9 (goal < ${kSizeGoal / 1e6} MB;` +
           ` ${(s.raw / 1e6).toFixed(3)} MB raw)${over(s.gzip, kSizeGoal)}`);
lines.push('  ' + Object.entries(s.files).map(([f, v]) => `${f} ${(v.gzip / 1e3).toFixed(0)} kB`).join(', '));
console.log(lines.join('\n'));
