'use strict';
// The phone remote: every change goes through the same routes as orvane-ctl, and the page shows
// what the program tells on its event stream, so a change made anywhere appears here.

const KEY = 'orvane-token';
const STEPS = [['down', -1], ['down', -0.1], ['up', 0.1], ['up', 1]];
const MIN = 1.1;
const MAX = 8.1;
const MARKS = {
  waiting: 'Waiting for the unit to confirm the change',
  no: 'Change not confirmed by the unit',
};
const LOAD_QUESTION = 'Current settig is deleted. Do you want to open file?';

const $ = (id) => document.getElementById(id);
const state = { token: '', studio: null, units: new Map(), cards: new Map(), link: null };
// Figures the browser test reads: taps and their answers, events and when they showed.
const metrics = { firstRender: null, taps: [], tappedAt: [], shown: [] };
window.orvaneMetrics = metrics;
let stream = null;
let historyTimer = 0;

class Unauthorized extends Error {}

function channelName(channel) {
  return 'CH-' + String(channel).padStart(2, '0');
}

function level(value) {
  return Number(value).toFixed(1);
}

function clampLevel(value) {
  return Math.min(MAX, Math.max(MIN, Math.round(value * 10) / 10));
}

async function api(method, path, body) {
  const init = { method, cache: 'no-store', headers: { Authorization: 'Bearer ' + state.token } };
  if (body !== undefined) {
    init.headers['Content-Type'] = 'application/json';
    init.body = JSON.stringify(body);
  }
  const answer = await fetch('/api/v1/' + path, init);
  if (answer.status === 401) {
    askForToken('The token was refused');
    throw new Unauthorized();
  }
  const json = await answer.json().catch(() => ({}));
  if (!answer.ok) {
    throw new Error(json.error || answer.statusText);
  }
  return json;
}

// Runs an action of a control; a refusal is shown, not thrown.
async function act(method, path, body) {
  $('error').textContent = '';
  try {
    return await api(method, path, body);
  } catch (error) {
    if (!(error instanceof Unauthorized)) {
      $('error').textContent = error.message;
    }
    return null;
  }
}

function unitPath(channel) {
  return 'studios/' + state.studio + '/units/' + channel;
}

// ---- Pairing ------------------------------------------------------------------------------------

function takeTokenFromAddress() {
  const match = /^#token=([^&]*)/.exec(location.hash);
  if (!match) {
    return false;
  }
  // Out of the address bar and the history before anything else runs or is shared.
  history.replaceState(null, '', location.pathname + location.search);
  localStorage.setItem(KEY, decodeURIComponent(match[1]));
  return true;
}

function askForToken(why) {
  stopStream();
  localStorage.removeItem(KEY);
  state.token = '';
  $('remote').hidden = true;
  $('pair').hidden = false;
  showLink(why || 'Not paired', true);
}

function connectWith(token) {
  state.token = token;
  $('pair').hidden = true;
  $('remote').hidden = false;
  startStream();
}

// ---- The event stream ---------------------------------------------------------------------------

function stopStream() {
  if (stream) {
    stream.abort();
    stream = null;
  }
}

function startStream() {
  stopStream();
  const controller = new AbortController();
  stream = controller;
  readStream(controller).catch(() => {});
}

async function readStream(controller) {
  let pause = 500;
  while (stream === controller) {
    let opened = false;
    try {
      const answer = await fetch('/api/v1/events', {
        cache: 'no-store',
        headers: { Authorization: 'Bearer ' + state.token },
        signal: controller.signal,
      });
      if (answer.status === 401) {
        askForToken('The token was refused');
        return;
      }
      if (answer.ok && answer.body) {
        opened = true;
        pause = 500;
        await readEvents(answer.body.getReader());
      }
    } catch (error) {
      if (controller.signal.aborted) {
        return;
      }
    }
    if (stream !== controller) {
      return;
    }
    pause = opened ? 500 : Math.min(10000, pause * 2);
    showLink('Orvane not reachable; trying again in ' + Math.round(pause / 1000) + ' s', true);
    await new Promise((resolve) => setTimeout(resolve, pause));
  }
}

async function readEvents(reader) {
  const decoder = new TextDecoder();
  let text = '';
  for (;;) {
    const { value, done } = await reader.read();
    if (done) {
      return;
    }
    text += decoder.decode(value, { stream: true });
    let end;
    while ((end = text.indexOf('\n\n')) >= 0) {
      const block = text.slice(0, end);
      text = text.slice(end + 2);
      let name = 'message';
      let data = '';
      for (const line of block.split('\n')) {
        if (line.startsWith('event: ')) name = line.slice(7);
        else if (line.startsWith('data: ')) data += line.slice(6);
      }
      if (data) {
        onEvent(name, JSON.parse(data));
      }
    }
  }
}

