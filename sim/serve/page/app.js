// The inspector: draws the served panel's state and follows its event stream. Every
// action goes through the same JSON API that tools use; nothing here knows the panel.
'use strict';

const $ = (sel, root = document) => root.querySelector(sel);
const el = (tag, attrs = {}, ...children) => {
  const e = document.createElement(tag);
  for (const [k, v] of Object.entries(attrs)) {
    if (k === 'class') e.className = v;
    else if (k.startsWith('on')) e.addEventListener(k.slice(2), v);
    else e.setAttribute(k, v);
  }
  for (const c of children) e.append(c);
  return e;
};

const page = {
  handlersOf: new Map(),   // window name -> its handler keys' window name
  propCells: new Map(),    // handler key -> the value element
  tagRows: new Map(),      // tag name -> row
  bareNames: new Map(),    // a name without its group -> the one tag that has it
  pins: JSON.parse(localStorage.getItem('hmisim.pins') || '[]'),
  series: new Map(),       // pinned tag -> [[time_ms, value], ...]
  log: [],                 // the newest events, bounded
  kinds: new Set(),
  stats: { received: 0, resyncs: 0, batches: 0, statuses: 0, opened: 0 },
  now: 0,
  seq: 0,                  // the newest message of the stream shown so far
  refetching: null,
};
window.hmiInspector = page;  // for tests and measures
const LOG_LIMIT = 2000;
const SERIES_LIMIT = 2000;

// ---- talking to the server ----

async function api(path, body) {
  const init = body === undefined ? {} : {
    method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(body),
  };
  const res = await fetch('/api/' + path, init);
  const type = res.headers.get('Content-Type') || '';
  const data = type.startsWith('application/json') ? await res.json() : await res.text();
  if (!res.ok) {
    const message = data && data.error ? data.error : res.status + ' ' + res.statusText;
    throw Object.assign(new Error(message), { status: res.status, data });
  }
  return data;
}

function say(text) {
  const m = $('#message');
  m.textContent = text || '';
  clearTimeout(say.timer);
  if (text) say.timer = setTimeout(() => { m.textContent = ''; }, 6000);
}

async function act(action, body = {}) {
  try {
    const reply = await api(action, body);
    say('');
    if (reply.state) render(reply.state);
    return reply;
  } catch (e) {
    say(e.message);
    if (e.data && e.data.dialog) showDialog(e.data.dialog);
    throw e;
  }
}

async function refetch() {
  if (page.refetching) return page.refetching;
  page.refetching = api('state').then(render, e => say(e.message))
    .finally(() => { page.refetching = null; });
  return page.refetching;
}
let refetchTimer = null;
function refetchSoon() {
  if (!refetchTimer) refetchTimer = setTimeout(() => { refetchTimer = null; refetch(); }, 30);
}

// ---- values as what they are ----

function colourCss(text) {  // 0xBBGGRR as the scripts write it
  const n = parseInt(text, 16) >>> 0;
  const r = n & 255, g = (n >> 8) & 255, b = (n >> 16) & 255;
  return `rgb(${r},${g},${b})`;
}
const unquote = v => (v.length >= 2 && v[0] === '"' && v[v.length - 1] === '"') ? v.slice(1, -1) : v;

function drawProp(cell) {
  const { kind, value } = cell.dataset;
  const property = cell.dataset.property;
  const shown = cell.querySelector('.shown');
  shown.textContent = '';
  if (kind === 'colour') {
    const s = el('span', { class: 'swatch', title: value });
    s.style.background = colourCss(value);
    shown.append(s, el('span', { class: 'num' }, value));
  } else if (kind === 'text') {
    shown.append(el('span', { class: 'text' }, unquote(value)));
  } else if (kind === 'flag') {
    shown.append(el('span', { class: 'num' }, value === '1' ? '●' : '○'), ' ' + value);
  } else {
    const n = Number(value);
    const max = Math.max(Math.abs(n), Number(cell.dataset.max || 0), 1);
    cell.dataset.max = max;
    const bar = el('span', { class: 'bar' });
    bar.style.width = Math.round(70 * Math.abs(n) / max) + 'px';
    shown.append(el('span', { class: 'num' }, value), bar);
  }
  const widget = cell.closest('.widget');
  if (widget && kind === 'flag') {
    if (property === 'visible') widget.classList.toggle('gone', value !== '1');
    if (property === 'flash') widget.classList.toggle('flash', value === '1');
    if (property === 'enable') widget.classList.toggle('disabled', value !== '1');
  }
}

