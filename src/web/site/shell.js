// The page around the module: sizes the plot canvas at the device pixel
// ratio, forwards pointers, the wheel, the field and the buttons to the
// shell (web_shell.cpp), and shows the state it answers. window.orlixTest
// reads the core's state for the browser tests.
'use strict';

(() => {
  const $ = id => document.getElementById(id);
  const canvas = $('plotCanvas'), field = $('formula'), keyboard = $('keyboard'), keys = $('keys');
  // The input bar's fields, in the module's order: the formula, the second
  // formula, the range's two ends.
  const fields = [field, $('second'), $('rangeMin'), $('rangeMax')];
  let active = 0, askDelete = true;
  const touchScreen = window.matchMedia('(pointer: coarse)').matches;

  // Code points (the module's positions) ↔ UTF-16 offsets (the field's).
  const toPoints = (text, offset) => Array.from(text.slice(0, offset)).length;
  const toOffset = (text, points) => Array.from(text).slice(0, points).join('').length;

  let shell = null, module = null;
  let framePending = false, lastKeys = '', lastLayout = '', lastStrip = '', lastKinds = '', systemKeyboard = false;

  function frame() {
    framePending = false;
    const more = shell.drawFrame();
    showState(JSON.parse(shell.uiState()));
    // The curves beyond the view (for panning) once this frame is out.
    if (more) setTimeout(() => shell.completeLayer(), 0);
  }

  function requestFrame() {
    if (framePending || !shell) return;
    framePending = true;
    requestAnimationFrame(frame);
  }

  function resize() {
    const box = canvas.parentElement.getBoundingClientRect();
    const ratio = window.devicePixelRatio || 1;
    canvas.width = Math.max(1, Math.round(box.width * ratio));
    canvas.height = Math.max(1, Math.round(box.height * ratio));
    shell.resize(box.width, box.height, ratio);
    shell.keyboardSize(document.body.clientWidth, window.innerHeight);
    requestFrame();
  }

  // ---- what the module says to show -----------------------------------------------------------
  function showState(s) {
    $('kindLabel').textContent = s.label;
    $('secondRow').hidden = !s.second.label;
    $('secondLabel').textContent = s.second.label;
    fields[1].placeholder = s.second.placeholder;
    $('rangeRow').hidden = !s.range;
    if (s.range) {
      $('rangeMinLabel').textContent = s.range.min;
      $('rangeMaxLabel').textContent = s.range.max;
    }
    active = s.active;
    const kinds = JSON.stringify(s.kinds);
    if (kinds !== lastKinds) {
      lastKinds = kinds;
      $('addMenu').replaceChildren(...s.kinds.map(k => menuItem(k.text, () => shell.newFunction(k.kind), true)),
                                   menuItem('Add derivative', () => shell.addDerivative(), false, 'derivative'));
    }
    if (s.colors) {
      for (const [name, value] of Object.entries(s.colors)) document.documentElement.style.setProperty('--' + name, value);
      document.documentElement.classList.toggle('dark', s.dark);
      document.querySelector('meta[name="theme-color"]').content = s.themeColor;
      lastStrip = '';
    }
    $('plot').style.background = s.background;
    $('inputBar').hidden = s.bars !== 'shown';
    $('bottomBar').hidden = s.bars === 'none';
    $('barsItem').textContent = s.bars === 'none' ? 'Show bars' : 'Hide bars';
    field.placeholder = s.placeholder;
    if (s.fields !== undefined) {
      s.fields.forEach((text, i) => { fields[i].value = text; });
      const text = s.fields[active];
      fields[active].setSelectionRange(toOffset(text, s.selection[0]), toOffset(text, s.selection[0] + s.selection[1]));
    }
    if (s.editingDone && !keyboard.hidden) {
      if (fields.includes(document.activeElement)) document.activeElement.blur();
      setKeyboardShown(false);
    }
    if (s.systemKeyboard !== systemKeyboard) {
      systemKeyboard = s.systemKeyboard;
      setInputMode();
      if (systemKeyboard) fields[active].focus();
    }
    $('message').textContent = s.message;
    fields.forEach((f, i) => f.classList.toggle('refused', s.errorField === i));
    if (s.errorAt !== undefined) {
      const f = fields[s.errorAt[0]], at = toOffset(f.value, s.errorAt[1]);
      if (document.activeElement === f || document.activeElement === field) {
        f.focus();
        f.setSelectionRange(at, Math.min(f.value.length, toOffset(f.value, s.errorAt[1] + 1)));
      }
    }
    showInfo(s.info);
    const alert = $('alert');
    alert.hidden = !s.alert;
    if (s.alert) {
      $('alertTitle').textContent = s.alert.title;
      $('alertText').textContent = s.alert.text;
    }
    if (s.menu) setMenuShown(true);
    askDelete = s.askDelete;
    for (const b of document.querySelectorAll('.menu button[data-can]')) b.disabled = !s.can[b.dataset.can];
    for (const b of document.querySelectorAll('#bottomBar button[data-action], #menu button[data-action]')) {
      const a = b.dataset.action;
      if (a in s.toggles) b.setAttribute('aria-pressed', s.toggles[a] ? 'true' : 'false');
      if (a in s.can) b.disabled = !s.can[a];
    }
    const strip = JSON.stringify(s.functions);
    if (strip !== lastStrip) {
      lastStrip = strip;
      const nav = $('strip');
      nav.replaceChildren(...s.functions.map(f => {
        const b = document.createElement('button');
        b.textContent = f.label + f.formula;
        b.style.color = f.color;
        b.classList.toggle('current', f.current);
        b.addEventListener('click', () => { shell.select(f.id); requestFrame(); });
        return b;
      }));
    }
    showSliders(s.sliders, s.playing);
    showKeyboard(s.keyboard);
  }

  // ---- the sliders of a, b and c -------------------------------------------------------------
  // A row per parameter in use; rebuilt only when the rows change, so a
  // drag keeps its element. The name shows the row's bounds and step.
  let lastRows = '', sliderHeld = false, lastPlay = null;
  const boundsOpen = new Set(), sliderMessages = {};

  function showSliders(rows, playing) {
    const box = $('sliders');
    const shape = JSON.stringify(rows.map(r => r.p)) + [...boundsOpen].join();
    if (shape !== lastRows) {
      lastRows = shape;
      box.replaceChildren(...rows.map(sliderRow));
    }
    for (const r of rows) {
      const row = box.querySelector(`[data-p="${r.p}"]`);
      if (!row) continue;
      const range = row.querySelector('input[type=range]');
      if (!sliderHeld && r.position !== null) range.value = Math.round(r.position * 1000);
      const fields = [...row.querySelectorAll('input[data-field]')];
      for (const f of fields)
        if (document.activeElement !== f) f.value = r[['value', 'min', 'max', 'step'][f.dataset.field]];
      row.querySelector('.play').textContent = r.playing ? '❚❚' : '▶';
      row.querySelector('.message').textContent = sliderMessages[r.p] || '';
    }
    // A play moves on with the frames until it stops.
    if (playing && lastPlay === null) {
      lastPlay = performance.now();
      const tick = now => {
        if (lastPlay === null) return;
        shell.advancePlay((now - lastPlay) / 1000);
        lastPlay = now;
        requestFrame();
        requestAnimationFrame(tick);
      };
      requestAnimationFrame(tick);
    } else if (!playing) {
      lastPlay = null;
    }
  }

  function sliderRow(r) {
    const row = document.createElement('div');
    row.dataset.p = r.p;
    const line = document.createElement('div');
    line.className = 'parameter';
    const name = document.createElement('button');
    name.className = 'name';
    name.textContent = r.name + ' =';
    name.title = 'Bounds and step';
    name.addEventListener('click', () => {
      if (boundsOpen.has(r.p)) boundsOpen.delete(r.p); else boundsOpen.add(r.p);
      lastRows = '';
      requestFrame();
    });
    const range = document.createElement('input');
    range.type = 'range';
    range.min = 0;
    range.max = 1000;
    range.setAttribute('aria-label', r.name);
    const hold = () => { if (!sliderHeld) { sliderHeld = true; shell.sliderPress(r.p); } };
    range.addEventListener('pointerdown', hold);
    range.addEventListener('input', () => { hold(); shell.sliderDrag(range.value / 1000); requestFrame(); });
    const release = () => { if (sliderHeld) { sliderHeld = false; shell.sliderRelease(); requestFrame(); } };
    for (const type of ['change', 'pointerup', 'pointercancel']) range.addEventListener(type, release);
    const play = document.createElement('button');
    play.className = 'play';
    play.title = 'Play';
    play.addEventListener('click', () => { shell.togglePlay(r.p); requestFrame(); });
    const field = (which, label) => {
      const input = document.createElement('input');
      input.dataset.field = which;
      input.className = which ? '' : 'value';
      input.setAttribute('aria-label', r.name + ' ' + label);
      input.autocomplete = 'off';
      input.enterKeyHint = 'done';
      input.addEventListener('keydown', e => {
        if (e.key !== 'Enter') return;
        e.preventDefault();
        sliderMessages[r.p] = shell.sliderField(r.p, which, input.value.trim());
        if (!sliderMessages[r.p]) input.blur();
        requestFrame();
      });
      return input;
    };
    line.append(name, range, field(0, 'value'), play);
    const message = document.createElement('div');
    message.className = 'message';
    row.append(line);
    if (boundsOpen.has(r.p)) {
      const bounds = document.createElement('div');
      bounds.className = 'bounds';
      bounds.append('min', field(1, 'minimum'), 'max', field(2, 'maximum'), 'step', field(3, 'step'));
      row.append(bounds);
    }
    row.append(message);
    return row;
  }

  // The information panel, where the plot view puts it.
  function showInfo(i) {
    const box = $('info');
    box.hidden = i.hidden || !i.center;
    if (box.hidden) return;
    Object.assign(box.style, {left: i.center[0] + 'px', top: i.center[1] + 'px'});
    const start = $('infoStart');
    start.hidden = !i.maxed;
    // A field being typed in keeps its text.
    const put = (input, text, editable) => {
      input.readOnly = !editable;
      if (document.activeElement !== input) input.value = text;
    };
    if (i.maxed) {
      start.querySelector('.label').textContent = i.startLabel;
      put(start.querySelector('.value'), i.start, i.startEditable);
    }
    $('infoValue').querySelector('.label').textContent = i.valueLabel;
    put($('infoValue').querySelector('.value'), i.value, i.editable);
    $('infoText').textContent = i.text;
  }

  function showKeyboard(k) {
    const text = JSON.stringify(k);
    if (text === lastKeys) return;
    lastKeys = text;
    const all = k.pads.flatMap(pad => pad.keys);
    // A finger moving over the keys changes only which one is lit: the
    // buttons stay, so the page does not rebuild them at every move.
    const layout = JSON.stringify(all.map(({lit, ...key}) => key));
    if (layout !== lastLayout) {
      lastLayout = layout;
      keys.style.height = k.height + 'px';
      keys.replaceChildren(...all.map(key => {
        const b = document.createElement('button');
        b.textContent = key.text;
        b.tabIndex = -1;
        Object.assign(b.style, {left: key.x + 'px', top: key.y + 'px', width: key.w + 'px', height: key.h + 'px'});
        return b;
      }));
    }
    all.forEach((key, i) => keys.children[i].classList.toggle('lit', key.lit));
    const bar = $('errorBar');
    bar.hidden = k.error === null;
    bar.textContent = k.error || '';
    if (k.repeatDue !== null) setTimeout(() => { shell.keyboardTick(performance.now()); requestFrame(); },
                                         Math.max(0, k.repeatDue - performance.now()));
  }

  // Orlix's keys instead of the system's on a touch screen (or when shown
  // on a desktop), unless "ABC" asked for the system's.
  function setInputMode() {
    const mode = (touchScreen || !keyboard.hidden) && !systemKeyboard ? 'none' : 'text';
    for (const f of fields) f.inputMode = mode;
  }

  // A menu opens just above the button that opens it.
  function setMenuShown(on, menu = 'menu', button = 'menuButton') {
    closeMenus();
    $(menu).hidden = !on;
    $(button).setAttribute('aria-expanded', on ? 'true' : 'false');
    if (on) {
      // Above the button, scrolling when the room there is short.
      const top = $(button).getBoundingClientRect().top;
      Object.assign($(menu).style, {bottom: (window.innerHeight - top + 4) + 'px', maxHeight: Math.max(120, top - 8) + 'px'});
    }
  }

  function closeMenus() {
    for (const [menu, button] of [['menu', 'menuButton'], ['addMenu', 'addButton']]) {
      $(menu).hidden = true;
      $(button).setAttribute('aria-expanded', 'false');
    }
  }

  // An entry of a menu made by the page: it closes the menus and acts.
  function menuItem(text, act, enabled, can) {
    const b = document.createElement('button');
    b.setAttribute('role', 'menuitem');
    b.textContent = text;
    if (can) b.dataset.can = can;
    b.disabled = !enabled;
    b.addEventListener('click', () => { closeMenus(); act(); requestFrame(); });
    return b;
  }

  function setKeyboardShown(on) {
    keyboard.hidden = !on;
    document.body.classList.toggle('keyboardUp', on);
    setInputMode();
    resize();
  }

  // ---- the table of values -----------------------------------------------------------------
  // Rows come from the module as the list scrolls down to them.
  let tableShown = 0, tableTotal = 0;

  // The help page, the desktop app's own; loaded anew each time, so its
  // colours follow the appearance.
  function openHelp() {
    $('helpPage').src = 'help.html';
    $('helpPanel').hidden = false;
    $('helpDone').focus();
  }

  function openTable() {
    const t = JSON.parse(shell.openTable());
    if (!t) return;
    $('tableRows').tHead.rows[0].replaceChildren(...t.headers.map(h => {
      const th = document.createElement('th');
      th.textContent = h;
      return th;
    }));
    $('tableStart').value = t.start;
    $('tableStep').value = t.step;
    $('tableMessage').textContent = '';
    $('tablePanel').hidden = false;
    restartTable();
  }

  function restartTable() {
    $('tableRows').tBodies[0].replaceChildren();
    tableShown = 0;
    tableTotal = 1;
    $('tableScroll').scrollTop = 0;
    moreRows();
  }

  function moreRows() {
    const box = $('tableScroll');
    // A screenful and a half ahead of what is in sight.
    while (tableShown < tableTotal && box.scrollHeight - box.scrollTop < box.clientHeight * 2.5) {
      const part = JSON.parse(shell.tableRows(tableShown, 60));
      tableTotal = part.total;
      if (!part.rows.length) break;
      $('tableRows').tBodies[0].append(...part.rows.map(cells => {
        const tr = document.createElement('tr');
        tr.append(...cells.map(c => {
          const td = document.createElement('td');
          td.textContent = c;
          return td;
        }));
        return tr;
      }));
      tableShown += part.rows.length;
    }
  }

  function applyTable() {
    const refused = shell.setTableStart($('tableStart').value.trim(), $('tableStep').value.trim());
    $('tableMessage').textContent = refused;
    if (!refused) restartTable();
  }

  function closeTable() {
    $('tablePanel').hidden = true;
    shell.closeTable();
  }

  function wireTable() {
    $('tableScroll').addEventListener('scroll', moreRows);
    $('tableApply').addEventListener('click', applyTable);
    $('tableDone').addEventListener('click', closeTable);
    for (const f of [$('tableStart'), $('tableStep')])
      f.addEventListener('keydown', e => { if (e.key === 'Enter') { e.preventDefault(); applyTable(); } });
    $('tableCopy').addEventListener('click', () => {
      const text = shell.tableText();
      if (navigator.clipboard) navigator.clipboard.writeText(text).catch(() => {
        $('tableMessage').textContent = 'The browser did not let Orlix copy the table.';
      });
    });
  }

  // ---- the function settings --------------------------------------------------------------
  const sliders = ['settingsR', 'settingsG', 'settingsB'];

  function showSettings(st) {
    sliders.forEach((id, i) => { $(id).value = Math.round(st.color[i] * 255); });
    $('settingsSwatch').style.background = st.css;
    $('settingsDensityLabel').textContent = st.gridSize ? 'Grid size' : 'N';
  }

  function openSettings() {
    // The dash preview (surface 1), at the screen's pixels.
    const dash = $('settingsDash'), ratio = window.devicePixelRatio || 1;
    dash.width = 120 * ratio;
    dash.height = 24 * ratio;
    const st = JSON.parse(shell.openSettings());
    if (!st) return;
    showSettings(st);
    $('settingsDensity').value = String(st.density);
    $('settingsMessage').textContent = '';
    $('settingsPanel').hidden = false;
  }

  function wireSettings() {
    for (const id of sliders)
      $(id).addEventListener('input', () =>
        showSettings(JSON.parse(shell.setSettingsColor(...sliders.map(s => Number($(s).value) / 255)))));
    $('settingsNextColor').addEventListener('click', () => showSettings(JSON.parse(shell.nextSettingsColor())));
    $('settingsDash').addEventListener('click', () => showSettings(JSON.parse(shell.nextSettingsDash())));
    const done = () => {
      const refused = shell.settingsDone($('settingsDensity').value.trim());
      $('settingsMessage').textContent = refused;
      if (!refused) $('settingsPanel').hidden = true;
      requestFrame();
    };
    $('settingsDone').addEventListener('click', done);
    $('settingsDensity').addEventListener('keydown', e => { if (e.key === 'Enter') { e.preventDefault(); done(); } });
    $('settingsCancel').addEventListener('click', () => { $('settingsPanel').hidden = true; });
  }

  // ---- the preferences ---------------------------------------------------------------------
  // Built from the core's tables of switches and choices; nothing is
  // applied before Done.
  function showPreferences(p) {
    for (const [group, box] of [['app', $('prefApp')], ['launch', $('prefLaunch')]]) {
      const controls = p.switches.filter(c => c.group === group).map(c => {
        const label = document.createElement('label');
        label.className = 'switch';
        const input = document.createElement('input');
        input.type = 'checkbox';
        input.checked = c.on;
        input.dataset.id = c.id;
        input.addEventListener('change', () => showPreferences(JSON.parse(shell.setPreference('switch', c.id, input.checked ? 1 : 0))));
        label.append(input, c.label);
        return label;
      }).concat(p.choices.filter(c => c.group === group).map(c => {
        const div = document.createElement('div');
        div.className = 'choice';
        div.textContent = c.label;
        const segments = document.createElement('div');
        segments.className = 'segments';
        segments.setAttribute('role', 'group');
        segments.setAttribute('aria-label', c.label);
        segments.append(...c.segments.map((text, i) => {
          const b = document.createElement('button');
          b.textContent = text;
          b.setAttribute('aria-pressed', i === c.selected ? 'true' : 'false');
          b.addEventListener('click', () => showPreferences(JSON.parse(shell.setPreference('choice', c.id, i))));
          return b;
        }));
        div.append(segments);
        return div;
      }));
      box.querySelector('.controls').replaceChildren(...controls);
    }
    $('prefDeleteAll').disabled = p.deleteAll;
    $('prefDeleteAll').textContent = p.deleteAll ? 'Functions deleted (on Done)' : 'Delete all functions';
    $('prefResetPosition').disabled = p.resetPosition;
    $('prefResetPosition').textContent = p.resetPosition ? 'Position reset (on Done)' : 'Reset position';
  }

  function openPreferences() {
    showPreferences(JSON.parse(shell.openPreferences()));
    $('preferencesPanel').hidden = false;
  }

  function wirePreferences() {
    $('prefReset').addEventListener('click', () => showPreferences(JSON.parse(shell.setPreference('reset', 0, 0))));
    $('prefDeleteAll').addEventListener('click', () => {
      if (window.confirm('You really want to delete all functions?'))
        showPreferences(JSON.parse(shell.setPreference('deleteAll', 0, 0)));
    });
    $('prefResetPosition').addEventListener('click', () =>
      showPreferences(JSON.parse(shell.setPreference('resetPosition', 0, 0))));
    $('prefCancel').addEventListener('click', () => { $('preferencesPanel').hidden = true; });
    $('prefDone').addEventListener('click', () => {
      $('preferencesPanel').hidden = true;
      shell.preferencesDone();
      requestFrame();
    });
  }

  // ---- input ---------------------------------------------------------------------------------
  function syncField(i = active) {
    const f = fields[i], v = f.value;
    const start = toPoints(v, f.selectionStart ?? v.length);
    shell.setField(i, v, start, toPoints(v, f.selectionEnd ?? v.length) - start);
  }

  function commit() {
    fields.forEach((f, i) => syncField(i));
    shell.commit();
    requestFrame();
  }

  function pointerOn(element, handler) {
    const phase = {pointerdown: 0, pointermove: 1, pointerup: 2, pointercancel: 3};
    for (const type of Object.keys(phase))
      element.addEventListener(type, e => {
        if (type === 'pointermove' && e.buttons === 0 && e.pointerType === 'mouse') return;
        if (type === 'pointerdown') element.setPointerCapture(e.pointerId);
        const box = element.getBoundingClientRect();
        handler(e.pointerId, e.clientX - box.left, e.clientY - box.top, phase[type], e.timeStamp, e);
        e.preventDefault();
        requestFrame();
      });
  }

  function wire() {
    // A mouse has buttons of its own (a right-drag sets a range); a finger
    // or a pen is a finger.
    pointerOn(canvas, (id, x, y, p, t, e) => {
      if (e.pointerType === 'mouse') shell.mouse(p, e.button, e.shiftKey, x, y, t);
      else shell.pointer(id, x, y, p, t);
    });
    canvas.addEventListener('contextmenu', e => e.preventDefault());
    pointerOn(keys, (id, x, y, p, t) => {
      if (p === 0) syncField(active);
      shell.keyboardTouch(id, x, y, p, t);
    });
    canvas.addEventListener('wheel', e => {
      e.preventDefault();
      const box = canvas.getBoundingClientRect();
      const unit = e.deltaMode === 1 ? 33 : e.deltaMode === 2 ? box.height : 1;
      shell.wheel(e.clientX - box.left, e.clientY - box.top, e.deltaY * unit);
      requestFrame();
    }, {passive: false});
    fields.forEach((f, i) => {
      f.addEventListener('input', () => syncField(i));
      f.addEventListener('keydown', e => {
        if (e.key === 'Enter') { e.preventDefault(); commit(); }
      });
      f.addEventListener('focus', () => {
        active = i;
        syncField(i);
        shell.focusField(i);
        if (touchScreen) setKeyboardShown(true);
        requestFrame();
      });
    });
    $('keyboardButton').addEventListener('click', () => setKeyboardShown(keyboard.hidden));
    for (const b of document.querySelectorAll('#bottomBar button[data-action], #menu button[data-action]'))
      b.addEventListener('click', () => {
        if (b.dataset.action === 'delete' && askDelete && !window.confirm('Delete function?')) return;
        closeMenus();
        shell.action(b.dataset.action);
        requestFrame();
      });
    for (const b of document.querySelectorAll('#menu button[data-share]'))
      b.addEventListener('click', () => {
        closeMenus();
        shell.sharePicture(b.dataset.share, Number(b.dataset.scale || 1));
        requestFrame();
      });
    $('menuButton').addEventListener('click', () => setMenuShown($('menu').hidden));
    $('menu').querySelector('[data-panel="table"]').addEventListener('click', () => { closeMenus(); openTable(); });
    wireTable();
    $('menu').querySelector('[data-panel="preferences"]').addEventListener('click', () => { closeMenus(); openPreferences(); });
    $('menu').querySelector('[data-panel="help"]').addEventListener('click', () => { closeMenus(); openHelp(); });
    $('prefHelp').addEventListener('click', () => { $('preferencesPanel').hidden = true; openHelp(); });
    $('helpDone').addEventListener('click', () => { $('helpPanel').hidden = true; });
    // The help page in the page's own colours, light or dark.
    $('helpPage').addEventListener('load', () => {
      const doc = $('helpPage').contentDocument;
      if (!doc) return;
      const style = doc.createElement('style');
      style.textContent = ':root { color-scheme: ' + (document.documentElement.classList.contains('dark') ? 'dark' : 'light') +
          '; } body { font-family: system-ui, sans-serif; line-height: 1.45; margin: 8px; }';
      doc.head.appendChild(style);
    });
    wirePreferences();
    $('menu').querySelector('[data-panel="settings"]').addEventListener('click', () => { closeMenus(); openSettings(); });
    wireSettings();
    // Typing into the information panel: a value of the variable, or a
    // range's ends.
    [$('infoStart'), $('infoValue')].forEach((row, id) => {
      const input = row.querySelector('.value');
      input.addEventListener('focus', () => {
        if (!shell.infoEdit(id)) { input.blur(); return; }
        $('infoMessage').textContent = '';
        input.select();
      });
      input.addEventListener('keydown', e => {
        if (e.key === 'Enter') {
          e.preventDefault();
          const refused = shell.infoConfirm(id, input.value.trim());
          $('infoMessage').textContent = refused;
          if (!refused) input.blur();
        } else if (e.key === 'Escape') {
          input.blur();
        }
      });
      input.addEventListener('blur', () => { shell.infoCancel(id); requestFrame(); });
    });
    $('addButton').addEventListener('click', () => setMenuShown($('addMenu').hidden, 'addMenu', 'addButton'));
    // A tap anywhere else closes the menus.
    document.addEventListener('pointerdown', e => {
      if (!e.target.closest('.menu, #menuButton, #addButton')) closeMenus();
    }, true);
    // The desktop's keys. In the formula field its own typing comes first.
    document.addEventListener('keydown', e => {
      const key = e.key.toLowerCase(), ctrl = e.ctrlKey || e.metaKey;
      const inField = fields.includes(e.target);
      let action = null;
      if (ctrl && key === 'z' && !inField) action = e.shiftKey ? 'redo' : 'undo';
      else if (ctrl && key === 'y' && !inField) action = 'redo';
      else if (ctrl && key === 'f') action = 'fit';
      // Tab on the plane (elsewhere it moves the focus), or F11: the bars,
      // then the bottom bar alone, then none, then both again.
      else if ((key === 'tab' && (e.target === document.body || e.target === canvas)) || key === 'f11') action = 'bars';
      if (action) {
        e.preventDefault();
        shell.action(action);
        requestFrame();
      } else if (ctrl && key === 's') {
        e.preventDefault();
        setMenuShown(true);
      } else if (ctrl && key === ',') {
        e.preventDefault();
        openPreferences();
      } else if (ctrl && key === 't') {
        e.preventDefault();
        openTable();
      } else if (key === 'f1') {
        e.preventDefault();
        openHelp();
      } else if (key === 'escape') {
        $('helpPanel').hidden = true;
        closeMenus();
        if (!$('tablePanel').hidden) closeTable();
        if (!$('preferencesPanel').hidden) $('preferencesPanel').hidden = true;
        if (!$('settingsPanel').hidden) $('settingsPanel').hidden = true;
      }
    });
    $('alertOk').addEventListener('click', () => { shell.action('dismissAlert'); requestFrame(); });
    new ResizeObserver(resize).observe(canvas.parentElement);
    // Light or dark as the system is.
    const darkScheme = window.matchMedia('(prefers-color-scheme: dark)');
    shell.setSystemDark(darkScheme.matches);
    darkScheme.addEventListener('change', e => { shell.setSystemDark(e.matches); requestFrame(); });
    // What is committed is saved at once; a view moved since is saved as
    // the page goes out of sight or away.
    document.addEventListener('visibilitychange', () => { if (document.hidden) shell.save(); });
    window.addEventListener('pagehide', () => shell.save());
  }

  window.orlixTest = {
    ready: null,
    state: () => JSON.parse(shell.testState()),
    toDevice: (x, y) => JSON.parse(shell.userToDevice(x, y)),
    drawNow: () => { framePending = false; frame(); },
    save: () => shell.save(),
    // For the browser benchmark (bench/web/page_bench.cjs): a finger as the
    // canvas's pointer events hand it on, and every curve sampled afresh.
    pointer: (id, x, y, phase, t) => shell.pointer(id, x, y, phase, t),
    resampleAll: () => shell.resampleAll(),
  };

  // The engine is WebAssembly: a browser without it (or with it turned
  // off) gets a plain word instead of a page that never starts.
  const cannotStart = typeof WebAssembly !== 'object' ? 'Orlix needs WebAssembly, which this browser does not have ' +
      'or has turned off. A current Chrome, Firefox, Safari or Edge runs it.'
    : typeof createOrlix !== 'function' ? 'Orlix could not load its engine (orlix.js). Reload the page to try again.'
    : '';
  if (cannotStart) {
    $('loading').textContent = cannotStart;
    $('loading').setAttribute('role', 'alert');
    return;
  }

  window.orlixTest.ready = createOrlix({
    // The module draws on these by number: the plane, and the settings'
    // dash preview; its layers take the numbers after them.
    orlixSurfaces: [{canvas, ctx: canvas.getContext('2d')},
                    {canvas: $('settingsDash'), ctx: $('settingsDash').getContext('2d')}],
    orlixRequestFrame: () => requestFrame(),
    // A picture to keep: the browser downloads it.
    orlixSave: (name, blob) => {
      const link = document.createElement('a');
      link.href = URL.createObjectURL(blob);
      link.download = name;
      document.body.append(link);
      link.click();
      link.remove();
      setTimeout(() => URL.revokeObjectURL(link.href), 60000);
    },
  }).then(m => {
    module = m;
    shell = new m.Shell('orlix.store');
    wire();
    resize();
    setKeyboardShown(false);
    $('loading').hidden = true;
    frame();
  }).catch(e => {
    $('loading').textContent = 'Orlix could not start: ' + e;
    throw e;
  });

  if ('serviceWorker' in navigator)
    navigator.serviceWorker.register('sw.js').catch(e => console.warn('Orlix: no offline copy:', e));
})();
