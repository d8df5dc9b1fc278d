// The web page in headless Chromium, driven over the DevTools protocol.
//
//   node browser_test.js identity PAGE_DIR CAPTURE HASHES
//   node browser_test.js realtime PAGE_DIR HASHES
//
// PAGE_DIR is build-web/ (index.html, ulvenor.js, ulvenor.wasm), served here
// on 127.0.0.1 only; HASHES is `ulvenor-capture --hashes` of the native
// build. identity: the whole demo on the capture's virtual clock in the
// page, every block and frame hash equal to the native list, and canvas
// stills equal to `CAPTURE --shot`. realtime: the page under the default
// autoplay policy, started by a simulated click, played for 11 s.
'use strict';
const fs = require('fs');
const os = require('os');
const path = require('path');
const http = require('http');
const zlib = require('zlib');
const { spawn, execFileSync } = require('child_process');
const WebSocket = require('ws');

const [mode, pageDir, ...rest] = process.argv.slice(2);
const STILLS = [150, 420, 1150, 1790, 2450];
const RATE = 44100, BLOCK = 4096;
const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'ulv-web-'));
let browser = null, server = null, failures = 0;

function fail(what) { console.log('FAIL: ' + what); failures++; }
// Ends the browser, waits until it has gone (it writes its profile until
// then), and removes the temporary folder.
async function cleanup() {
  if (browser) {
    // Chromium's own processes share its process group: all of them go.
    const group = sig => { try { process.kill(-browser.pid, sig); } catch (e) { /* gone */ } };
    if (browser.exitCode === null && browser.signalCode === null) {
      const gone = new Promise(r => browser.once('exit', r));
      group('SIGTERM');
      await Promise.race([gone, sleep(5000)]);
    }
    group('SIGKILL');
  }
  if (server) server.close();
  fs.rmSync(tmp, { recursive: true, force: true, maxRetries: 10, retryDelay: 100 });
}
for (const sig of ['SIGINT', 'SIGTERM']) process.on(sig, () => cleanup().then(() => process.exit(130)));
const sleep = ms => new Promise(r => setTimeout(r, ms));

// The page folder over HTTP on 127.0.0.1, on a free port.
function serve() {
  const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm' };
  server = http.createServer((req, res) => {
    const name = path.basename(new URL(req.url, 'http://x').pathname) || 'index.html';
    const file = path.join(pageDir, name);
    if (!types[path.extname(name)] || !fs.existsSync(file)) { res.writeHead(404); res.end(); return; }
    res.writeHead(200, { 'Content-Type': types[path.extname(name)] });
    res.end(fs.readFileSync(file));
  });
  return new Promise(r => server.listen(0, '127.0.0.1', () => r(server.address().port)));
}

// Chromium headless with the page open; resolves to a DevTools session on it.
async function open(url) {
  const args = ['--headless', '--remote-debugging-address=127.0.0.1', '--remote-debugging-port=0',
    '--user-data-dir=' + path.join(tmp, 'profile'), '--no-first-run', '--no-default-browser-check',
    '--disable-gpu', '--window-size=960,720', 'about:blank'];
  if (process.getuid() === 0) args.unshift('--no-sandbox');
  // Chromium puts its singleton socket in a folder of its own under TMPDIR
  // and leaves it when killed: under tmp it goes with the rest.
  browser = spawn('chromium', args, { stdio: ['ignore', 'ignore', 'pipe'], detached: true,
    env: { ...process.env, TMPDIR: tmp } });
  const wsUrl = await new Promise((resolve, reject) => {
    let err = '';
    browser.stderr.on('data', d => {
      err += d;
      const m = /DevTools listening on (ws:\/\/\S+)/.exec(err);
      if (m) resolve(m[1]);
    });
    browser.on('exit', c => reject(new Error('chromium exited with ' + c + ':\n' + err)));
  });
  const port = new URL(wsUrl).port;
  const list = await new Promise((resolve, reject) => {
    http.get(`http://127.0.0.1:${port}/json/list`, res => {
      let s = '';
      res.on('data', d => s += d);
      res.on('end', () => resolve(JSON.parse(s)));
    }).on('error', reject);
  });
  const page = list.find(t => t.type === 'page');
  const ws = new WebSocket(page.webSocketDebuggerUrl, { maxPayload: 1 << 30 });
  await new Promise((r, j) => { ws.on('open', r); ws.on('error', j); });
  let id = 0;
  const waiting = new Map(), events = [];
  ws.on('message', m => {
    const msg = JSON.parse(m);
    if (msg.id && waiting.has(msg.id)) {
      const w = waiting.get(msg.id);
      waiting.delete(msg.id);
      if (msg.error) w.reject(new Error(JSON.stringify(msg.error)));
      else w.resolve(msg.result);
    } else if (msg.method) events.push(msg);
  });
  const send = (method, params = {}) => new Promise((resolve, reject) => {
    waiting.set(++id, { resolve, reject });
    ws.send(JSON.stringify({ id, method, params }));
  });
  const evaluate = async expr => {
    const r = await send('Runtime.evaluate', { expression: expr, awaitPromise: true, returnByValue: true });
    if (r.exceptionDetails) throw new Error('page: ' + JSON.stringify(r.exceptionDetails));
    return r.result.value;
  };
  await send('Runtime.enable');
  await send('Page.enable');
  await send('Page.navigate', { url });
  const until = async (expr, ms, what) => {
    for (const end = Date.now() + ms; Date.now() < end; await sleep(100))
      if (await evaluate(expr).catch(() => false)) return;
    throw new Error('timed out waiting for ' + what);
  };
  return { send, evaluate, until, events };
}