function setProp(key, value) {
  const cell = page.propCells.get(key);
  if (!cell || cell.dataset.value === value) return;
  cell.dataset.value = value;
  drawProp(cell);
}

// ---- windows ----

function windowCard(w) {
  const card = el('section', { class: 'card' + (w.modal ? ' modal' : ''), 'data-window': w.name,
                               'data-shown': '1' });
  const hide = el('button', { 'data-window-hide': w.name, title: 'hide it (runs its close handler)',
                              onclick: () => act('hide', { window: w.name }).catch(() => {}) }, 'Hide');
  const head = el('header', {}, el('h2', {}, 'window ' + w.name));
  if (w.modal) head.append(el('span', { class: 'badge' }, 'modal'));
  if (w.handlers && w.handlers !== w.name) head.append(el('span', { class: 'muted' }, `keys "${w.handlers}_…"`));
  for (const t of w.timers) head.append(el('span', { class: 'muted' }, `timer ${t.widget} every ${t.period_ms} ms`));
  head.append(hide);
  card.append(head);
  const grid = el('div', { class: 'widgets' });
  for (const wd of w.widgets) {
    if (wd.name === 'window' && wd.props.length === 0) continue;
    const clickable = wd.events.includes('click');
    const widget = clickable
      ? el('button', { class: 'widget', 'data-widget': wd.name, title: 'click: touch and run its handler' })
      : el('div', { class: 'widget', 'data-widget': wd.name });
    if (clickable) widget.addEventListener('click', () => act('click', { window: w.name, widget: wd.name }).catch(() => {}));
    const other = wd.events.filter(e => e !== 'click');
    widget.append(el('span', { class: 'name' }, wd.name + (other.length ? ' · ' + other.join(', ') : '')));
    for (const p of wd.props) {
      const cell = el('span', { class: 'prop', 'data-prop': p.key, 'data-value': p.value,
                                'data-kind': p.kind, 'data-property': p.property });
      cell.append(el('span', { class: 'pname' }, p.property), el('span', { class: 'shown' }));
      widget.append(cell);
      page.propCells.set(p.key, cell);
    }
    grid.append(widget);
  }
  card.append(grid);
  for (const cell of card.querySelectorAll('[data-prop]')) drawProp(cell);
  return card;
}

function windowChip(w) {
  return el('section', { class: 'chip' + (w.handlers ? '' : ' nohandlers'), 'data-window': w.name,
                         'data-shown': '0' },
    el('button', { class: 'pin', title: 'show it (runs its open handler)',
                   onclick: () => act('show', { window: w.name }).catch(() => {}) }, w.name));
}

function drawWindows(state) {
  const shape = JSON.stringify(state.windows.map(w => [w.name, w.shown, w.modal, w.widgets.length]));
  if (shape === page.windowShape) {
    for (const w of state.windows) {
      for (const wd of w.widgets) for (const p of wd.props) setProp(p.key, p.value);
    }
    return;
  }
  page.windowShape = shape;
  page.propCells.clear();
  const cards = $('#cards'), chips = $('#hidden-windows');
  cards.textContent = '';
  chips.textContent = '';
  for (const w of state.windows) {
    page.handlersOf.set(w.name, w.handlers);
    (w.shown ? cards : chips).append(w.shown ? windowCard(w) : windowChip(w));
  }
}

// ---- tags ----

function globRegExp(glob) {
  const esc = glob.trim().replace(/[.+^${}()|\\]/g, '\\$&').replace(/\*/g, '.*').replace(/\?/g, '.');
  return new RegExp('^(' + esc.split(/\s*,\s*|\s+/).filter(Boolean).join('|') + ')$');
}

function tagRow(t) {
  const pin = el('button', { class: 'pin', title: 'pin to the watch list' }, '☆');
  pin.addEventListener('click', () => togglePin(t.name));
  const value = el('td', { class: 'value', title: 'click to set' }, t.value);
  value.addEventListener('click', () => editTag(row, t.name));
  const row = el('tr', { 'data-tag': t.name, 'data-value': t.value, 'data-kind': t.kind },
    el('td', {}, pin), el('td', {}, t.name + (t.param ? ' ◆' : '')), el('td', { class: 'muted' }, t.kind), value);
  return row;
}

