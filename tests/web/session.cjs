// Orlix in a real browser: headless Chromium at a phone's size with touch
// events, driving the built site through its page and reading the core's
// state through window.orlixTest (the marks, the view, the store) rather
// than pixels. One table of steps; each step acts, then checks. A picture
// of the page after every step lands in ORLIX_WEB_SHOTS when it is set.
//
//   ORLIX_SITE=build-web/site NODE_PATH=<dir with playwright-core> node tests/web/session.cjs
'use strict';

const fs = require('fs');
const path = require('path');
const {serve, launchPhone} = require('./phone_browser.cjs');

const site = process.env.ORLIX_SITE || path.resolve(__dirname, '../../build-web/site');
const shots = process.env.ORLIX_WEB_SHOTS || '';

// ---- fingers through the DevTools protocol (Playwright's touchscreen only taps) -------------
async function fingers(cdp, page, moves) {
  // moves: [{type, points: [[x, y], ...]}] in the canvas's own coordinates.
  const box = await page.locator('#plotCanvas').boundingBox();
  for (const m of moves) {
    await cdp.send('Input.dispatchTouchEvent', {
      type: m.type,
      touchPoints: m.points.map(([x, y], id) => ({x: box.x + x, y: box.y + y, id})),
    });
    // A finger's pace: a frame between events.
    await page.waitForTimeout(16);
  }
  await page.evaluate(() => new Promise(r => requestAnimationFrame(() => r())));
}

// A straight drag of n fingers from `from` to `to` in steps.
function drag(from, to, steps = 8) {
  const at = k => from.map(([x, y], i) => [x + (to[i][0] - x) * k / steps, y + (to[i][1] - y) * k / steps]);
  const moves = [{type: 'touchStart', points: at(0)}];
  for (let k = 1; k <= steps; ++k) moves.push({type: 'touchMove', points: at(k)});
  moves.push({type: 'touchEnd', points: []});
  return moves;
}

const near = (a, b, tol) => Math.abs(a - b) <= tol * Math.max(1, Math.abs(b));
function expect(ok, what) {
  if (!ok) throw new Error(what);
}

const state = page => page.evaluate(() => window.orlixTest.state());
// "+" and an entry of its menu.
async function newFunction(page, entry) {
  await page.locator('#addButton').tap();
  await page.locator('#addMenu button', {hasText: entry}).tap();
  await page.evaluate(() => window.orlixTest.drawNow());
}

