// The page of `kavlor-sim serve`: the device's screen, live, and a person's hands on it.
// Every change goes to the server with the token the server put in this page.
'use strict';

const token = document.querySelector('meta[name="kavlor-token"]').content;
const device = JSON.parse(document.querySelector('meta[name="kavlor-device"]').content);
const $ = (id) => document.getElementById(id);
const screen = $('screen');
const page = document.body.dataset;

page.resprings = '0';
page.screenVersion = '0';

// --- the device's frame, at the screen's size in points --------------------------------
$('frame').classList.add(device.idiom === 'pad' ? 'pad' : 'phone');
screen.style.width = device.width + 'px';
screen.style.height = device.height + 'px';
$('screen-box').style.width = device.width + 'px';
$('screen-box').style.height = device.height + 'px';
$('clock-controls').hidden = !device.virtualClock;
document.title = `Kavlor: iOS ${device.ios} ${device.idiom}`;

function say(text, isError) {
  $('status').textContent = text;
  $('status').classList.toggle('error', !!isError);
}

async function post(path, body) {
  const response = await fetch(path, {
    method: 'POST',
    headers: { 'Content-Type': 'application/json', 'X-Kavlor-Token': token },
    body: JSON.stringify(body || {}),
  });
  const reply = await response.json().catch(() => ({ ok: false, error: `the server answered ${response.status}` }));
  if (!reply.ok) throw new Error(reply.error || `the server answered ${response.status}`);
  return reply;
}

async function act(label, path, body) {
  try {
    const reply = await post(path, body);
    say(label);
    scheduleStateRefresh();
    return reply;
  } catch (error) {
    say(`${label}: ${error.message}`, true);
    return null;
  }
}

// --- taps: one tap waits a moment for a second one ---------------------------------------
const doubleTapMillis = 300;
let pendingTap = null;

function pointOf(event) {
  const box = screen.getBoundingClientRect();
  return {
    x: (event.clientX - box.left) * device.width / box.width,
    y: (event.clientY - box.top) * device.height / box.height,
  };
}

async function sendTouch(point, taps) {
  const reply = await act(taps === 2 ? 'double tap' : 'tap', '/api/touch', { x: point.x, y: point.y, taps });
  if (reply) say(`${taps === 2 ? 'double tap' : 'tap'} at ${Math.round(point.x)},${Math.round(point.y)}: ${describeTouch(reply)}`);
}

function describeTouch(reply) {
  switch (reply.reached) {
    case 'alert-button': return `the alert's ${reply.title}`;
    case 'button': return `a button (${reply.view})`;
    case 'item': return `an item (${reply.view})`;
    case 'icon': return `opened ${reply.bundleIdentifier}`;
    case 'gesture': return reply.recognized ? `recognised on ${reply.view}` : `nothing took it (${reply.view})`;
    case 'respring': return 'SpringBoard restarted';
    default: return 'nothing there';
  }
}

screen.addEventListener('click', (event) => {
  const point = pointOf(event);
  if (pendingTap) {
    clearTimeout(pendingTap.timer);
    pendingTap = null;
    sendTouch(point, 2);
    return;
  }
  pendingTap = { timer: setTimeout(() => { pendingTap = null; sendTouch(point, 1); }, doubleTapMillis) };
});