function drawTags(state) {
  const body = $('#tag-table tbody');
  if (page.tagRows.size !== state.tags.length) {
    body.textContent = '';
    page.tagRows.clear();
    const counts = new Map();
    for (const t of state.tags) {
      const bare = t.name.slice(t.name.indexOf('.') + 1);
      counts.set(bare, (counts.get(bare) || 0) + 1);
      page.bareNames.set(bare, t.name);
      const row = tagRow(t);
      page.tagRows.set(t.name, row);
      body.append(row);
    }
    for (const [bare, n] of counts) if (n > 1) page.bareNames.delete(bare);
    filterTags();
  }
  for (const t of state.tags) setTag(t.name, t.value, state.time_ms);
  drawPins();
}

function setTag(name, value, time) {
  if (!name.includes('.')) name = page.bareNames.get(name) || name;
  const row = page.tagRows.get(name);
  if (!row) return;
  if (row.dataset.value !== value) {
    row.dataset.value = value;
    const cell = row.cells[3];
    if (!cell.querySelector('input')) cell.textContent = value;
  }
  if (page.pins.includes(name)) record(name, value, time);
}

function filterTags() {
  let re;
  try { re = globRegExp($('#tag-filter').value || '*'); } catch { return; }
  for (const [name, row] of page.tagRows) row.hidden = !re.test(name);
}

function editTag(row, name) {
  const cell = row.cells[3];
  if (cell.querySelector('input')) return;
  const input = el('input', { 'data-tag-input': name, value: unquote(row.dataset.value) });
  const error = el('span', { class: 'error' });
  cell.textContent = '';
  cell.append(input, error);
  input.focus();
  input.select();
  const close = () => { cell.textContent = row.dataset.value; };
  input.addEventListener('keydown', async ev => {
    if (ev.key === 'Escape') close();
    if (ev.key !== 'Enter') return;
    try {
      await act('set', { tag: name, value: input.value });
      close();
    } catch (e) { error.textContent = e.message; }
  });
  input.addEventListener('blur', () => setTimeout(() => { if (!error.textContent) close(); }, 150));
}

// ---- watch list and plot ----

function togglePin(name) {
  const i = page.pins.indexOf(name);
  if (i >= 0) page.pins.splice(i, 1); else page.pins.push(name);
  localStorage.setItem('hmisim.pins', JSON.stringify(page.pins));
  const row = page.tagRows.get(name);
  if (row) record(name, row.dataset.value, page.now);
  drawPins();
}

function record(name, value, time) {
  const n = Number(value);
  if (!Number.isFinite(n)) return;
  let s = page.series.get(name);
  if (!s) page.series.set(name, s = []);
  if (s.length && s[s.length - 1][0] === time) s[s.length - 1][1] = n;
  else s.push([time, n]);
  if (s.length > SERIES_LIMIT) s.splice(0, s.length - SERIES_LIMIT);
  plotSoon();
}

const COLOURS = ['#1f6feb', '#d32f2f', '#2e7d32', '#f57c00', '#6a1b9a', '#00838f', '#5d4037'];
function drawPins() {
  const table = $('#watch-table');
  table.textContent = '';
  $('#watch-empty').hidden = page.pins.length > 0;
  for (const row of page.tagRows.values()) {
    const on = page.pins.includes(row.dataset.tag);
    const pin = row.querySelector('.pin');
    pin.classList.toggle('on', on);
    pin.textContent = on ? '★' : '☆';
  }
  page.pins.forEach((name, i) => {
    const row = page.tagRows.get(name);
    const unpin = el('button', { class: 'pin on', title: 'unpin' }, '★');
    unpin.addEventListener('click', () => togglePin(name));
    const swatch = el('i');
    swatch.style.background = COLOURS[i % COLOURS.length];
    table.append(el('tr', { 'data-watch': name }, el('td', {}, unpin), el('td', {}, swatch, ' ' + name),
                    el('td', { class: 'value' }, row ? row.dataset.value : '?')));
  });
  plotSoon();
}

let plotPending = false;
function plotSoon() {
  if (plotPending) return;
  plotPending = true;
  requestAnimationFrame(() => { plotPending = false; plot(); });
}

