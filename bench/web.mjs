// The browser build against the native show, on this machine, in one run:
// the download, the loading from 127.0.0.1 and over two emulated networks,
// and each scene's frame at
// 640x400 in chromium (through Mesa's OpenGL, then SwiftShader) beside the
// capture tool's own benchmark. Prints a table; times nothing in a test.
//
//   node bench/web.mjs [BUILD] [--runs N]     (BUILD: build by default)
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { serve, launch } from '../web/driver.mjs';

const args = process.argv.slice(2);
if (args.includes('--help') || args.includes('-h')) {
  console.log('usage: node bench/web.mjs [BUILD] [--runs N]\n' +
              'The browser build in BUILD/web against the native capture tool in BUILD.');
  process.exit(0);
}
const runsAt = args.indexOf('--runs');
const runs = runsAt >= 0 ? Number(args.splice(runsAt, 2)[1]) : 5;
const build = path.resolve(args[0] || 'build');
const site = path.join(build, 'web');
if (!fs.existsSync(path.join(site, 'tidewane.wasm'))) {
  console.error(`bench-web: no ${site}/tidewane.wasm: run make web first`);
  process.exit(1);
}
const say = (text) => process.stderr.write(`bench-web: ${text}\n`);
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const [W, H, FRAMES] = [640, 400, 5];

// Download: each file gzipped as a static host serves it (level 6).
let raw = 0, gzipped = 0;
for (const f of fs.readdirSync(site)) {
  const bytes = fs.readFileSync(path.join(site, f));
  raw += bytes.length;
  gzipped += zlib.gzipSync(bytes, { level: 6 }).length;
}

// A moment in each scene, show seconds at 60 frames a second, from the
// scene table as the page's hook gives it.
let scenes = [];

async function inChromium(renderer, server) {
  const browser = await launch(renderer);
  const loading = { preload: [], intro: [], task: [], introLength: [] };
  for (let i = 0; i < runs; ++i) {
    say(`${renderer}: loading, run ${i + 1} of ${runs}`);
    const page = await browser.newPage();
    await page.evaluateOnNewDocument(() => {
      window.longTasks = [];
      new PerformanceObserver((list) => { for (const e of list.getEntries()) window.longTasks.push(e); })
        .observe({ type: 'longtask', buffered: true });
    });
    await page.goto(`${server.origin}/?start&size=${W}x${H}`);
    await page.waitForFunction(() => performance.getEntriesByName('first intro frame').length > 0,
                               { timeout: 60000 });
    const [p, f] = await page.evaluate(() => ['preload picture', 'first intro frame']
      .map((n) => performance.getEntriesByName(n)[0].startTime));
    loading.preload.push(p);
    loading.intro.push(f);
    // The longest task of the page's thread from the set-up's start through
    // the intro and the timeline's loading into its second second.
    await page.waitForFunction(() => window.Tidewane.musicTime() > 2, { timeout: 60000, polling: 100 });
    loading.introLength.push(await page.evaluate(() => (performance.getEntriesByName('intro ended')[0].startTime -
      performance.getEntriesByName('first intro frame')[0].startTime) / 1000));
    loading.task.push(await page.evaluate(() => {
      const from = performance.getEntriesByName('prepare')[0].startTime;
      return Math.max(0, ...window.longTasks.filter((t) => t.startTime + t.duration > from).map((t) => t.duration));
    }));
    await page.close();
  }
  const page = await browser.newPage();
  await page.goto(`${server.origin}/?at=0&paused&size=${W}x${H}`);
  await page.waitForFunction(() => document.body.dataset.state === 'paused', { timeout: 120000 });
  scenes = (await page.evaluate(() => window.Tidewane.scenes())).map((s) => [s.name, s.at]);
  // The capture's intro at 60 frames a second: the time of its first
  // timeline frame, as the page's hook draws the capture's frames.
  const captureIntro = await page.evaluate(() => {
    for (let frame = 0; frame < 60 * 30; ++frame)
      if (/ timeline /.test(window.Tidewane.drawAt(frame / 60, 60))) return frame / 60;
    return NaN;
  });
  const frames = {};
  for (const [name, at] of scenes) {
    say(`${renderer}: ${name}`);
    frames[name] = await page.evaluate((at, n) => {
      window.Tidewane.drawAt(at, 60);
      const times = [];
      for (let i = 0; i < n; ++i) {
        const t0 = performance.now();
        window.Tidewane.redraw();
        window.Tidewane.finish();
        times.push(performance.now() - t0);
      }
      return times.sort((a, b) => a - b)[Math.floor(n / 2)];
    }, at, FRAMES);
  }
  await browser.close();
  return { loading, frames, captureIntro };
}