function onEvent(name, data) {
  switch (name) {
    case 'status':
      // The stream's first word: whatever was missed while it was away is read again.
      showStatus(data);
      catchUp();
      break;
    case 'link':
      showStatus(Object.assign({}, state.link, data));
      break;
    case 'scan':
      $('scan').disabled = data.state === 'started';
      if (data.state === 'finished' && data.studio === state.studio) {
        loadUnits();
      }
      break;
    case 'unit-placed':
    case 'unit-changed':
      if (data.studio === state.studio) {
        showUnit(data);
        metrics.shown.push({ channel: data.channel, unit: data, at: performance.timeOrigin + performance.now() });
      }
      refreshHistorySoon();
      break;
    case 'undo':
    case 'redo':
      refreshHistorySoon();
      break;
  }
}

async function catchUp() {
  await Promise.all([loadUnits(), loadHistory(), loadSetups()]).catch(() => {});
}

// ---- Link and studios ---------------------------------------------------------------------------

function showLink(text, down) {
  const link = $('link');
  if (link.textContent !== text) {
    link.textContent = text;
  }
  link.classList.toggle('down', down);
}

function showStatus(status) {
  state.link = status;
  const reason = status.reason ? ' — ' + status.reason : '';
  showLink(status.connected ? 'Zigbee connected' : 'Zigbee disconnected' + reason, !status.connected);
  if ('studio' in status && status.studio !== state.studio) {
    // Another studio's cards, or a program started afresh with none chosen.
    state.studio = status.studio;
    clearUnits();
    showStudios();
  }
  if ('scanning' in status) {
    $('scan').disabled = status.scanning;
  }
}

function showStudios() {
  const nav = $('studios');
  if (!nav.firstChild) {
    for (const letter of 'ABCDE') {
      const button = document.createElement('button');
      button.type = 'button';
      button.textContent = 'Studio ' + letter;
      button.dataset.studio = letter;
      button.addEventListener('click', () => selectStudio(letter));
      nav.append(button);
    }
  }
  for (const button of nav.children) {
    button.setAttribute('aria-pressed', String(button.dataset.studio === state.studio));
  }
}

async function selectStudio(letter) {
  const status = await act('POST', 'studios/' + letter + '/select');
  if (status) {
    showStatus(status);
    clearUnits();
    loadUnits();
  }
}

// ---- Units --------------------------------------------------------------------------------------

function clearUnits() {
  state.units.clear();
  state.cards.clear();
  $('units').replaceChildren();
}

async function loadUnits() {
  if (!state.studio) {
    return;
  }
  const studio = state.studio;
  const units = await api('GET', 'studios/' + studio + '/units').catch(() => null);
  if (!units || studio !== state.studio) {
    return;
  }
  const channels = new Set(units.map((unit) => unit.channel));
  for (const [channel, card] of state.cards) {
    if (!channels.has(channel)) {
      card.remove();
      state.cards.delete(channel);
      state.units.delete(channel);
    }
  }
  units.forEach(showUnit);
  if (metrics.firstRender === null) {
    metrics.firstRender = performance.now();
  }
}

function powerControls(card, kind) {
  const caption = kind === 'flash' ? 'Flash Power' : 'Model Power';
  const box = card.querySelector('.power[data-kind="' + kind + '"]');
  const label = document.createElement('span');
  label.className = 'label';
  label.textContent = caption;
  const out = document.createElement('output');
  out.setAttribute('aria-label', caption + ' value');
  box.append(label);
  for (const [word, step] of STEPS) {
    const button = document.createElement('button');
    button.type = 'button';
    button.textContent = (step > 0 ? '+' : '−') + Math.abs(step);
    button.setAttribute('aria-label', caption + ' ' + word + ' ' + Math.abs(step));
    button.addEventListener('click', () => stepPower(card, kind, step));
    box.append(button);
    if (step === -0.1) {
      box.append(out);
    }
  }
  const slider = document.createElement('input');
  slider.type = 'range';
  slider.min = String(MIN * 10);
  slider.max = String(MAX * 10);
  slider.setAttribute('aria-label', caption);
  // Sent when let go: a drag is one change on the line, not one per pixel.
  slider.addEventListener('change', () => setPower(card, kind, Number(slider.value) / 10));
  box.append(slider);
}

function makeCard(unit) {
  const card = $('unit-card').content.firstElementChild.cloneNode(true);
  const channel = unit.channel;
  card.dataset.channel = String(channel);
  card.querySelector('.tick').addEventListener('change', (event) => {
    act('PATCH', unitPath(channel), { ticked: event.target.checked });
  });
  powerControls(card, 'flash');
  powerControls(card, 'model');
  for (const box of card.querySelectorAll('[data-switch]')) {
    box.addEventListener('change', () => act('PATCH', unitPath(channel), { [box.dataset.switch]: box.checked }));
  }
  for (const select of card.querySelectorAll('[data-mode]')) {
    select.addEventListener('change', () => act('PATCH', unitPath(channel), { [select.dataset.mode]: select.value }));
  }
  card.querySelector('.test').addEventListener('click', () => act('POST', unitPath(channel) + '/test'));
  return card;
}

