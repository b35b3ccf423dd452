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
  painters: new Map(),     // handler key -> what draws its value into drawn elements
  painted: new Map(),      // handler key -> the value they show
  drawings: new Map(),     // a drawing's address -> its SVG text
  drawingsPending: new Set(),
  tagRows: new Map(),      // tag name -> row
  bareNames: new Map(),    // a name without its group -> the one tag that has it
  pins: JSON.parse(localStorage.getItem('hmisim.pins') || '[]'),
  series: new Map(),       // pinned tag -> [[time_ms, value], ...]
  log: [],                 // the newest events, bounded
  kinds: new Set(),
  stats: { received: 0, resyncs: 0, batches: 0, statuses: 0, opened: 0, flushes: 0 },
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
  let res;
  try {
    res = await fetch('/api/' + path, init);
  } catch (e) {  // no answer at all: the server is gone
    connection('lost');
    throw new Error('hmisim does not answer: ' + e.message);
  }
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
  page.refetching = api('state').then(async state => { await loadDrawings(state); render(state); },
                                     e => say(e.message))
    .finally(() => { page.refetching = null; });
  return page.refetching;
}
let refetchTimer = null;
function refetchSoon() {
  if (!refetchTimer) refetchTimer = setTimeout(() => { refetchTimer = null; refetch(); }, 30);
}

// ---- values as what they are ----

// The panel's colours are 0xBBGGRR (blue in the high byte), as the scripts write them.
function colourCss(text) {
  const n = parseInt(text, 16) >>> 0;
  const r = n & 255, g = (n >> 8) & 255, b = (n >> 16) & 255;
  return `rgb(${r},${g},${b})`;
}
function colourHex(text) {  // as the web writes it: #RRGGBB
  const n = parseInt(text, 16) >>> 0;
  return '#' + [n & 255, (n >> 8) & 255, (n >> 16) & 255].map(c => c.toString(16).padStart(2, '0')).join('').toUpperCase();
}
const unquote = v => (v.length >= 2 && v[0] === '"' && v[v.length - 1] === '"') ? v.slice(1, -1) : v;