// A PNG of 8-bit RGB as written by the capture tool, decoded to its pixels.
function readPng(file) {
  const b = fs.readFileSync(file);
  let at = 8, w = 0, h = 0;
  const idat = [];
  while (at < b.length) {
    const len = b.readUInt32BE(at), type = b.toString('latin1', at + 4, at + 8);
    const data = b.subarray(at + 8, at + 8 + len);
    if (type === 'IHDR') {
      w = data.readUInt32BE(0); h = data.readUInt32BE(4);
      if (data[8] !== 8 || data[9] !== 2 || data[12] !== 0) throw new Error(file + ': not 8-bit RGB');
    }
    if (type === 'IDAT') idat.push(data);
    at += 12 + len;
  }
  const raw = zlib.inflateSync(Buffer.concat(idat)), stride = w * 3, out = Buffer.alloc(stride * h);
  for (let y = 0; y < h; y++) {
    const f = raw[y * (stride + 1)], src = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
    for (let x = 0; x < stride; x++) {
      const a = x >= 3 ? out[y * stride + x - 3] : 0, u = y ? out[(y - 1) * stride + x] : 0;
      const c = x >= 3 && y ? out[(y - 1) * stride + x - 3] : 0;
      const p = a + u - c, pa = Math.abs(p - a), pb = Math.abs(p - u), pc = Math.abs(p - c);
      const pred = [0, a, u, (a + u) >> 1, pa <= pb && pa <= pc ? a : pb <= pc ? u : c][f];
      out[y * stride + x] = (src[x] + pred) & 255;
    }
  }
  return { w, h, rgb: out };
}

function exceptions(page) {
  return page.events.filter(e => e.method === 'Runtime.exceptionThrown')
    .map(e => e.params.exceptionDetails.exception ? e.params.exceptionDetails.exception.description
      : e.params.exceptionDetails.text);
}

async function identity(capture, hashes) {
  const native = fs.readFileSync(hashes, 'utf8').trimEnd().split('\n');
  execFileSync(capture, ['--quiet', '--out', path.join(tmp, 'shots'), ...STILLS.flatMap(s => ['--shot', String(s)])]);
  const port = await serve();
  const page = await open(`http://127.0.0.1:${port}/index.html?capture`);
  await page.until('typeof ulvCapture === "function"', 30000, 'the page to load');
  const t0 = Date.now();
  const r = await page.evaluate(`ulvCapture(50, ${JSON.stringify(STILLS)})`);
  const web = r.text.trimEnd().split('\n');
  const count = (l, k) => l.filter(s => s[0] === k).length;
  console.log(`page: ${count(web, 'f')} frames, ${count(web, 'a')} sound blocks in ${(Date.now() - t0) / 1000} s; ` +
    `native: ${count(native, 'f')} frames, ${count(native, 'a')} blocks`);
  let differ = 0, first = null;
  for (let i = 0; i < Math.max(web.length, native.length); i++)
    if (web[i] !== native[i]) { differ++; if (!first) first = `line ${i + 1}: page "${web[i]}", native "${native[i]}"`; }
  if (differ) fail(`${differ} of ${native.length} hash lines differ; first at ${first}`);
  else console.log(`all ${native.length} hash lines equal`);
  for (const s of STILLS) {
    const png = readPng(path.join(tmp, 'shots', `shot-${s}.png`));
    const got = Buffer.from(r.stills[s] || '', 'base64');
    if (png.w !== 320 || png.h !== 240 || !got.equals(png.rgb)) fail(`canvas still at ${s} differs from --shot ${s}`);
    else console.log(`canvas still at ${s} equals --shot ${s}`);
  }
  for (const e of exceptions(page)) fail('exception: ' + e);
}

function median(a) { const s = a.slice().sort((x, y) => x - y); return s.length ? s[s.length >> 1] : NaN; }