function insertInOrder(card, channel) {
  const list = $('units');
  const after = [...list.children].find((other) => Number(other.dataset.channel) > channel);
  list.insertBefore(card, after || null);
}

function showUnit(unit) {
  let card = state.cards.get(unit.channel);
  if (!card) {
    card = makeCard(unit);
    state.cards.set(unit.channel, card);
    insertInOrder(card, unit.channel);
  }
  state.units.set(unit.channel, unit);
  const name = channelName(unit.channel) + (unit.light_name ? ' ' + unit.light_name : '');
  card.setAttribute('aria-label', name);
  setText(card.querySelector('.name'), name);
  const tick = card.querySelector('.tick');
  tick.checked = unit.ticked;
  tick.setAttribute('aria-label', 'Tick ' + channelName(unit.channel));
  setText(card.querySelector('.ready'), unit.ready ? 'Ready' : 'Charging');
  setText(card.querySelector('.heat'), unit.overheat ? 'Overheat' : '');
  setText(card.querySelector('.mark'), MARKS[unit.confirmed] || '');
  for (const kind of ['flash', 'model']) {
    const box = card.querySelector('.power[data-kind="' + kind + '"]');
    setText(box.querySelector('output'), level(unit[kind]));
    const slider = box.querySelector('input[type=range]');
    if (document.activeElement !== slider) {
      slider.value = String(Math.round(unit[kind] * 10));
    }
  }
  for (const box of card.querySelectorAll('[data-switch]')) {
    box.checked = unit[box.dataset.switch];
  }
  for (const select of card.querySelectorAll('[data-mode]')) {
    select.value = unit[select.dataset.mode];
  }
}

function setText(element, text) {
  if (element.textContent !== text) {
    element.textContent = text;
  }
}

async function setPower(card, kind, value) {
  const tapped = performance.now();
  metrics.tappedAt.push({ channel: Number(card.dataset.channel), at: performance.timeOrigin + tapped });
  const unit = await act('PATCH', unitPath(Number(card.dataset.channel)), { [kind]: clampLevel(value) });
  if (unit) {
    metrics.taps.push(performance.now() - tapped);
    showUnit(unit);
  }
}

function stepPower(card, kind, step) {
  const unit = state.units.get(Number(card.dataset.channel));
  if (unit) {
    setPower(card, kind, unit[kind] + step);
  }
}

// ---- Group, setups and history ------------------------------------------------------------------

function groupAction(button) {
  const key = button.dataset.group;
  const body = key === 'test' ? { test: true } : { [key]: Number(button.dataset.step) };
  act('POST', 'studios/' + state.studio + '/group', body);
}

async function loadSetups() {
  const titles = await api('GET', 'setups');
  const list = $('setup-list');
  list.replaceChildren(...titles.map((title) => new Option(title, title)));
}

async function loadSetup() {
  const title = $('setup-list').value;
  if (title && confirm(LOAD_QUESTION)) {
    await act('POST', 'setups/' + encodeURIComponent(title) + '/load');
  }
}

async function saveSetup() {
  const title = $('title').value.trim();
  if (title && (await act('PUT', 'setups/' + encodeURIComponent(title)))) {
    $('title').value = '';
    loadSetups().catch(() => {});
  }
}

function refreshHistorySoon() {
  clearTimeout(historyTimer);
  historyTimer = setTimeout(() => loadHistory().catch(() => {}), 50);
}

async function loadHistory() {
  const history = await api('GET', 'history');
  for (const [id, word] of [['undo', 'Undo'], ['redo', 'Redo']]) {
    const button = $(id);
    const step = history[id];
    setText(button, step ? word + ' ' + step : word);
    button.disabled = !step;
  }
}

// ---- Start --------------------------------------------------------------------------------------

function wireControls() {
  $('pair').addEventListener('submit', (event) => {
    event.preventDefault();
    const token = $('token').value.trim();
    if (token) {
      localStorage.setItem(KEY, token);
      $('token').value = '';
      connectWith(token);
    }
  });
  $('scan').addEventListener('click', () => state.studio && act('POST', 'studios/' + state.studio + '/scan'));
  for (const button of $('group').querySelectorAll('button')) {
    button.addEventListener('click', () => groupAction(button));
  }
  $('load').addEventListener('click', loadSetup);
  $('save').addEventListener('click', saveSetup);
  $('undo').addEventListener('click', () => act('POST', 'undo'));
  $('redo').addEventListener('click', () => act('POST', 'redo'));
}

takeTokenFromAddress();
wireControls();
// A pairing address opened again in the same tab only changes the fragment: no new page loads.
window.addEventListener('hashchange', () => {
  if (takeTokenFromAddress()) {
    connectWith(localStorage.getItem(KEY));
  }
});
showStudios();
const saved = localStorage.getItem(KEY);
if (saved) {
  connectWith(saved);
} else {
  askForToken();
}