// ---- the steps ------------------------------------------------------------------------------
const steps = [
  ['opens empty', async ({page}) => {
    const s = await state(page);
    expect(s.functions.length === 0, `a fresh browser has no functions, found ${JSON.stringify(s.functions)}`);
    expect(s.view.ratio === 3, `the canvas is drawn at the device pixel ratio 3, not ${s.view.ratio}`);
    const size = await page.evaluate(() => [plotCanvas.width, plotCanvas.height, plotCanvas.clientWidth]);
    expect(size[0] === Math.round(size[2] * 3), `canvas pixels ${size[0]} for ${size[2]} points`);
  }],
  ['types x^2-2 on Orlix\'s keys and finds its two roots', async ({page}) => {
    expect(!(await page.locator('#keyboard').isVisible()), 'the keyboard waits for a field to edit');
    await page.locator('#formula').tap();
    expect(await page.locator('#keyboard').isVisible(), 'a touch screen edits with Orlix\'s keyboard');
    for (const key of ['x', '^', '123.π', '2', '-', '2']) {
      // Where the key is now (the number toggle changes the pads).
      await page.evaluate(() => window.orlixTest.drawNow());
      const box = await page.evaluate(text => {
        const b = [...document.querySelectorAll('#keys button')].find(b => b.textContent === text);
        if (!b) return null;
        const r = b.getBoundingClientRect();
        return {x: r.x, y: r.y, width: r.width, height: r.height};
      }, key);
      expect(box, `the key ${key} is on the keyboard`);
      await page.touchscreen.tap(box.x + box.width / 2, box.y + box.height / 2);
    }
    await page.evaluate(() => window.orlixTest.drawNow());
    expect(await page.inputValue('#formula') === 'x^2-2', `the keys typed ${await page.inputValue('#formula')}`);
    await page.locator('#formula').press('Enter');
    await page.evaluate(() => window.orlixTest.drawNow());
    expect(!(await page.locator('#keyboard').isVisible()), 'the keyboard goes once the formula is committed');
    const s = await state(page);
    expect(s.current === 'x^2-2', `the current function is ${s.current}`);
    const roots = s.marks.filter(m => m.type === 'root').map(m => m.x).sort((a, b) => a - b);
    expect(roots.length === 2 && near(roots[0], -Math.SQRT2, 1e-9) && near(roots[1], Math.SQRT2, 1e-9),
           `roots ±√2, found ${JSON.stringify(s.marks)}`);
    expect(!s.store.pending && JSON.parse(s.store.text).functions, 'the commit is stored at once');
  }],
  ['refuses a formula it cannot read and keeps the curve', async ({page}) => {
    await page.fill('#formula', 'x^');
    await page.locator('#formula').press('Enter');
    await page.evaluate(() => window.orlixTest.drawNow());
    const message = await page.textContent('#message');
    const s = await state(page);
    expect(message.length > 0, 'the reason shows under the field');
    expect(s.functions.length === 1 && s.current === 'x^2-2', `the register is unchanged: ${JSON.stringify(s.functions)}`);
    await page.fill('#formula', 'x^2-2');
  }],
  ['pans with one finger', async ({page, cdp}) => {
    const before = (await state(page)).view;
    const [cx, cy] = [before.size[0] / 2, before.size[1] / 2];
    await fingers(cdp, page, drag([[cx, cy]], [[cx + 60, cy - 40]]));
    const after = (await state(page)).view;
    const dx = -60 / before.scale[0], dy = -40 / before.scale[1];
    expect(near(after.center[0], before.center[0] + dx, 1e-6) && near(after.center[1], before.center[1] + dy, 1e-6),
           `the plane followed the finger: ${JSON.stringify(before.center)} → ${JSON.stringify(after.center)}`);
    expect(after.scale[0] === before.scale[0], 'a pan keeps the scale');
  }],
  ['pinches with two fingers about a root, which stays marked', async ({page, cdp}) => {
    const before = (await state(page)).view;
    const [x, y] = await page.evaluate(() => window.orlixTest.toDevice(-Math.SQRT2, 0));
    await fingers(cdp, page, drag([[x - 50, y], [x + 50, y]], [[x - 100, y], [x + 100, y]]));
    const s = await state(page);
    expect(near(s.view.scale[0] / before.scale[0], 2, 1e-3),
           `fingers twice as far apart double the scale: ${before.scale[0]} → ${s.view.scale[0]}`);
    const [x2, y2] = await page.evaluate(() => window.orlixTest.toDevice(-Math.SQRT2, 0));
    expect(Math.hypot(x2 - x, y2 - y) < 1, `the point between the fingers stays: (${x}, ${y}) → (${x2}, ${y2})`);
    expect(s.marks.some(m => m.type === 'root' && near(m.x, -Math.SQRT2, 1e-9)),
           `the marks are searched again after the pinch: ${JSON.stringify(s.marks)}`);
  }],
  ['taps a root and the panel shows it; a tap on empty plane puts it away', async ({page, cdp}) => {
    const [x, y] = await page.evaluate(() => window.orlixTest.toDevice(-Math.SQRT2, 0));
    await fingers(cdp, page, [{type: 'touchStart', points: [[x + 2, y - 1]]}, {type: 'touchEnd', points: []}]);
    await page.evaluate(() => window.orlixTest.drawNow());
    const info = (await state(page)).info;
    expect(!info.hidden && /1\.41421/.test(info.text + info.value), `the root's numbers: ${JSON.stringify(info)}`);
    const size = (await state(page)).view.size;
    await fingers(cdp, page, [{type: 'touchStart', points: [[size[0] - 20, 20]]}, {type: 'touchEnd', points: []}]);
    await page.evaluate(() => window.orlixTest.drawNow());
    expect((await state(page)).info.hidden, 'gone again');
  }],
  ['zooms with the wheel about the pointer', async ({page}) => {
    const before = (await state(page)).view;
    const [x, y] = await page.evaluate(() => window.orlixTest.toDevice(-Math.SQRT2, 0));
    // A wheel event as the page gets it: 100 pixels towards the screen.
    await page.evaluate(([x, y]) => {
      const box = plotCanvas.getBoundingClientRect();
      plotCanvas.dispatchEvent(new WheelEvent('wheel', {deltaY: -100, clientX: box.left + x, clientY: box.top + y,
                                                        bubbles: true, cancelable: true}));
    }, [x, y]);
    const after = (await state(page)).view;
    expect(near(after.scale[0] / before.scale[0], 1.2, 1e-9), `100 pixels zoom by 1.2: ${before.scale[0]} → ${after.scale[0]}`);
    const [x2, y2] = await page.evaluate(() => window.orlixTest.toDevice(-Math.SQRT2, 0));
    expect(Math.hypot(x2 - x, y2 - y) < 1, `the point under the pointer stays: (${x}, ${y}) → (${x2}, ${y2})`);
  }],
  ['traces the curve with a finger and the panel shows the point', async ({page, cdp}) => {
    await page.fill('#formula', 'x^2-');
    // The keyboard away, the plane has room for the panel beside the point.
    await page.locator('#keyboardButton').tap();
    expect(!(await page.locator('#keyboard').isVisible()), 'the keyboard button puts the keyboard away');
    await page.locator('[data-action="trace"]').tap();
    expect((await state(page)).tracing, 'the ⇔ button switches to trace mode');
    expect(await page.inputValue('#formula') === 'x^2-', 'and leaves the typed text alone');
    // A point of the curve left of the panel's side.
    const [x, y] = await page.evaluate(() => window.orlixTest.toDevice(-2, 2));
    await fingers(cdp, page, drag([[x + 20, y]], [[x, y]]));
    await page.evaluate(() => window.orlixTest.drawNow());
    const info = (await state(page)).info;
    expect(!info.hidden && info.center, `the panel shows: ${JSON.stringify(info)}`);
    expect(near(parseFloat(info.value), -2, 0.05), `at the finger's x: ${JSON.stringify(info)}`);
    expect(await page.locator('#info').isVisible(), 'on the page');
    expect((await page.textContent('#infoText')).length > 0, 'with its numbers');
    await page.locator('[data-action="trace"]').tap();
    expect(!(await state(page)).tracing, 'and back to moving the plane');
    await page.fill('#formula', 'x^2-2');
  }],
  ['zooms to fit the curve from the menu', async ({page}) => {
    await page.locator('#menuButton').tap();
    await page.locator('#menu [data-action="fit"]').tap();
    expect(!(await page.locator('#menu').isVisible()), 'the menu closes');
    const s = await state(page);
    expect(Math.abs(s.view.center[0]) < 1e-3, `the view is centred on the parabola: ${JSON.stringify(s.view)}`);
    for (const x of [-Math.SQRT2, Math.SQRT2]) {
      const [dx, dy] = await page.evaluate(x => window.orlixTest.toDevice(x, 0), x);
      expect(dx > 0 && dx < s.view.size[0] && dy > 0 && dy < s.view.size[1], `the root ${x} is in sight: (${dx}, ${dy})`);
    }
  }],
  ['sets a range with two fingers in trace mode: ∫ = −10/3 over [−1, 1], and with a right-drag', async ({page, cdp}) => {
    await page.locator('[data-action="trace"]').tap();
    const integral = async () => {
      await page.evaluate(() => window.orlixTest.drawNow());
      const info = (await state(page)).info;
      const m = /∫=\s*(\S+)/.exec(info.text);
      expect(info.maxed && m, `the panel shows the range: ${JSON.stringify(info)}`);
      expect(near(parseFloat(info.start), -1, 1e-4) && near(parseFloat(info.value), 1, 1e-4),
             `over [−1, 1]: ${info.start} … ${info.value}`);
      expect(near(parseFloat(m[1]), -10 / 3, 1e-4), `∫ of x²−2 over [−1, 1] is −10/3, not ${m[1]}`);
    };
    const [a, y] = await page.evaluate(() => window.orlixTest.toDevice(-1, -1));
    const [b] = await page.evaluate(() => window.orlixTest.toDevice(1, -1));
    await fingers(cdp, page, drag([[a, y], [b + 30, y]], [[a, y], [b, y]], 4));
    await integral();
    expect(await page.locator('#info').isVisible(), 'the panel is on the page');
    // The desktop's way: the right button held where the range starts,
    // dragged to its end.
    const box = await page.locator('#plotCanvas').boundingBox();
    await page.locator('[data-action="undo"]').tap();
    await page.waitForFunction(() => {
      window.orlixTest.drawNow();
      const i = window.orlixTest.state().info;
      return i.hidden || !i.maxed;
    }, null, {timeout: 3000}).catch(() => {});
    const undone = (await state(page)).info;
    expect(undone.hidden || !undone.maxed, `undo takes the range back: ${JSON.stringify(undone)}`);
    await page.mouse.move(box.x + a, box.y + y);
    await page.mouse.down({button: 'right'});
    for (let k = 1; k <= 4; ++k) await page.mouse.move(box.x + a + (b - a) * k / 4, box.y + y);
    await page.mouse.up({button: 'right'});
    await integral();
    // The range's end typed into the panel: ∫ of x²−2 over [−1, 2] is −3.
    const end = page.locator('#infoValue input');
    await end.fill('1/0');
    await end.press('Enter');
    expect((await page.textContent('#infoMessage')).length > 0, 'an infinite end is refused, saying why');
    await end.fill('2');
    await end.press('Enter');
    await page.evaluate(() => window.orlixTest.drawNow());
    const info = (await state(page)).info;
    expect(info.value === '2' && /∫=\s*-3\n/.test(info.text), `typed, the end moves: ${JSON.stringify(info)}`);
    expect(!(await page.textContent('#infoMessage')), 'and the message goes');
    await page.locator('[data-action="trace"]').tap();
  }],
  ['undoes and redoes a new function with the arrows and the keys', async ({page}) => {
    const formulas = async () => (await state(page)).functions.map(f => f.formula);
    await newFunction(page, 'New y(x)');
    await page.fill('#formula', 'x^3');
    await page.locator('#formula').press('Enter');
    await page.evaluate(() => window.orlixTest.drawNow());
    expect((await formulas()).join() === 'x^2-2,x^3', `two functions: ${await formulas()}`);
    await page.locator('[data-action="undo"]').tap();
    await page.evaluate(() => window.orlixTest.drawNow());
    let s = await state(page);
    expect(s.functions.length === 1 && s.functions[0].formula === 'x^2-2', `undo takes x^3 back: ${JSON.stringify(s.functions)}`);
    expect(JSON.parse(s.store.text).functions && !s.store.text.includes('x^3'), 'the store follows');
    expect(!(await page.locator('[data-action="redo"]').isDisabled()), 'redo is offered');
    await page.locator('[data-action="redo"]').tap();
    expect((await formulas()).join() === 'x^2-2,x^3', `redo brings it back: ${await formulas()}`);
    // Ctrl+Z on the page (outside the field, whose typing has its own undo).
    await page.locator('#plotCanvas').focus();
    await page.evaluate(() => document.activeElement.blur());
    await page.keyboard.press('Control+z');
    expect((await formulas()).join() === 'x^2-2', `Ctrl+Z undoes: ${await formulas()}`);
    await page.keyboard.press('Control+Shift+z');
    expect((await formulas()).join() === 'x^2-2,x^3', `Ctrl+Shift+Z redoes: ${await formulas()}`);
    await page.locator('[data-action="undo"]').tap();
    await page.locator('#strip button').first().tap();
    expect((await state(page)).current === 'x^2-2', 'the strip makes x^2-2 current again');
  }],
  ['adds curves of other kinds from "+": x(t), y(t) with its second formula and range, and a derivative', async ({page}) => {
    await newFunction(page, 'x(t), y(t)');
    expect(await page.locator('#secondRow').isVisible() && await page.locator('#rangeRow').isVisible(),
           'a parametric curve has a second formula and a range');
    expect(await page.textContent('#kindLabel') === 'x(t)=' && await page.textContent('#secondLabel') === 'y(t)=',
           'labelled as the kind');
    await page.fill('#formula', 'cos(t)');
    await page.fill('#second', 'sin(t^');
    await page.fill('#rangeMin', '0');
    await page.fill('#rangeMax', 'pi');
    await page.locator('#second').press('Enter');
    await page.evaluate(() => window.orlixTest.drawNow());
    expect((await state(page)).functions.length === 1, 'a formula it cannot read adds nothing');
    expect(await page.evaluate(() => document.getElementById('second').classList.contains('refused')),
           'the second field is the one at fault');
    await page.fill('#second', 'sin(t)');
    await page.fill('#rangeMax', '-1');
    await page.locator('#rangeMax').press('Enter');
    await page.evaluate(() => window.orlixTest.drawNow());
    expect((await state(page)).functions.length === 1 && (await page.textContent('#message')).length > 0,
           'nor does a range whose end lies below its start, saying why');
    await page.fill('#rangeMax', 'pi');
    await page.locator('#rangeMax').press('Enter');
    await page.evaluate(() => window.orlixTest.drawNow());
    let s = await state(page);
    const t = s.functions.find(f => f.type === 'tFunction');
    expect(s.functions.length === 2 && t, `the curve is added: ${JSON.stringify(s.functions)}`);
    const record = JSON.parse(s.store.text).functions[t.id];
    expect(JSON.stringify(record).includes('sin(t)'), `with both formulas: ${JSON.stringify(record)}`);
    // Half a circle from 0 to π: it meets the y axis at (0, 1), not at (0, −1).
    const at = (x, y) => s.marks.some(m => m.type === 'root' && near(m.x, x, 1e-6) && near(m.y, y, 1e-6));
    expect(at(0, 1) && !at(0, -1), `over its range: ${JSON.stringify(s.marks)}`);
    expect(await page.inputValue('#rangeMax') === 'pi', 'the range stays as typed');
    await page.locator('[data-action="undo"]').tap();
    await page.locator('#strip button').first().tap();
    await newFunction(page, 'Add derivative');
    s = await state(page);
    expect(s.functions.length === 2 && s.current !== 'x^2-2', `the derivative is added: ${JSON.stringify(s.functions)}`);
    expect(!(await page.locator('#secondRow').isVisible()), 'y(x) has one formula');
    await page.locator('[data-action="undo"]').tap();
    await page.locator('#strip button').first().tap();
    expect((await state(page)).functions.length === 1, 'both undone');
  }],
  ['lists a table of values from a start by a step, worked out as it scrolls', async ({page}) => {
    await page.locator('#menuButton').tap();
    await page.locator('#menu [data-panel="table"]').tap();
    expect(await page.locator('#tablePanel').isVisible(), 'the table opens from the menu');
    const rows = () => page.evaluate(() => [...document.querySelectorAll('#tableRows tbody tr')]
      .map(tr => [...tr.cells].map(td => td.textContent)));
    const headers = await page.evaluate(() => [...document.querySelectorAll('#tableRows th')].map(th => th.textContent));
    expect(headers.join() === 'x,y', `x, y for y(x): ${headers}`);
    let r = await rows();
    expect(r[0].join() === '0,-2' && r[3].join() === '3,7', `x^2-2 from 0 by 1: ${JSON.stringify(r.slice(0, 4))}`);
    const first = r.length;
    await page.evaluate(() => { const b = document.getElementById('tableScroll'); b.scrollTop = b.scrollHeight; });
    await page.waitForFunction(n => document.querySelectorAll('#tableRows tbody tr').length > n, first);
    r = await rows();
    expect(r[r.length - 1][0] === String(r.length - 1), `more rows as the list scrolls: ${first} → ${r.length}`);
    await page.fill('#tableStep', '0');
    await page.locator('#tableApply').tap();
    expect((await page.textContent('#tableMessage')).length > 0, 'a step of 0 is refused, saying why');
    expect((await rows()).length === r.length, 'and the table stays as it was');
    await page.fill('#tableStart', '-1');
    await page.fill('#tableStep', '1/2');
    await page.locator('#tableStep').press('Enter');
    r = await rows();
    expect(r[1].join() === '-0.5,-1.75' && !(await page.textContent('#tableMessage')),
           `from −1 by a half: ${JSON.stringify(r.slice(0, 3))}`);
    if (shots) await page.screenshot({path: path.join(shots, 'table.png')});
    await page.locator('#tableDone').tap();
    expect(!(await page.locator('#tablePanel').isVisible()), 'Done closes it');
  }],
  ['takes the preferences on Done: always dark, and deleting all functions, which undo brings back', async ({page}) => {
    const open = async () => {
      await page.locator('#menuButton').tap();
      await page.locator('#menu [data-panel="preferences"]').tap();
      expect(await page.locator('#preferencesPanel').isVisible(), 'the preferences open from the menu');
    };
    await open();
    const appearance = page.locator('#preferencesPanel .segments[aria-label="Appearance"] button');
    expect(await appearance.nth(0).getAttribute('aria-pressed') === 'true', 'as the system, to begin with');
    await appearance.nth(2).tap();
    expect((await state(page)).appearance === 'light', 'nothing changes before Done');
    await page.locator('#prefCancel').tap();
    await open();
    expect(await appearance.nth(0).getAttribute('aria-pressed') === 'true', 'Cancel kept nothing');
    await appearance.nth(2).tap();
    page.once('dialog', d => d.accept());
    await page.locator('#prefDeleteAll').tap();
    await page.locator('#prefDone').tap();
    await page.evaluate(() => window.orlixTest.drawNow());
    let s = await state(page);
    expect(s.appearance === 'dark' && JSON.parse(s.store.text).settings, `dark on a light system: ${s.appearance}`);
    expect(s.functions.length === 0, `every function deleted: ${JSON.stringify(s.functions)}`);
    await page.locator('[data-action="undo"]').tap();
    s = await state(page);
    expect(s.functions.length === 1 && s.current === 'x^2-2', `undo brings them back: ${JSON.stringify(s.functions)}`);
    await open();
    await appearance.nth(0).tap();
    await page.locator('#prefDone').tap();
    await page.evaluate(() => window.orlixTest.drawNow());
    expect((await state(page)).appearance === 'light', 'as the system again');
  }],
  ['shows the help from the menu, the preferences and F1, in the colours of the page', async ({page}) => {
    const helpText = () => page.evaluate(() => {
      const doc = document.getElementById('helpPage').contentDocument;
      return doc && doc.readyState === 'complete' ? doc.body.textContent : '';
    });
    const opened = async how => {
      await page.waitForFunction(() => {
        const doc = document.getElementById('helpPage').contentDocument;
        return doc && doc.readyState === 'complete' && doc.body.textContent.includes('First steps');
      });
      expect(await page.locator('#helpPanel').isVisible(), `the help opens from ${how}`);
    };
    await page.locator('#menuButton').tap();
    await page.locator('#menu [data-panel="help"]').tap();
    await opened('the menu');
    expect((await helpText()).includes('Type a formula'), 'the help is the app\'s own page');
    await page.locator('#helpDone').tap();
    expect(!(await page.locator('#helpPanel').isVisible()), 'Done closes it');
    await page.locator('#menuButton').tap();
    await page.locator('#menu [data-panel="preferences"]').tap();
    await page.locator('#prefHelp').tap();
    await opened('the preferences');
    await page.keyboard.press('Escape');
    expect(!(await page.locator('#helpPanel').isVisible()), 'Escape closes it');
    // Dark: the page's text is light on dark.
    await page.emulateMedia({colorScheme: 'dark'});
    await page.evaluate(() => window.orlixTest.drawNow());
    await page.keyboard.press('F1');
    await opened('F1');
    const scheme = await page.evaluate(() =>
      getComputedStyle(document.getElementById('helpPage').contentDocument.documentElement).colorScheme);
    expect(scheme === 'dark', `the help is dark in the dark: ${scheme}`);
    if (shots) await page.screenshot({path: path.join(shots, 'help-dark.png')});
    await page.locator('#helpDone').tap();
    await page.emulateMedia({colorScheme: 'light'});
    await page.evaluate(() => window.orlixTest.drawNow());
  }],
  ['hides the bars and shows them again with Tab, and the plane takes their room', async ({page}) => {
    const shown = () => page.evaluate(() => [!document.getElementById('inputBar').hidden,
                                             !document.getElementById('bottomBar').hidden,
                                             document.getElementById('plotCanvas').clientHeight]);
    await page.evaluate(() => document.activeElement && document.activeElement.blur());
    const [top0, bottom0, height0] = await shown();
    expect(top0 && bottom0, 'both bars to begin with');
    const seen = [];
    for (let k = 0; k < 3; ++k) {
      await page.keyboard.press('Tab');
      await page.evaluate(() => window.orlixTest.drawNow());
      seen.push(await shown());
    }
    expect(!seen[0][0] && seen[0][1], `Tab hides the top bar first: ${JSON.stringify(seen)}`);
    expect(!seen[1][0] && !seen[1][1] && seen[1][2] > seen[0][2] && seen[0][2] > height0,
           `then the bottom bar, the plane growing each time: ${JSON.stringify([height0, seen])}`);
    expect(seen[2][0] && seen[2][1] && seen[2][2] === height0, `then both again: ${JSON.stringify(seen)}`);
    await page.locator('#menuButton').tap();
    expect(await page.textContent('#barsItem') === 'Hide bars', 'the menu offers to hide them');
    await page.locator('#barsItem').tap();
    await page.evaluate(() => window.orlixTest.drawNow());
    const [top1, bottom1] = await shown();
    expect(!top1 && bottom1, 'the menu hides the top bar as Tab does');
    await page.evaluate(() => document.activeElement && document.activeElement.blur());
    for (let k = 0; k < 2; ++k) {
      await page.keyboard.press('Tab');
      await page.evaluate(() => window.orlixTest.drawNow());
    }
    expect((await shown()).slice(0, 2).every(Boolean), 'and both come back');
  }],
  ['fits a small phone, upright and on its side, with the keyboard up: nothing off the page, no key on another', async ({page}) => {
    const size = page.viewportSize();
    try {
      for (const [width, height] of [[320, 480], [480, 320]]) {
        await page.setViewportSize({width, height});
        await page.locator('#formula').tap();
        await page.evaluate(() => window.orlixTest.drawNow());
        const faults = await page.evaluate(() => {
          const boxes = [...document.querySelectorAll('#app button, #app input, #plotCanvas')]
                            .filter(e => e.offsetParent !== null && !e.closest('.menu, .panel'))
                            .map(e => [e.id || e.textContent, e.getBoundingClientRect()]);
          const out = boxes.filter(([, r]) => r.left < -0.5 || r.top < -0.5 || r.right > innerWidth + 0.5 ||
                                              r.bottom > innerHeight + 0.5).map(([n]) => 'off the page: ' + n);
          for (let i = 0; i < boxes.length; ++i)
            for (let j = i + 1; j < boxes.length; ++j) {
              const [a, p] = boxes[i], [b, q] = boxes[j];
              const w = Math.min(p.right, q.right) - Math.max(p.left, q.left);
              const h = Math.min(p.bottom, q.bottom) - Math.max(p.top, q.top);
              if (w > 1 && h > 1) out.push(`${a} on ${b}`);
            }
          return out;
        });
        expect(faults.length === 0, `${width} × ${height}: ${faults.join('; ')}`);
        if (shots) await page.screenshot({path: path.join(shots, `keyboard-${width}x${height}.png`)});
        await page.locator('#formula').press('Escape');
      }
    } finally {
      await page.setViewportSize(size);
    }
  }],
  ['gives the current function the settings taken on Done: colour, dash, density', async ({page}) => {
    await page.locator('#menuButton').tap();
    await page.locator('#menu [data-panel="settings"]').tap();
    expect(await page.locator('#settingsPanel').isVisible(), 'the settings open from the menu');
    expect(await page.inputValue('#settingsDensity') !== '', 'with the density');
    const before = await state(page);
    await page.evaluate(() => {
      for (const [id, v] of [['settingsR', 0], ['settingsG', 128], ['settingsB', 255]]) {
        const s = document.getElementById(id);
        s.value = v;
        s.dispatchEvent(new Event('input'));
      }
    });
    // The preview draws the next pattern: its pixels change.
    const preview = () => page.evaluate(() => document.getElementById('settingsDash').toDataURL());
    const dash = await preview();
    await page.locator('#settingsDash').tap();
    expect(await preview() !== dash, 'a tap on the pattern shows the next one');
    await page.fill('#settingsDensity', '50');
    await page.locator('#settingsDone').tap();
    expect(/100/.test(await page.textContent('#settingsMessage')), `too few points are refused, saying the least`);
    expect(JSON.stringify((await state(page)).functions) === JSON.stringify(before.functions), 'and nothing changed');
    await page.fill('#settingsDensity', '500');
    await page.locator('#settingsDone').tap();
    expect(!(await page.locator('#settingsPanel').isVisible()), 'Done closes the panel');
    const f = (await state(page)).functions[0];
    expect(near(f.color[0], 0, 1e-6) && near(f.color[1], 128 / 255, 1e-6) && near(f.color[2], 1, 1e-6),
           `the colour is the sliders': ${f.color}`);
    await page.locator('[data-action="undo"]').tap();
    const g = (await state(page)).functions[0];
    expect(JSON.stringify(g.color) === JSON.stringify(before.functions[0].color), `one step of undo: ${g.color}`);
  }],
  ['moves a parameter with its slider and its field, each move one step of undo', async ({page}) => {
    await newFunction(page, 'New y(x)');
    await page.fill('#formula', 'a*sin(x)');
    await page.locator('#formula').press('Enter');
    await page.evaluate(() => window.orlixTest.drawNow());
    expect(await page.locator('#sliders input[type=range]').count() === 1, 'a slider for a');
    const a = async () => (await state(page)).parameters.a;
    const start = await a();
    const range = page.locator('#sliders input[type=range]');
    const box = await range.boundingBox();
    await page.mouse.click(box.x + box.width * 0.75, box.y + box.height / 2);
    await page.evaluate(() => window.orlixTest.drawNow());
    const moved = await a();
    expect(moved > start, `the slider moved a: ${start} → ${moved}`);
    const field = page.locator('#sliders input.value');
    expect(near(parseFloat(await field.inputValue()), moved, 1e-9), `the field shows it: ${await field.inputValue()}`);
    await field.fill('pi/4');
    await field.press('Enter');
    expect(near(await a(), Math.PI / 4, 1e-12), 'a typed value is taken exactly');
    await field.fill('1/0');
    await field.press('Enter');
    await page.evaluate(() => window.orlixTest.drawNow());
    expect((await page.textContent('#sliders .message')).length > 0 && near(await a(), Math.PI / 4, 1e-12),
           'an infinite one is refused, saying why');
    await page.locator('#sliders .play').tap();
    await page.waitForTimeout(300);
    await page.locator('#sliders .play').tap();
    const played = await a();
    expect(!near(played, Math.PI / 4, 1e-9), `▶ runs the value: ${played}`);
    await page.waitForTimeout(100);
    expect(await a() === played, '❚❚ stops it');
    await page.locator('[data-action="undo"]').tap();
    expect(near(await a(), Math.PI / 4, 1e-12), `undo takes the play back: ${await a()}`);
    await page.locator('[data-action="undo"]').tap();
    expect(near(await a(), moved, 1e-12), `then the typed value: ${await a()}`);
    await page.locator('[data-action="undo"]').tap();
    expect(near(await a(), start, 1e-12), `and then the drag: ${await a()}`);
    await page.locator('[data-action="undo"]').tap();
    await page.locator('#strip button').first().tap();
    await page.evaluate(() => window.orlixTest.drawNow());
    expect((await state(page)).functions.length === 1 && await page.locator('#sliders input').count() === 0,
           'no function reads a: no slider');
  }],
  ['follows the system into dark mode and back', async ({page}) => {
    // The colour of the plane at its top-left corner, on the page.
    const corner = () => page.evaluate(() => [...plotCanvas.getContext('2d').getImageData(2, 2, 1, 1).data]);
    const luma = ([r, g, b]) => (0.2126 * r + 0.7152 * g + 0.0722 * b) / 255;
    expect((await state(page)).appearance === 'light' && luma(await corner()) > 0.8, 'light to begin with');
    // The page hears of the change a moment later.
    const scheme = async name => {
      await page.emulateMedia({colorScheme: name});
      await page.waitForFunction(name => window.orlixTest.state().appearance === name, name, {timeout: 5000})
        .catch(() => {});
      await page.evaluate(() => window.orlixTest.drawNow());
    };
    await scheme('dark');
    expect((await state(page)).appearance === 'dark', 'the plane takes the dark colours');
    expect(luma(await corner()) < 0.25, `and is drawn dark: ${await corner()}`);
    expect(await page.evaluate(() => document.documentElement.classList.contains('dark')), 'so are the bars');
    const bar = await page.evaluate(() => getComputedStyle(document.getElementById('bottomBar')).color);
    expect(luma(bar.match(/\d+/g).map(Number)) > 0.7, `light ink on the dark bar: ${bar}`);
    if (shots) await page.screenshot({path: path.join(shots, 'dark.png')});
    await scheme('light');
    expect((await state(page)).appearance === 'light' && luma(await corner()) > 0.8, 'and back to light');
    const ink = await page.evaluate(() => getComputedStyle(document.getElementById('bottomBar')).color);
    expect(luma(ink.match(/\d+/g).map(Number)) < 0.3, `dark ink on the light bar again: ${ink}`);
  }],
  ['shares the plot as a PNG and as an SVG drawing', async ({page}) => {
    const share = async item => {
      await page.locator('#menuButton').tap();
      const [download] = await Promise.all([page.waitForEvent('download'), page.locator(item).tap()]);
      const picture = {name: download.suggestedFilename(), data: fs.readFileSync(await download.path())};
      if (shots) fs.writeFileSync(path.join(shots, picture.name.replace(/ /g, '-')), picture.data);
      return picture;
    };
    const s = await state(page);
    const png = await share('#menu [data-share="png"][data-scale="2"]');
    expect(png.name === 'Orlix plot.png', `named ${png.name}`);
    expect(png.data.subarray(1, 4).toString() === 'PNG', 'a PNG file');
    const [w, h] = [png.data.readUInt32BE(16), png.data.readUInt32BE(20)];
    expect(w === Math.ceil(s.view.size[0] * 2) && h === Math.ceil(s.view.size[1] * 2),
           `twice the view's points: ${w}×${h} for ${s.view.size}`);
    const svg = await share('#menu [data-share="svg"]');
    expect(svg.name === 'Orlix plot.svg', `named ${svg.name}`);
    const text = svg.data.toString('utf8');
    const checked = await page.evaluate(text => {
      const doc = new DOMParser().parseFromString(text, 'image/svg+xml');
      return {error: !!doc.querySelector('parsererror'), root: doc.documentElement.nodeName,
              paths: doc.querySelectorAll('path').length, texts: doc.querySelectorAll('text').length};
    }, text);
    expect(!checked.error && checked.root === 'svg', `a well-formed SVG: ${text.slice(0, 200)}`);
    expect(checked.paths > 1 && checked.texts > 0, `the curve and the grid's labels as shapes: ${JSON.stringify(checked)}`);
    expect(!(await page.locator('#alert').isVisible()), 'and nothing went wrong');
  }],
  ['finds the function and the view again after a reload', async ({page, memo}) => {
    memo.view = (await state(page)).view;
    await page.reload();
    await page.evaluate(() => window.orlixTest.ready);
    const s = await state(page);
    expect(s.functions.length === 1 && s.current === 'x^2-2', `after the reload: ${JSON.stringify(s.functions)}`);
    expect(await page.inputValue('#formula') === 'x^2-2', 'the field shows the current formula');
    expect(near(s.view.scale[0], memo.view.scale[0], 1e-9) && near(s.view.center[0], memo.view.center[0], 1e-6) &&
           near(s.view.center[1], memo.view.center[1], 1e-6),
           `the view came back: ${JSON.stringify(memo.view)} → ${JSON.stringify(s.view)}`);
  }],
  ['a full storage is said once and the work goes on in memory', async ({page}) => {
    await page.evaluate(() => {
      window.keptSetItem = Storage.prototype.setItem;
      Storage.prototype.setItem = function () { throw new DOMException('full', 'QuotaExceededError'); };
    });
    await page.fill('#formula', '');
    await newFunction(page, 'New y(x)');
    await page.fill('#formula', 'sin(x)');
    await page.locator('#formula').press('Enter');
    await page.evaluate(() => window.orlixTest.drawNow());
    const s = await state(page);
    expect(s.functions.length === 2, `the new function is there: ${JSON.stringify(s.functions)}`);
    expect(s.store.pending && /full/.test(s.store.error), `the store keeps it pending: ${JSON.stringify(s.store.error)}`);
    expect(await page.locator('#alert').isVisible(), 'the person is told');
    expect(/cannot save/.test(await page.textContent('#alertText')), 'in words');
    await page.locator('#alertOk').tap();
    await page.evaluate(() => { Storage.prototype.setItem = window.keptSetItem; });
    await page.evaluate(() => window.orlixTest.save());
    const t = await state(page);
    expect(!t.store.pending && JSON.parse(t.store.text).functions, 'a save with room writes what was pending');
    const stored = await page.evaluate(() => localStorage.getItem('orlix.store'));
    expect(stored.includes('sin(x)'), 'the browser holds it now');
  }],
  ['keeps a commit when the tab is closed right after it', async ({page, context, memo}) => {
    await page.fill('#formula', 'cos(x)');
    await page.locator('#formula').press('Enter');
    const url = page.url();
    // Closed at once: what the commit wrote is all there is.
    await page.close({runBeforeUnload: false});
    const next = await context.newPage();
    await next.goto(url);
    await next.evaluate(() => window.orlixTest.ready);
    const s = await state(next);
    expect(s.current === 'cos(x)' && s.functions.length === 2, `the new tab finds it: ${JSON.stringify(s.functions)}`);
    memo.page = next;
  }],
  ['can be installed: Chromium finds the manifest, its icons and the service worker', async ({page, cdp}) => {
    await page.evaluate(() => navigator.serviceWorker.ready);
    const {installabilityErrors} = await cdp.send('Page.getInstallabilityErrors');
    expect(installabilityErrors.length === 0, `installability: ${JSON.stringify(installabilityErrors)}`);
    const manifest = await cdp.send('Page.getAppManifest');
    expect(manifest.errors.length === 0, `the manifest: ${JSON.stringify(manifest.errors)}`);
  }],
  ['opens without the network from the copy the service worker keeps', async ({page, context}) => {
    await page.evaluate(() => navigator.serviceWorker.ready);
    // The page of the first visit is not yet controlled; one reload is.
    if (!(await page.evaluate(() => !!navigator.serviceWorker.controller))) {
      await page.reload();
      await page.evaluate(() => window.orlixTest.ready);
    }
    await context.setOffline(true);
    try {
      await page.reload();
      await page.evaluate(() => window.orlixTest.ready);
      const s = await state(page);
      expect(s.functions.some(f => f.formula === 'cos(x)'), `offline, the functions are there: ${JSON.stringify(s.functions)}`);
      const help = await page.evaluate(() => fetch('help.html').then(r => r.text()));
      expect(help.includes('First steps'), 'offline, the help is there too');
    } finally {
      await context.setOffline(false);
    }
  }],
  ['keeps a damaged store in a copy and starts empty, saying so', async ({page}) => {
    // Written from a page of the site that is not Orlix: Orlix itself saves
    // what it holds as it goes.
    const url = page.url();
    await page.goto(new URL('manifest.webmanifest', url).href);
    await page.evaluate(() => localStorage.setItem('orlix.store', '{"functions": [tr'));
    await page.goto(url);
    await page.evaluate(() => window.orlixTest.ready);
    await page.evaluate(() => window.orlixTest.drawNow());
    const s = await state(page);
    expect(s.functions.length === 0, `nothing could be read: ${JSON.stringify(s.functions)}`);
    const copies = await page.evaluate(() => Object.keys(localStorage).filter(k => k.startsWith('orlix.store.corrupt-')));
    expect(copies.length === 1, `one copy: ${JSON.stringify(copies)}`);
    expect(await page.evaluate(k => localStorage.getItem(k), copies[0]) === '{"functions": [tr', 'the copy is what was stored');
    const text = await page.textContent('#alertText');
    expect(await page.locator('#alert').isVisible() && text.includes(copies[0]), `the notice names the copy: ${text}`);
  }],
  ['leaves out one damaged function record, keeps the records in a copy and says so', async ({page}) => {
    await page.locator('#alertOk').tap();
    for (const formula of ['x^3', 'cos(x)']) {
      await newFunction(page, 'New y(x)');
      await page.fill('#formula', formula);
      await page.locator('#formula').press('Enter');
    }
    await page.evaluate(() => window.orlixTest.save());
    const url = page.url();
    await page.goto(new URL('manifest.webmanifest', url).href);
    const damaged = await page.evaluate(() => {
      const doc = JSON.parse(localStorage.getItem('orlix.store'));
      const id = Object.keys(doc.functions)[0];
      doc.functions[id] = 'not a record';
      localStorage.setItem('orlix.store', JSON.stringify(doc));
      return id;
    });
    await page.goto(url);
    await page.evaluate(() => window.orlixTest.ready);
    await page.evaluate(() => window.orlixTest.drawNow());
    const s = await state(page);
    expect(s.functions.length === 1, `the other function is there: ${JSON.stringify(s.functions)}`);
    const copies = await page.evaluate(() => Object.keys(localStorage).filter(k => k.includes('damaged-functions')));
    expect(copies.length === 1, `one copy: ${JSON.stringify(copies)}`);
    const copy = JSON.parse(await page.evaluate(k => localStorage.getItem(k), copies[0]));
    expect(copy.functions[damaged] === 'not a record', 'the copy holds the record as it was stored');
    const text = await page.textContent('#alertText');
    expect(/1 function could not be read and is left out/.test(text) && text.includes(copies[0]),
           `the notice says what was left out and where it is kept: ${text}`);
  }],
  ['says plainly that a browser without WebAssembly cannot run it', async ({context, page}) => {
    const bare = await context.newPage();
    try {
      await bare.addInitScript(() => { delete window.WebAssembly; });
      await bare.goto(page.url());
      const loading = bare.locator('#loading');
      await loading.waitFor({state: 'visible'});
      const text = await loading.textContent();
      expect(/needs WebAssembly/.test(text), `in words: ${text}`);
    } finally {
      await bare.close();
    }
  }],
];