// The page over an emulated network (DevTools protocol, no cache), served
// as a static host serves it (gzip for the text and the WebAssembly): from
// navigation to Start usable, to the preload picture and to the first intro
// frame, Start pressed at once (?start). Medians of the runs.
const networks = [
  { name: '10 Mbit/s, 40 ms', latency: 40, bits: 10e6, goals: [1000, 1500, 2000] },
  { name: '3.2 Mbit/s, 150 ms', latency: 150, bits: 3.2e6, goals: [1500, 3000, 4000] },
];
async function overNetworks(server) {
  const browser = await launch('mesa');
  for (const net of networks) {
    net.times = [[], [], []];
    for (let i = 0; i < runs; ++i) {
      say(`mesa: ${net.name}, run ${i + 1} of ${runs}`);
      const page = await browser.newPage();
      const cdp = await page.createCDPSession();
      await cdp.send('Network.enable');
      await cdp.send('Network.setCacheDisabled', { cacheDisabled: true });
      await cdp.send('Network.emulateNetworkConditions',
                     { offline: false, latency: net.latency, downloadThroughput: net.bits / 8, uploadThroughput: net.bits / 8 });
      await page.goto(`${server.origin}/?start&size=${W}x${H}`);
      await page.waitForFunction(() => performance.getEntriesByName('first intro frame').length > 0,
                                 { timeout: 120000 });
      const t = await page.evaluate(() => ['start usable', 'preload picture', 'first intro frame']
        .map((n) => performance.getEntriesByName(n)[0].startTime));
      t.forEach((x, k) => net.times[k].push(x));
      await page.close();
    }
  }
  await browser.close();
}

function nativeFrames() {
  say('native: tidewane-capture --bench');
  const out = execFileSync(path.join(build, 'tidewane-capture'),
    ['--headless', '--bench', '--size', `${W}x${H}`, '--frames', String(FRAMES),
     '--archive', path.join(build, 'tidewane.velk')], { stdio: ['ignore', 'pipe', 'ignore'] }).toString();
  const ms = {};
  for (const m of out.matchAll(/^\| (\w[\w ]*?) +\| +([\d.]+) \|/gm)) ms[m[1]] = Number(m[2]);
  return ms;
}

const server = await serve(site);
// The networks as a static host serves the page: text and WebAssembly gzipped.
const host = await serve(site, { gzip: true });
const native = nativeFrames();
const mesa = await inChromium('mesa', server);
const swift = await inChromium('swiftshader', server);
await overNetworks(host);
server.close();
host.close();

const ms = (x) => x.toFixed(1);
console.log(`renderer: llvmpipe natively and through ANGLE over EGL; SwiftShader; ${W}x${H}, medians`);
console.log('');
console.log('| measure | Mesa (llvmpipe) | SwiftShader | goal |');
console.log('|---|---:|---:|---:|');
console.log(`| download, gzip level 6 (${(raw / 1e6).toFixed(1)} MB as files) | ${(gzipped / 1e6).toFixed(2)} MB | | ≤ 10 MB |`);
console.log(`| navigation to the preload picture | ${ms(median(mesa.loading.preload))} ms | ${ms(median(swift.loading.preload))} ms | ≤ 1500 ms |`);
console.log(`| navigation to the first intro frame | ${ms(median(mesa.loading.intro))} ms | ${ms(median(swift.loading.intro))} ms | ≤ 2500 ms |`);
for (const net of networks) {
  ['Start usable', 'the preload picture (?start)', 'the first intro frame'].forEach((what, k) => {
    console.log(`| ${net.name}: navigation to ${what} | ${ms(median(net.times[k]))} ms | | ≤ ${net.goals[k]} ms |`);
  });
}
console.log(`| live intro length, page / capture (${mesa.captureIntro.toFixed(3)} s) | ` +
            `${(median(mesa.loading.introLength) / mesa.captureIntro).toFixed(3)} | ` +
            `${(median(swift.loading.introLength) / swift.captureIntro).toFixed(3)} | ≤ 1.02 |`);
console.log(`| longest task of the page's thread, set-up to 2 s into the timeline | ${ms(median(mesa.loading.task))} ms | ${ms(median(swift.loading.task))} ms | ≤ 50 ms |`);
for (const [name] of scenes) {
  const n = native[name] + native.post;
  console.log(`| ${name} + post, page / native (${ms(n)} ms) | ${ms(mesa.frames[name])} ms, ${(mesa.frames[name] / n).toFixed(2)}× | ` +
              `${ms(swift.frames[name])} ms, ${(swift.frames[name] / n).toFixed(2)}× | ≤ 1.15× on Mesa |`);
}