// --- the passcode pad ----------------------------------------------------------------------
let typed = '';
function showTyped() { $('passcode-dots').textContent = '●'.repeat(typed.length); }
for (const key of ['1', '2', '3', '4', '5', '6', '7', '8', '9', '', '0', '']) {
  const button = document.createElement('button');
  button.type = 'button';
  if (key) {
    button.textContent = key;
    button.dataset.key = key;
    button.addEventListener('click', () => { typed += key; showTyped(); });
  } else {
    button.style.visibility = 'hidden';
  }
  $('passcode-keys').appendChild(button);
}
function openPasscode(open) {
  $('passcode').hidden = !open;
  typed = '';
  showTyped();
  $('passcode-message').textContent = '';
}
$('show-passcode').addEventListener('click', () => openPasscode(true));
$('passcode-cancel').addEventListener('click', () => openPasscode(false));
$('passcode-delete').addEventListener('click', () => { typed = typed.slice(0, -1); showTyped(); });
$('passcode-enter').addEventListener('click', async () => {
  const passcode = typed;
  typed = '';
  showTyped();
  try {
    const reply = await post('/api/unlock', { passcode });
    if (reply.locked) {
      $('passcode-message').textContent = 'Wrong passcode';
      say('the passcode did not unlock the device');
    } else {
      openPasscode(false);
      say('unlocked');
    }
  } catch (error) {
    $('passcode-message').textContent = error.message;
  }
});

// --- the buttons ---------------------------------------------------------------------------
$('home').addEventListener('click', () => act('home', '/api/home'));
$('lock').addEventListener('click', () => act('locked', '/api/lock'));
$('light').addEventListener('click', () => act('light appearance', '/api/appearance', { style: 'light' }));
$('dark').addEventListener('click', () => act('dark appearance', '/api/appearance', { style: 'dark' }));
$('respring').addEventListener('click', () => act('resprung', '/api/respring'));
$('advance-1').addEventListener('click', () => act('clock +1 min', '/api/advance', { seconds: 60 }));
$('advance-5').addEventListener('click', () => act('clock +5 min', '/api/advance', { seconds: 300 }));
$('advance-end').addEventListener('click', () => act('clock at the end of the time limit', '/api/advance', { to: 'end' }));

// --- the guest form: kavlorctl on the server does every check ---------------------------------
$('add-guest').addEventListener('submit', async (event) => {
  event.preventDefault();
  const result = $('add-guest-result');
  result.textContent = 'adding…';
  result.classList.remove('error');
  try {
    const response = await fetch('/api/users', { method: 'POST', headers: { 'X-Kavlor-Token': token }, body: new FormData(event.target) });
    const reply = await response.json().catch(() => ({ ok: false, error: `the server answered ${response.status}` }));
    if (!reply.ok) throw new Error(reply.error);
    result.textContent = reply.said;
    scheduleStateRefresh();
  } catch (error) {
    result.textContent = error.message;
    result.classList.add('error');
  }
});

// --- settings and accounts -------------------------------------------------------------------
let refreshTimer = null;
function scheduleStateRefresh() {
  clearTimeout(refreshTimer);
  refreshTimer = setTimeout(refreshState, 250);
}
async function refreshState() {
  try {
    const response = await fetch('/api/state');
    const state = await response.json();
    if (!state.ok) return;
    $('settings').textContent = state.settings;
    $('accounts').textContent = state.accounts;
  } catch (error) { /* the next change refreshes it */ }
}