(async () => {
  if (!fs.existsSync(path.join(site, 'orlix.wasm'))) throw new Error(`no site in ${site}: make web first`);
  if (shots) fs.mkdirSync(shots, {recursive: true});
  const server = await serve(site);
  const browser = await launchPhone();
  const context = browser.context;
  let failed = 0;
  try {
    let page = context.pages()[0] || await context.newPage();
    const problems = [];
    page.on('pageerror', e => problems.push(String(e)));
    await page.goto(`http://127.0.0.1:${server.address().port}/`);
    await page.evaluate(() => window.orlixTest.ready);
    let cdp = await context.newCDPSession(page);
    const memo = {};
    for (const [i, [name, step]] of steps.entries()) {
      try {
        await step({page, cdp, memo, context});
        if (problems.length) throw new Error(`the page threw: ${problems.join('; ')}`);
        console.log(`ok   ${name}`);
      } catch (e) {
        ++failed;
        console.log(`FAIL ${name}: ${e.message}`);
      }
      // A step that closed the tab goes on in the one it opened.
      if (memo.page && memo.page !== page) {
        page = memo.page;
        page.on('pageerror', e => problems.push(String(e)));
        cdp = await context.newCDPSession(page);
      }
      if (shots) await page.screenshot({path: path.join(shots, `${String(i + 1).padStart(2, '0')}.png`)});
    }
  } finally {
    await browser.close();
    server.close();
  }
  console.log(failed ? `${failed} of ${steps.length} steps failed` : `all ${steps.length} steps passed`);
  process.exit(failed ? 1 : 0);
})().catch(e => {
  console.error(e);
  process.exit(2);
});