// A small SVG plot of the pinned numeric tags against simulated time: steps, since a
// tag keeps its value until it is written again; each line scaled to its own range
// (the legend gives it), so that a flag and a duration in seconds both show.
function plot() {
  for (const tr of $('#watch-table').rows) {
    const row = page.tagRows.get(tr.dataset.watch);
    if (row) tr.cells[2].textContent = row.dataset.value;
  }
  const svg = $('#plot'), legend = $('#legend');
  svg.textContent = '';
  legend.textContent = '';
  const W = 400, H = 160, ns = 'http://www.w3.org/2000/svg';
  let t0 = Infinity, t1 = -Infinity;
  const lines = [];
  page.pins.forEach((name, i) => {
    const s = page.series.get(name);
    if (!s || !s.length) return;
    let v0 = Infinity, v1 = -Infinity;
    for (const [t, v] of s) { t0 = Math.min(t0, t); t1 = Math.max(t1, t); v0 = Math.min(v0, v); v1 = Math.max(v1, v); }
    if (v1 <= v0) { v1 = v0 + 1; }
    lines.push({ name, s, colour: COLOURS[i % COLOURS.length], v0, v1 });
  });
  t1 = Math.max(t1, page.now);
  if (!lines.length) return;
  if (t1 <= t0) t1 = t0 + 1000;
  const x = t => (t - t0) / (t1 - t0) * (W - 10) + 5;
  const text = (tx, ty, s, anchor = 'start') => {
    const e = document.createElementNS(ns, 'text');
    e.setAttribute('x', tx); e.setAttribute('y', ty); e.setAttribute('font-size', '9');
    e.setAttribute('text-anchor', anchor); e.setAttribute('fill', '#6b7280'); e.textContent = s;
    svg.append(e);
  };
  text(5, H - 3, fmtTime(t0));
  text(W - 5, H - 3, fmtTime(t1), 'end');
  lines.forEach(({ name, s, colour, v0, v1 }, k) => {
    const y = v => H - 16 - (v - v0) / (v1 - v0) * (H - 26) - k;  // a pixel apart when equal
    let d = '';
    s.forEach(([t, v], n) => {
      d += (n ? `H${x(t).toFixed(1)}V${y(v).toFixed(1)}` : `M${x(t).toFixed(1)},${y(v).toFixed(1)}`);
    });
    d += `H${x(t1).toFixed(1)}`;
    const p = document.createElementNS(ns, 'path');
    p.setAttribute('d', d); p.setAttribute('fill', 'none'); p.setAttribute('stroke', colour);
    p.setAttribute('stroke-width', '1.5'); p.setAttribute('vector-effect', 'non-scaling-stroke');
    p.dataset.series = name;
    svg.append(p);
    const i = el('i'); i.style.background = colour;
    legend.append(el('span', {}, i, `${name} ${+v0.toPrecision(6)}…${+v1.toPrecision(6)}`));
  });
}

function fmtTime(ms) {
  const p = (n, w = 2) => String(Math.floor(n)).padStart(w, '0');
  return `${p(ms / 3600000)}:${p(ms / 60000 % 60)}:${p(ms / 1000 % 60)}.${p(ms % 1000, 3)}`;
}

// ---- time, running, dialogs ----

function drawStatus(s) {
  page.now = s.time_ms;
  $('[data-clock]').textContent = s.time;
  $('[data-clock]').dataset.timeMs = s.time_ms;
  $('#wallclock').textContent = s.clock_text;
  const r = s.running;
  $('#running').textContent = r ? (r.speed === 'max' ? 'running, as fast as possible' : `running ×${r.speed}`) +
    (r.until_ms !== null ? ' until ' + fmtTime(r.until_ms) : '') : '';
  showDialog(s.dialog);
  plotSoon();
  // The clock's tags change with time, not by events: fetched again now and then.
  if (r && performance.now() - (page.fetchedAt || 0) > 1000) refetchSoon();
}