// --- the trace -----------------------------------------------------------------------------------
const maxTraceLines = 2000;
const seenEvents = new Set();
function traceText(event) {
  const fields = Object.entries(event)
    .filter(([key]) => !['time', 'pid', 'process', 'event'].includes(key))
    .map(([key, value]) => `${key}=${typeof value === 'string' ? value : JSON.stringify(value)}`);
  return `${Number(event.time).toFixed(3).padStart(10)}  ${event.process}[${event.pid}]  ${event.event}  ${fields.join('  ')}`;
}
function applyFilter(item) { item.hidden = !!$('trace-filter').value && item.dataset.event !== $('trace-filter').value; }
$('trace-filter').addEventListener('change', () => { for (const item of $('trace').children) applyFilter(item); });
// Trace lines come in bursts (a respring writes dozens): they are put in the list together
// when the page is idle, with one look at the list's scroll position, so that laying out a
// list of two thousand lines never holds up a frame that shows a new picture of the screen.
let pendingTrace = [];
function addTraceLine(event) {
  if (pendingTrace.length === 0) requestIdleCallback(showPendingTrace, { timeout: 250 });
  pendingTrace.push(event);
  if (['settings-write', 'file-write', 'springboard-ready'].includes(event.event)) scheduleStateRefresh();
}
function showPendingTrace() {
  const list = $('trace');
  const atBottom = list.scrollTop + list.clientHeight >= list.scrollHeight - 4;
  const lines = document.createDocumentFragment();
  for (const event of pendingTrace.splice(0).slice(-maxTraceLines)) {
    const item = document.createElement('li');
    item.dataset.event = event.event;
    item.textContent = traceText(event);
    applyFilter(item);
    lines.appendChild(item);
    if (!seenEvents.has(event.event)) {
      seenEvents.add(event.event);
      const option = document.createElement('option');
      option.value = option.textContent = event.event;
      $('trace-filter').appendChild(option);
    }
  }
  list.appendChild(lines);
  for (let extra = list.children.length - maxTraceLines; extra > 0; --extra) list.removeChild(list.firstChild);
  if (atBottom) list.scrollTop = list.scrollHeight;
  $('trace-count').textContent = `${list.children.length} lines`;
}

// --- the screen: a canvas at the device's pixels, redrawn where the picture changed ----------------
// The server keeps the picture in tiles, each with the version it last changed in, and pushes
// down one stream, for each new picture, the tiles changed since the picture it sent before;
// the page draws each frame's tiles all at once, so a change in one label moves a few tiles
// and the picture is never half new. Tiles come as bare RGBA pixels (the loopback carries
// them faster than the browser decodes pictures). The page keeps every tile it is sent in
// the slot the server names; a tile it keeps comes again as its slot alone.
const context = screen.getContext('2d');
let shownVersion = 0;     // the version the canvas shows (0: nothing yet)
let keptTiles = [];       // ImageData by slot, for the stream being read

function drawTiles(index, pixels) {
  if (screen.width !== index.width || screen.height !== index.height) {
    screen.width = index.width;
    screen.height = index.height;
  }
  let next = 0;
  for (const [x, y, width, height, bytes, slot] of index.tiles) {
    let image = keptTiles[slot];
    if (bytes > 0) {
      image = new ImageData(new Uint8ClampedArray(pixels[next++].buffer), width, height);
      if (slot !== undefined) keptTiles[slot] = image;
    }
    if (!image) throw new Error(`the server named slot ${slot}, which this page does not keep`);
    context.putImageData(image, x, y);
  }
  shownVersion = index.version;
  page.tilesDrawn = String(index.tiles.length);
  page.tilesSent = String(next);   // those whose pixels came; the others were kept
  page.screenVersion = String(index.version);
}

// Cuts the stream's bytes into frames: 4 bytes of length (0: only "still here"), then the
// packed tiles: 4 bytes of the index's length, the index, and each sent tile's pixels, each
// read straight into a buffer of its own (a kept tile holds no whole frame alive).
class FrameReader {
  constructor(onFrame) {
    this.onFrame = onFrame;
    this.expect(4, 'length');
  }

  expect(count, what) {
    this.target = new Uint8Array(count);
    this.filled = 0;
    this.what = what;
  }

  take(chunk) {
    let offset = 0;
    while (offset < chunk.length) {
      const count = Math.min(this.target.length - this.filled, chunk.length - offset);
      this.target.set(chunk.subarray(offset, offset + count), this.filled);
      this.filled += count;
      offset += count;
      if (this.filled === this.target.length) this.completed();
    }
  }

  completed() {
    const number = () => new DataView(this.target.buffer).getUint32(0);
    switch (this.what) {
    case 'length':
      if (number() === 0) this.expect(4, 'length');
      else this.expect(4, 'index length');
      return;
    case 'index length':
      this.expect(number(), 'index');
      return;
    case 'index':
      this.index = JSON.parse(new TextDecoder().decode(this.target));
      this.sizes = this.index.tiles.map((tile) => tile[4]).filter((bytes) => bytes > 0);
      this.pixels = [];
      this.nextTile();
      return;
    case 'tile':
      this.pixels.push(this.target);
      this.nextTile();
      return;
    }
  }