async function realtime(hashes) {
  const native = fs.readFileSync(hashes, 'utf8').split('\n').filter(l => l[0] === 'a');
  const port = await serve();
  const page = await open(`http://127.0.0.1:${port}/index.html?test`);
  await page.until('typeof state !== "undefined" && state === "ready"', 30000, 'the page to be ready');
  // The autoplay policy in force: a context made without a gesture stays suspended.
  const policy = await page.evaluate(`(async () => {
    const c = new AudioContext();
    await new Promise(r => setTimeout(r, 300));
    const s = c.state;
    c.close();
    return s;
  })()`);
  console.log(`before the click, an audio context made by the page is ${policy}`);
  if (policy !== 'suspended') fail('the browser plays sound without a gesture: the start click is not tested');
  // A click in the page, as a user gives it: the gesture the autoplay policy waits for.
  for (const type of ['mousePressed', 'mouseReleased'])
    await page.send('Input.dispatchMouseEvent', { type, x: 400, y: 300, button: 'left', clickCount: 1 });
  await page.until('ulvTest.frames.length > 0 && ulvTest.frames[ulvTest.frames.length - 1].heard >= 11', 40000,
    '11 s of the demo');
  const before = await page.evaluate(`({ silent, running: ac && ac.state, time: ac && ac.currentTime,
    sources: sources.size })`);
  if (before.silent || before.running !== 'running') fail(`the sound is not playing: ${JSON.stringify(before)}`);
  await page.send('Input.dispatchKeyEvent', { type: 'rawKeyDown', key: 'Escape', code: 'Escape', windowsVirtualKeyCode: 27 });
  await page.send('Input.dispatchKeyEvent', { type: 'keyUp', key: 'Escape', code: 'Escape', windowsVirtualKeyCode: 27 });
  await sleep(300);
  const rec = await page.evaluate(`(() => {
    const firsts = [];
    for (let i = 0; i < ulvTest.frames.length; i++)
      if (i === 0 || ulvTest.frames[i].pos !== ulvTest.frames[i - 1].pos) firsts.push(i);
    return { frames: ulvTest.frames, rafs: ulvTest.rafs, blocks: ulvTest.blocks, errors: ulvTest.errors,
      ended: !!ulvTest.ended, state, acGone: ac === null, sources: sources.size, closed: ulvTest.ctx.state,
      rows: firsts.map(i => [i, M._web_row_frame(ulvTest.frames[i].pos)]) };
  })()`);
  await sleep(300);
  const rafsAfter = await page.evaluate('ulvTest.rafs');

  // The sound handed to Web Audio, sample for sample.
  const heard = rec.frames[rec.frames.length - 1].heard;
  let same = 0;
  rec.blocks.forEach((b, i) => { if (b.trimEnd() === native[i]) same++; });
  console.log(`sound: ${rec.blocks.length} blocks (${(rec.blocks.length * BLOCK / RATE).toFixed(2)} s) handed to ` +
    `Web Audio, ${same} equal to the native render; ${heard.toFixed(2)} s heard`);
  if (same !== rec.blocks.length || rec.blocks.length * BLOCK < heard * RATE) fail('the sound differs from the native render');

  // Frames at the display's rate: one drawn at every display frame.
  const f = rec.frames, dt = [];
  for (let i = 1; i < f.length; i++) dt.push(f[i].t - f[i - 1].t);
  const m = median(dt), slow = dt.filter(d => d > 1.5 * m).length;
  console.log(`picture: ${f.length} frames drawn at ${rec.rafs} display frames, every ${m.toFixed(2)} ms ` +
    `(${(1000 / m).toFixed(1)} Hz), ${slow} gaps longer than 1.5 frames`);
  if (f.length < rec.rafs - 10 || slow > f.length / 100 || !(m > 5 && m < 35)) fail('frames missed the display rate');

  // Picture to sound: each row's first frame against the time its first
  // sample plays (both on the audio context's clock, from the start). A
  // row first shown by a frame that came late (one of the gaps counted
  // above) measures the gap, not the sync, and is left out of the figure.
  const offsets = [];
  let late = 0;
  for (const [i, frame] of rec.rows) {
    if (frame < 0 || f[i].pos < 0) continue;
    if (i > 0 && f[i].t - f[i - 1].t > 1.5 * m) { late++; continue; }
    offsets.push((f[i].heard - frame / RATE) * 1000);
  }
  const worst = Math.max(...offsets.map(Math.abs)), mean = offsets.reduce((a, b) => a + b, 0) / offsets.length;
  console.log(`picture to sound: ${offsets.length} rows, offset mean ${mean.toFixed(2)} ms, ` +
    `from ${Math.min(...offsets).toFixed(2)} to ${Math.max(...offsets).toFixed(2)} ms` +
    (late ? ` (${late} rows first shown after a late frame left out)` : ''));
  if (!(worst <= 17) || offsets.length < 80) fail('a row was shown more than 17 ms away from its sound');

  // Escape ends it, sound stopped.
  console.log(`after Escape: state ${rec.state}, audio context ${rec.closed}, ${rec.sources} sources left, ` +
    `${rafsAfter - rec.rafs} display frames drawn since`);
  if (!rec.ended || !rec.acGone || rec.sources !== 0 || rec.closed !== 'closed' || rafsAfter !== rec.rafs)
    fail('Escape did not end the demo and its sound');
  for (const e of [...rec.errors, ...exceptions(page)]) fail('exception: ' + e);
}

(async () => {
  try {
    if (mode === 'identity') await identity(rest[0], rest[1]);
    else if (mode === 'realtime') await realtime(rest[0]);
    else throw new Error('unknown mode ' + mode);
  } catch (e) {
    fail(e.stack || String(e));
  }
  await cleanup();
  console.log(failures ? `${failures} failure(s)` : 'passed');
  process.exit(failures ? 1 : 0);
})();