function drawProp(cell) {
  const { kind, value } = cell.dataset;
  const property = cell.dataset.property;
  const shown = cell.querySelector('.shown');
  shown.textContent = '';
  if (kind === 'colour') {
    const why = `the panel writes colours as 0xBBGGRR: ${value} is ${colourHex(value)} (#RRGGBB)`;
    const s = el('span', { class: 'swatch', title: why });
    s.style.background = colourCss(value);
    shown.append(s, el('span', { class: 'num', title: why }, value), el('span', { class: 'bgr' }, 'BGR'));
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
  const painters = page.painters.get(key);
  if (painters && page.painted.get(key) !== value) {
    page.painted.set(key, value);
    for (const paint of painters) paint(value);
  }
  const cell = page.propCells.get(key);
  if (!cell || cell.dataset.value === value) return;
  cell.dataset.value = value;
  drawProp(cell);
}

// ---- windows ----

// A widget's card: its label first, its object name small beside it, then its
// properties' values.
function widgetCard(w, wd) {
  const clickable = wd.events.includes('click');
  const attrs = { class: 'widget', 'data-widget': wd.name };
  if (wd.label) attrs['data-label'] = wd.label;
  const widget = clickable
    ? el('button', Object.assign(attrs, { title: 'click: touch and run its handler' }))
    : el('div', attrs);
  if (clickable) widget.addEventListener('click', () => act('click', { window: w.name, widget: wd.name }).catch(() => {}));
  const other = wd.events.filter(e => e !== 'click');
  widget.append(el('span', { class: 'title' },
    el('span', { class: 'label' }, wd.label || wd.name),
    el('span', { class: 'name' }, (wd.label ? wd.name : '') + (other.length ? ' · ' + other.join(', ') : ''))));
  for (const p of wd.props) {
    const cell = el('span', { class: 'prop', 'data-prop': p.key, 'data-value': p.value,
                              'data-kind': p.kind, 'data-property': p.property });
    cell.append(el('span', { class: 'pname' }, p.property), el('span', { class: 'shown' }));
    widget.append(cell);
    page.propCells.set(p.key, cell);
  }
  return widget;
}

// The cards of a window, grouped as panel/widgets.txt groups them (lamps, valves, ...),
// in the order the groups are written.
function groupedCards(w) {
  const groups = new Map();
  for (const wd of w.widgets) {
    if (wd.name === 'window' && wd.props.length === 0) continue;
    const g = wd.group || 'widgets';
    if (!groups.has(g)) groups.set(g, []);
    groups.get(g).push(wd);
  }
  const box = el('div', { class: 'groups' });
  for (const [g, list] of groups) {
    const grid = el('div', { class: 'widgets' });
    for (const wd of list) grid.append(widgetCard(w, wd));
    box.append(el('div', { class: 'group', 'data-group': g }, el('h3', {}, g), grid));
  }
  return box;
}

function windowCard(w) {
  const card = el('section', { class: 'card' + (w.modal ? ' modal' : '') + (w.drawing ? ' drawn' : ''),
                               'data-window': w.name, 'data-shown': '1' });
  const hide = el('button', { 'data-window-hide': w.name, title: 'hide it (runs its close handler)',
                              onclick: () => act('hide', { window: w.name }).catch(() => {}) }, 'Hide');
  const head = el('header', {}, el('h2', {}, 'window ' + w.name));
  if (w.modal) head.append(el('span', { class: 'badge' }, 'modal'));
  if (w.handlers && w.handlers !== w.name) head.append(el('span', { class: 'muted' }, `keys "${w.handlers}_…"`));
  for (const t of w.timers) head.append(el('span', { class: 'muted' }, `timer ${t.widget} every ${t.period_ms} ms`));
  head.append(hide);
  card.append(head);
  if (w.drawing && page.drawings.has(w.drawing)) {
    card.append(drawing(w, page.drawings.get(w.drawing)));
    // Every widget's values stay at hand, folded under the picture.
    const more = el('details', { class: 'all-widgets' }, el('summary', {}, 'every widget of this window'));
    more.append(groupedCards(w));
    card.append(more);
  } else {
    if (w.drawing) fetchDrawing(w.drawing);
    card.append(groupedCards(w));
  }
  for (const cell of card.querySelectorAll('.prop[data-prop]')) drawProp(cell);
  return card;
}

// ---- drawn windows ----

// The drawings of every window, fetched once before the first drawing of the page: a
// window shown later is drawn at once.
function loadDrawings(state) {
  const urls = state.windows.map(w => w.drawing).filter(u => u && !page.drawings.has(u));
  return Promise.all(urls.map(url => fetch(url).then(r => r.ok ? r.text() : null)
    .then(text => { if (text) page.drawings.set(url, text); }, () => {})));
}

function fetchDrawing(url) {
  if (page.drawingsPending.has(url)) return;
  page.drawingsPending.add(url);
  fetch(url).then(r => r.ok ? r.text() : Promise.reject(new Error(r.status + ' ' + r.statusText)))
    .then(text => { page.drawings.set(url, text); page.windowShape = null; refetch(); },
          e => say(`drawing ${url}: ${e.message}`));
}

// The drawing of a window with each element that names a widget bound to it: colours
// fill it, a text shows in it, flags are classes, numbers move or turn it when asked
// (data-move="x", "y" or "rotate", times data-scale); a click runs its handler.
function drawing(w, text) {
  const box = el('div', { class: 'drawing' });
  box.innerHTML = text;  // checked at the server's start: no scripts, no event attributes
  const svg = box.querySelector('svg');
  if (svg) { svg.removeAttribute('width'); svg.removeAttribute('height'); }
  const widgets = new Map(w.widgets.map(wd => [wd.name, wd]));
  for (const node of box.querySelectorAll('[data-widget]')) {
    const wd = widgets.get(node.dataset.widget);
    if (!wd) continue;
    if (wd.label) node.dataset.label = wd.label;
    node.addEventListener('mouseenter', ev => showTip(ev, w, wd));
    node.addEventListener('mousemove', moveTip);
    node.addEventListener('mouseleave', hideTip);
    if (wd.events.includes('click')) {
      node.classList.add('clickable');
      node.addEventListener('click', ev => {
        ev.stopPropagation();
        act('click', { window: w.name, widget: wd.name }).catch(() => {});
      });
    }
    const byName = new Map(wd.props.map(p => [p.property, p]));
    let bound = [];
    if (node.dataset.prop) bound = [byName.get(node.dataset.prop)];
    else {
      const colour = wd.props.find(p => p.kind === 'colour');
      if (colour) bound.push(colour);
      if ((node.tagName === 'text' || node.tagName === 'tspan') && byName.has('text')) bound.push(byName.get('text'));
      for (const f of ['visible', 'enable', 'flash']) if (byName.has(f)) bound.push(byName.get(f));
    }
    for (const p of bound.filter(Boolean)) {
      const paint = value => paintProp(node, p, value);
      if (!page.painters.has(p.key)) page.painters.set(p.key, []);
      page.painters.get(p.key).push(paint);
      paint(p.value);
    }
  }
  return box;
}

function number(value) {
  return parseFloat(unquote(String(value)));
}

function paintProp(node, p, value) {
  if (p.kind === 'colour') {
    node.style.fill = colourCss(value);
    return;
  }
  if (p.kind === 'flag' && (p.property === 'visible' || p.property === 'enable' || p.property === 'flash')) {
    const cls = { visible: 'invisible', enable: 'disabled', flash: 'flash' }[p.property];
    node.classList.toggle(cls, p.property === 'flash' ? value === '1' : value !== '1');
    return;
  }
  node.dataset.value = unquote(String(value));
  const move = node.dataset.move;
  if (move) {
    const v = number(value) * (node.dataset.scale ? Number(node.dataset.scale) : 1);
    if (!Number.isFinite(v)) return;
    node.setAttribute('transform', move === 'x' ? `translate(${v} 0)` : move === 'y' ? `translate(0 ${v})`
      : `rotate(${v})`);
  } else if (node.tagName === 'text' || node.tagName === 'tspan') {
    node.textContent = unquote(String(value)) + (node.dataset.unit || '');
  }
}

// Hovering a drawn element: its label, its object name and its properties now.
function showTip(ev, w, wd) {
  const tip = $('#tip');
  tip.textContent = '';
  tip.append(el('b', {}, wd.label || wd.name), ' ', el('span', { class: 'muted' }, wd.name));
  for (const p of wd.props) {
    const cell = page.propCells.get(p.key);
    const value = cell ? cell.dataset.value : p.value;
    const row = el('div', {}, el('span', { class: 'muted' }, p.property + ' '));
    if (p.kind === 'colour') {
      const s = el('span', { class: 'swatch' });
      s.style.background = colourCss(value);
      row.append(s, ` ${value} (0xBBGGRR) = ${colourHex(value)}`);
    } else row.append(value);
    tip.append(row);
  }
  if (wd.events.includes('click')) tip.append(el('div', { class: 'muted' }, 'click: touch and run its handler'));
  tip.hidden = false;
  moveTip(ev);
}
function moveTip(ev) {
  const tip = $('#tip');
  tip.style.left = Math.min(ev.clientX + 14, innerWidth - tip.offsetWidth - 8) + 'px';
  tip.style.top = Math.min(ev.clientY + 14, innerHeight - tip.offsetHeight - 8) + 'px';
}
function hideTip() { $('#tip').hidden = true; }

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
  page.painters.clear();
  page.painted.clear();
  const cards = $('#cards'), chips = $('#hidden-windows');
  cards.textContent = '';
  chips.textContent = '';
  for (const w of state.windows) {
    page.handlersOf.set(w.name, w.handlers);
    (w.shown ? cards : chips).append(w.shown ? windowCard(w) : windowChip(w));
  }
  // The panel takes no touch outside a modal window while it is shown.
  const modal = state.windows.find(w => w.shown && w.modal);
  for (const card of cards.children) card.classList.toggle('behind', !!modal && card.dataset.window !== modal.name);
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

// The plot of the pinned numeric tags against simulated time: steps, since a tag keeps
// its value until it is written again. Numbers share the y axis; tags that only ever
// held 0 and 1 get an on/off lane each under it. The pointer reads every tag out.
const PLOT = { W: 400, H: 200, left: 44, right: 6, top: 6, bottom: 18, lane: 13 };
function plotLayout() {
  let t0 = Infinity, t1 = -Infinity;
  const lines = [], lanes = [];
  page.pins.forEach((name, i) => {
    const s = page.series.get(name);
    if (!s || !s.length) return;
    let v0 = Infinity, v1 = -Infinity;
    for (const [t, v] of s) { t0 = Math.min(t0, t); t1 = Math.max(t1, t); v0 = Math.min(v0, v); v1 = Math.max(v1, v); }
    const entry = { name, s, colour: COLOURS[i % COLOURS.length], v0, v1 };
    (s.every(([, v]) => v === 0 || v === 1) ? lanes : lines).push(entry);
  });
  t1 = Math.max(t1, page.now);
  if (t1 <= t0) t1 = t0 + 1000;
  let v0 = Infinity, v1 = -Infinity;
  for (const l of lines) { v0 = Math.min(v0, l.v0); v1 = Math.max(v1, l.v1); }
  if (!(v1 > v0)) { const pad = Math.abs(v0) > 0 && Number.isFinite(v0) ? Math.abs(v0) * 0.1 : 1; v0 -= pad; v1 += pad; }
  const raw = (v1 - v0) / 4, mag = Math.pow(10, Math.floor(Math.log10(raw))), f = raw / mag;
  const step = (f < 1.5 ? 1 : f < 3 ? 2 : f < 7 ? 5 : 10) * mag;
  v0 = Math.floor(v0 / step) * step;
  v1 = Math.ceil(v1 / step) * step;
  const lanesTop = PLOT.H - PLOT.bottom - lanes.length * PLOT.lane;
  const valuesBottom = lines.length ? (lanes.length ? lanesTop - 4 : PLOT.H - PLOT.bottom) : PLOT.top;
  return {
    t0, t1, v0, v1, step, lines, lanes, lanesTop, valuesBottom,
    x: t => PLOT.left + (t - t0) / (t1 - t0) * (PLOT.W - PLOT.left - PLOT.right),
    t: x => t0 + (x - PLOT.left) / (PLOT.W - PLOT.left - PLOT.right) * (t1 - t0),
    y: v => valuesBottom - (v - v0) / (v1 - v0) * (valuesBottom - PLOT.top),
  };
}

function svgEl(tag, attrs, text) {
  const e = document.createElementNS('http://www.w3.org/2000/svg', tag);
  for (const [k, v] of Object.entries(attrs)) e.setAttribute(k, v);
  if (text !== undefined) e.textContent = text;
  return e;
}

function plot() {
  for (const tr of $('#watch-table').rows) {
    const row = page.tagRows.get(tr.dataset.watch);
    if (row) tr.cells[2].textContent = row.dataset.value;
  }
  const svg = $('#plot'), legend = $('#legend');
  svg.textContent = '';
  legend.textContent = '';
  const L = plotLayout();
  page.plotLayout = L;
  if (!L.lines.length && !L.lanes.length) return;
  const grid = { stroke: '#e3e6ea', 'stroke-width': 1 };
  const label = { 'font-size': 9, fill: '#6b7280' };
  // Time axis: about five ticks at round mm:ss steps.
  const spans = [1e3, 2e3, 5e3, 1e4, 15e3, 3e4, 6e4, 12e4, 3e5, 6e5, 9e5, 18e5, 36e5, 72e5, 108e5, 216e5, 432e5, 864e5];
  const tstep = spans.find(s => (L.t1 - L.t0) / s <= 5) || 864e5;
  for (let t = Math.ceil(L.t0 / tstep) * tstep; t <= L.t1; t += tstep) {
    svg.append(svgEl('line', Object.assign({ x1: L.x(t), x2: L.x(t), y1: PLOT.top, y2: PLOT.H - PLOT.bottom }, grid)));
    svg.append(svgEl('text', Object.assign({ x: L.x(t), y: PLOT.H - 5, 'text-anchor': 'middle' }, label),
                     clockText(t, L.t1 >= 36e5)));
  }
  if (L.lines.length) {
    for (let v = L.v0; v <= L.v1 + L.step / 2; v += L.step) {
      svg.append(svgEl('line', Object.assign({ x1: PLOT.left, x2: PLOT.W - PLOT.right, y1: L.y(v), y2: L.y(v) }, grid)));
      svg.append(svgEl('text', Object.assign({ x: PLOT.left - 4, y: L.y(v) + 3, 'text-anchor': 'end' }, label),
                       String(+v.toPrecision(6))));
    }
  }
  svg.append(svgEl('line', { x1: PLOT.left, x2: PLOT.left, y1: PLOT.top, y2: PLOT.H - PLOT.bottom, stroke: '#9aa1ab' }));
  svg.append(svgEl('line', { x1: PLOT.left, x2: PLOT.W - PLOT.right, y1: PLOT.H - PLOT.bottom, y2: PLOT.H - PLOT.bottom, stroke: '#9aa1ab' }));
  for (const { name, s, colour } of L.lines) {
    let d = '';
    s.forEach(([t, v], n) => {
      d += (n ? `H${L.x(t).toFixed(1)}V${L.y(v).toFixed(1)}` : `M${L.x(t).toFixed(1)},${L.y(v).toFixed(1)}`);
    });
    d += `H${L.x(L.t1).toFixed(1)}`;
    const p = svgEl('path', { d, fill: 'none', stroke: colour, 'stroke-width': 1.5 });
    p.dataset.series = name;
    svg.append(p);
    const i = el('i'); i.style.background = colour;
    legend.append(el('span', {}, i, name));
  }
  L.lanes.forEach(({ name, s, colour }, k) => {
    const top = L.lanesTop + k * PLOT.lane + 1, h = PLOT.lane - 2;
    const lane = svgEl('g', { 'data-lane': name });
    lane.append(svgEl('rect', { x: PLOT.left, y: top, width: PLOT.W - PLOT.left - PLOT.right, height: h, fill: '#f1f3f5' }));
    s.forEach(([t, v], n) => {
      if (v !== 1) return;
      const end = n + 1 < s.length ? s[n + 1][0] : L.t1;
      lane.append(svgEl('rect', { x: L.x(t), y: top, width: Math.max(L.x(end) - L.x(t), 1), height: h, fill: colour, 'fill-opacity': .6 }));
    });
    lane.append(svgEl('text', Object.assign({ x: PLOT.left - 4, y: top + h - 2, 'text-anchor': 'end' }, label), 'on/off'));
    lane.append(svgEl('text', { x: PLOT.left + 3, y: top + h - 2, 'font-size': 9, fill: '#1d2430' }, name));
    svg.append(lane);
    const i = el('i', { class: 'lane' }); i.style.background = colour;
    legend.append(el('span', {}, i, name + ' (on/off)'));
  });
  if (page.cursorX !== undefined) drawCursor(page.cursorX);
}

// The value a series held at time t: the last sample at or before it.
function valueAt(s, t) {
  let lo = 0, hi = s.length - 1, found = null;
  while (lo <= hi) {
    const mid = (lo + hi) >> 1;
    if (s[mid][0] <= t) { found = s[mid][1]; lo = mid + 1; } else hi = mid - 1;
  }
  return found;
}

function drawCursor(x) {
  const L = page.plotLayout, svg = $('#plot'), out = $('#readout');
  const old = svg.querySelector('.cursor');
  if (old) old.remove();
  if (!L || x < PLOT.left || x > PLOT.W - PLOT.right) { out.hidden = true; return; }
  svg.append(svgEl('line', { class: 'cursor', x1: x, x2: x, y1: PLOT.top, y2: PLOT.H - PLOT.bottom, stroke: '#1d2430', 'stroke-dasharray': '3 2' }));
  const t = L.t(x);
  const rows = [clockText(t, L.t1 >= 36e5, true)];
  for (const { name, s } of L.lines.concat(L.lanes)) {
    const v = valueAt(s, t);
    rows.push(`${name} = ${v === null ? '–' : +v.toPrecision(7)}`);
  }
  out.textContent = rows.join('\n');
  out.hidden = false;
  const box = svg.getBoundingClientRect();
  const px = (x / PLOT.W) * box.width;
  out.style.left = (px > box.width / 2 ? Math.max(px - out.offsetWidth - 8, 0) : px + 8) + 'px';
}

$('#plot').addEventListener('mousemove', ev => {
  const box = $('#plot').getBoundingClientRect();
  page.cursorX = (ev.clientX - box.left) / box.width * PLOT.W;
  drawCursor(page.cursorX);
});
$('#plot').addEventListener('mouseleave', () => {
  page.cursorX = undefined;
  drawCursor(-1);
});

// Simulated time as mm:ss, hh:mm:ss past an hour; with milliseconds for a readout.
function clockText(ms, hours, fine) {
  const p = (n, w = 2) => String(Math.floor(n)).padStart(w, '0');
  const base = hours ? `${p(ms / 3600000)}:${p(ms / 60000 % 60)}:${p(ms / 1000 % 60)}`
    : `${p(ms / 60000)}:${p(ms / 1000 % 60)}`;
  return fine ? `${base}.${p(ms % 1000, 3)}` : base;
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
    page.stats.flushes += 1;
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
    else if (kind === 'open') { page.stats.opened += 1; page.seq = 0; connection('live'); refetch(); }
    else if (kind === 'lost') connection('lost');
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
  source.addEventListener('error', () => {
    handle('lost');
    // A refused stream (503) is not tried again by the browser: this page tries.
    if (source.readyState === EventSource.CLOSED) setTimeout(connect, 2000);
  });
}

// Whether the server is there: the event stream says so at once when it goes (and the
// browser opens it again); the page greys its controls meanwhile.
function connection(state) {
  page.connection = state;
  document.body.dataset.connection = state;
  const badge = $('#connection');
  badge.className = 'badge ' + state;
  badge.textContent = state === 'live' ? 'connected' : 'connection lost';
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
