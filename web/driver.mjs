// What the browser test and the browser benchmark share: a static server
// on 127.0.0.1 for a build's page, and Debian's chromium (headless) or
// firefox-esr (on the X display in DISPLAY), through the maintained driver
// the lock file pins.
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import zlib from 'node:zlib';
import { createRequire } from 'node:module';

const require = createRequire(new URL('package.json', import.meta.url));
const puppeteer = require('puppeteer-core');

const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm',
                '.css': 'text/css', '.png': 'image/png' };

// How chromium draws: through Mesa's own OpenGL (llvmpipe, the rasteriser
// of the native show here) or SwiftShader, its own.
export const renderers = {
  mesa: ['--use-angle=gl-egl', '--use-gl=angle', '--ignore-gpu-blocklist'],
  swiftshader: ['--use-angle=swiftshader', '--enable-unsafe-swiftshader'],
};

// Serves `site` at / and each folder of `mounts` ({'/prefix/': folder}) at
// its prefix; a path in `hidden` answers 404. Resolves to the origin and a
// close function.
// With `gzip`, the page's text and WebAssembly go compressed (level 6) to a
// browser that takes it, as common static hosts send them; the archive,
// whose pictures and music are compressed already, goes as it is.
const compressed = new Set(['.html', '.js', '.css', '.wasm', '.txt']);
export async function serve(site, { mounts = {}, hidden = [], gzip = false } = {}) {
  const server = http.createServer((req, res) => {
    let url = decodeURIComponent(new URL(req.url, 'http://localhost').pathname);
    if (hidden.includes(url)) { res.writeHead(404); res.end(); return; }
    let folder = site;
    for (const [prefix, dir] of Object.entries(mounts))
      if (url.startsWith(prefix)) { folder = dir; url = url.slice(prefix.length - 1); break; }
    let file = path.join(folder, path.normalize(url));
    if (url.endsWith('/')) file = path.join(file, 'index.html');
    fs.readFile(file, (err, data) => {
      if (err) { res.writeHead(404); res.end(); return; }
      const headers = { 'content-type': types[path.extname(file)] || 'application/octet-stream' };
      if (gzip && compressed.has(path.extname(file)) && /\bgzip\b/.test(req.headers['accept-encoding'] || '')) {
        data = zlib.gzipSync(data, { level: 6 });
        headers['content-encoding'] = 'gzip';
      }
      headers['content-length'] = data.length;
      res.writeHead(200, headers);
      res.end(data);
    });
  }).listen(0, '127.0.0.1');
  await new Promise((resolve) => server.on('listening', resolve));
  return { origin: `http://127.0.0.1:${server.address().port}`, close: () => server.close() };
}

// Firefox draws WebGL 2 only on a real display (headless it finds no
// driver it will use), here Xvfb through Mesa. It lets pages start sound
// without a click, as chromium's flag does; `env` is its environment (the
// sound server it may reach).
export function launchFirefox(env = process.env) {
  return puppeteer.launch({
    browser: 'firefox',
    executablePath: process.env.TIDEWANE_FIREFOX || '/usr/bin/firefox-esr',
    headless: false,
    env,
    extraPrefsFirefox: { 'media.autoplay.default': 0, 'media.autoplay.blocking_policy': 0 },
  });
}

export function launch(renderer = 'mesa') {
  return puppeteer.launch({
    executablePath: process.env.TIDEWANE_CHROMIUM || '/usr/lib/chromium/chromium',
    pipe: true,
    args: ['--headless=new', '--no-sandbox', '--autoplay-policy=no-user-gesture-required',
           ...renderers[renderer]],
  });
}