  nextTile() {
    if (this.pixels.length < this.sizes.length) {
      this.expect(this.sizes[this.pixels.length], 'tile');
      return;
    }
    const [index, pixels] = [this.index, this.pixels];
    this.index = this.pixels = null;
    this.expect(4, 'length');
    this.onFrame(index, pixels);
  }
}

// The page asks for the pixels it can show: the canvas stands at the screen's size in points,
// so a display of devicePixelRatio 1 shows an iPad's 2048x2732 pixels in 1024x1366 and would
// be sent four times the bytes it shows. Moved to a display of another ratio (or zoomed),
// the page asks again.
let streaming = null;     // the AbortController of the stream being read
let askedScale = 0;       // the pixels a point it asked for

function pageScale() { return Math.min(8, Math.max(0.25, window.devicePixelRatio || 1)); }

function askAgainIfTheRatioChanged() {
  if (streaming && pageScale() !== askedScale) streaming.abort();
}

// A change of the ratio is told by a media query when the page moves between displays, and by
// a resize when it is zoomed or emulated; either makes the page ask again. Chromium may tell
// of the resize just before the ratio changes: the page looks again a moment later.
function watchPixelRatio() {
  matchMedia(`(resolution: ${window.devicePixelRatio || 1}dppx)`).addEventListener('change', () => {
    askAgainIfTheRatioChanged();
    watchPixelRatio();
  }, { once: true });
}
window.addEventListener('resize', () => {
  askAgainIfTheRatioChanged();
  setTimeout(askAgainIfTheRatioChanged, 100);
});

async function streamTiles() {
  for (;;) {
    streaming = new AbortController();
    keptTiles = [];
    try {
      askedScale = pageScale();
      const response = await fetch(`/screen/stream?since=${shownVersion}&scale=${askedScale}`, { signal: streaming.signal });
      if (!response.ok) throw new Error(`the server answered ${response.status}`);
      const reader = response.body.getReader();
      const frames = new FrameReader(drawTiles);
      for (let part = await reader.read(); !part.done; part = await reader.read()) frames.take(part.value);
    } catch (error) {
      if (error.name === 'AbortError') continue;
      shownVersion = 0;  // drawn anew, whole
      say(`the screen could not be drawn: ${error.message}`, true);
    }
    await new Promise((resolve) => setTimeout(resolve, 500));
  }
}

// --- live updates ----------------------------------------------------------------------------------
function connect() {
  const events = new EventSource('/events');
  events.addEventListener('screen', (message) => {
    const shown = JSON.parse(message.data);
    page.locked = shown.locked ? 'yes' : 'no';
    $('show-passcode').disabled = !shown.locked;
    if (!shown.locked) $('passcode').hidden = true;
  });
  events.addEventListener('springboard', (message) => {
    const state = JSON.parse(message.data);
    const restarting = state.state !== 'ready';
    if (!restarting && page.springboardPid && page.springboardPid !== String(state.pid))
      page.resprings = String(Number(page.resprings) + 1);
    if (!restarting) page.springboardPid = String(state.pid);
    page.springboard = state.state;
    $('restarting').hidden = !restarting;
  });
  events.addEventListener('trace', (message) => addTraceLine(JSON.parse(message.data)));
  events.onerror = () => say('the connection to the device was lost; reconnecting…', true);
  events.onopen = () => {
    // The server's greeting repeats its recent trace lines: a reconnected page starts afresh.
    $('trace').replaceChildren();
    pendingTrace = [];
    // A server started anew counts its pictures from 1 again: the next picture is drawn whole.
    shownVersion = 0;
    if ($('status').classList.contains('error')) say('connected');
  };
}

connect();
watchPixelRatio();
streamTiles();
refreshState();