function showDialog(d) {
  const layer = $('#modal-layer');
  const key = d ? JSON.stringify(d) : '';
  if (key === layer.dataset.key) return;
  layer.dataset.key = key;
  layer.textContent = '';
  layer.hidden = !d;
  if (!d) return;
  const box = el('div', { class: 'dialog', role: 'dialog', 'aria-modal': 'true', 'data-dialog': d.kind });
  const answer = async body => {
    try { await act('answer', body); } catch (e) { refusal.textContent = e.message; }
  };
  const refusal = el('div', { class: 'refusal' });
  if (d.kind === 'msgbox') {
    box.append(el('h2', {}, d.title), el('p', {}, d.text));
    const buttons = el('div', { class: 'buttons' });
    for (const a of d.answers) {
      buttons.append(el('button', { 'data-answer': String(a.answer), onclick: () => answer({ answer: a.answer }) },
        a.label));
    }
    box.append(refusal, buttons);
  } else {
    const input = el('input', { 'data-input': '', type: 'number', step: 'any', min: d.minimum, max: d.maximum });
    const ok = () => {
      const v = input.value.trim() === '' ? NaN : Number(input.value);
      if (!Number.isFinite(v)) { refusal.textContent = 'enter a number'; return; }
      if (v < d.minimum || v > d.maximum) {
        refusal.textContent = `${v} is outside the limits ${d.minimum} to ${d.maximum}`;
        return;
      }
      answer({ answer: 'ok', value: v });
    };
    input.addEventListener('keydown', ev => { if (ev.key === 'Enter') ok(); });
    box.append(el('h2', {}, d.prompt || 'input'), el('p', { class: 'limits' }, `${d.tag}: ${d.minimum} to ${d.maximum}`),
      input, refusal,
      el('div', { class: 'buttons' },
        el('button', { 'data-answer': 'ok', onclick: ok }, 'OK'),
        el('button', { 'data-answer': 'cancel', onclick: () => answer({ answer: 'cancel' }) }, 'Cancel')));
    setTimeout(() => input.focus(), 0);
  }
  layer.append(box);
}

function render(state) {
  // A reply or fetch that left the server before events the page already showed would
  // take it back in time: fetch again instead.
  if (state.seq < page.seq) { refetchSoon(); return; }
  page.fetchedAt = performance.now();
  pendingProps.clear();  // the state holds them, or newer
  pendingTags.clear();
  drawStatus(state);
  drawWindows(state);
  drawTags(state);
}

// ---- events ----

function eventLine(e) {
  const indent = '  '.repeat(e.depth || 0);
  const mark = e.type === 'expect' ? (e.met ? 'ok ' : 'FAIL ')
    : { say: '-- ', error: 'ERROR ', warning: 'warning: ' }[e.type] || '';
  return `${e.time} ${indent}${mark}${e.trace}`;
}

function wanted(e) {
  const w = $('#event-window').value.trim();
  const k = $('#event-kind').value;
  return (!w || e.window === w) && (!k || e.type === k);
}

// Values are written into the DOM once a frame, the newest of each: while time runs as
// fast as it can a widget changes far more often than a screen can show.
const pendingProps = new Map(), pendingTags = new Map();
let flushPending = false;
function flushSoon() {
  if (flushPending) return;
  flushPending = true;
  requestAnimationFrame(() => {
    flushPending = false;
    for (const [key, value] of pendingProps) setProp(key, value);
    for (const [name, value] of pendingTags) setTag(name, value, page.now);
    pendingProps.clear();
    pendingTags.clear();
  });
}

// A typed value as the readable trace writes it: colours 0xBBGGRR, texts quoted.
function readable(kind, value) {
  if (kind === 'colour') return '0x' + (Number(value) >>> 0).toString(16).toUpperCase().padStart(6, '0');
  if (kind === 'text') return '"' + value + '"';
  return String(value);
}

function apply(e) {
  page.now = Math.max(page.now, e.time_ms || 0);
  if (e.type === 'prop') {
    const handlers = page.handlersOf.get(e.window) || e.window;
    pendingProps.set(`${handlers}_${e.widget}_${e.property}`, readable(e.kind, e.value));
    flushSoon();
  } else if ((e.type === 'write' && e.known) || e.type === 'set') {
    const value = readable(e.kind, e.value);
    if (page.pins.includes(e.tag)) record(e.tag, value, e.time_ms);
    pendingTags.set(e.tag, value);
    flushSoon();
  } else if (e.type === 'input' || e.type === 'window' || e.type === 'show' || e.type === 'hide' ||
             e.type === 'clock') {
    refetchSoon();  // an input stores its value; windows come and go; the clock's tags
  }
}

// The log is drawn again at most five times a second: while time runs as fast as it
// can, events come faster than anyone reads them.
let logPending = false, logDrawn = 0;
function logSoon() {
  if (logPending) return;
  logPending = true;
  const wait = Math.max(0, logDrawn + 200 - performance.now());
  setTimeout(() => requestAnimationFrame(() => {
    logPending = false;
    logDrawn = performance.now();
    drawLog();
  }), wait);
}

function drawLog() {
  const box = $('#event-log');
  box.textContent = '';
  const frag = document.createDocumentFragment();
  let shown = 0;
  for (let i = page.log.length - 1; i >= 0 && shown < 500; --i) {
    const e = page.log[i];
    if (e.gap) { frag.prepend(el('div', { class: 'gap' }, e.gap)); continue; }
    if (!wanted(e)) continue;
    const failed = e.failed;
    frag.prepend(el('div', { class: 'e-' + (failed ? 'error' : e.type), 'data-event': e.type }, eventLine(e)));
    ++shown;
  }
  box.append(frag);
  $('#event-count').textContent = `(${page.stats.received} received, newest last)`;
  if ($('#event-follow').checked) box.scrollTop = box.scrollHeight;
}

function addEvents(events) {
  page.stats.received += events.length;
  page.stats.batches += 1;
  for (const e of events) {
    apply(e);
    if (!page.kinds.has(e.type)) {
      page.kinds.add(e.type);
      $('#event-kind').append(el('option', { value: e.type }, e.type));
    }
  }
  page.log.push(...events);
  if (page.log.length > LOG_LIMIT) page.log.splice(0, page.log.length - LOG_LIMIT);
  logSoon();
}

function resync() {
  page.stats.resyncs += 1;
  page.log.push({ gap: '… events skipped: this page fell behind; the state was fetched again' });
  refetch();
  logSoon();
}

// One stream a browser: a shared worker holds it for every tab of this inspector (a
// browser opens only a few connections to one server); without one, a stream a page.
function connect() {
  const handle = (kind, data, seq) => {
    if (seq) page.seq = Math.max(page.seq, Number(seq));
    if (kind === 'events') addEvents(data);
    else if (kind === 'status') { page.stats.statuses += 1; drawStatus(data); }
    else if (kind === 'resync') resync();
    else if (kind === 'open') { page.stats.opened += 1; page.seq = 0; refetch(); }
  };
  if (window.SharedWorker && !location.search.includes('stream=page')) {
    try {
      const worker = new SharedWorker('/events-worker.js');
      worker.port.onmessage = m => handle(m.data.kind, m.data.data, m.data.seq);
      worker.port.start();
      page.streamMode = 'shared';
      return;
    } catch (e) { /* fall through */ }
  }
  page.streamMode = 'page';
  const source = new EventSource('/api/events');
  source.addEventListener('events', m => handle('events', JSON.parse(m.data), m.lastEventId));
  source.addEventListener('status', m => handle('status', JSON.parse(m.data), m.lastEventId));
  source.addEventListener('resync', () => handle('resync'));
  source.addEventListener('open', () => handle('open'));
}

// ---- controls ----

function parseDuration(text) {
  const m = text.trim().match(/^(?:(\d+)h)?(?:(\d+)m(?!s))?(?:(\d+)s)?(?:(\d+)ms)?$/);
  if (!m || !text.trim()) return null;
  return ((+m[1] || 0) * 3600 + (+m[2] || 0) * 60 + (+m[3] || 0)) * 1000 + (+m[4] || 0);
}

function speedValue() {
  const v = $('#speed').value;
  return v === 'max' ? 'max' : Number(v);
}

document.addEventListener('click', ev => {
  const b = ev.target.closest('[data-action]');
  if (!b) return;
  const run = {
    run: () => act('run', { speed: speedValue() }),
    pause: () => act('pause'),
    step: () => act('step'),
    'run-for': () => {
      const ms = parseDuration($('#duration').value);
      if (!ms) return say(`'${$('#duration').value}' is not a duration (500ms, 10s, 2m, 1h, 1m30s)`);
      return act('run', { ms, speed: speedValue() });
    },
    clock: () => act('clock', { clock: $('#clock').value }),
    export: showExport,
  }[b.dataset.action];
  if (run) Promise.resolve(run()).catch(() => {});
});

async function showExport() {
  const query = page.pins.length ? '?expect=' + encodeURIComponent(page.pins.join(',')) : '';
  try {
    const text = await api('export' + query);
    $('[data-export]').textContent = text;
    $('#export-download').href = 'data:text/plain;charset=utf-8,' + encodeURIComponent(text);
    $('#export-layer').hidden = false;
  } catch (e) { say(e.message); }
}
$('#export-close').addEventListener('click', () => { $('#export-layer').hidden = true; });
$('#tag-filter').addEventListener('input', filterTags);
$('#event-window').addEventListener('input', logSoon);
$('#event-kind').addEventListener('change', logSoon);

refetch();
connect();
