// The start page and the browser's side of the show: it checks for WebGL 2,
// loads the WebAssembly module and streams the data archive in with its
// progress, lists the picture sizes as soon as the module is in, hands the
// module the archive's bytes as they come, and on Start gives the module a
// canvas, a clock and the music's output. The
// clock is the audio context's; where sound cannot be had it is a silent
// one, and the music joins at its position if sound starts later.
// Everything it loads comes from this folder.
//
// Test hook: ?at=S&paused[&size=WxH][&fps=F] draws, without sound, the frame
// the capture tool draws at S seconds (at F frames a second, 60 by default),
// and window.Tidewane.drawAt / readPixels do the same for further moments.
// ?start[&size=WxH] starts at once, as a click on Start would (where the
// browser lets sound start without one), for timing the loading.
'use strict';
(function () {
  const params = new URLSearchParams(location.search);
  const $ = (id) => document.getElementById(id);
  const output = [];     // what the module printed, for an error on the page
  let audio = null;      // the AudioContext, once Start is pressed
  let music = null;      // the decoded music as an AudioBuffer
  let musicDecoded = null; // settles once the music is decoded (or cannot be)
  let musicWanted = false;
  // 'waiting' (its bytes are still coming), 'decoding', then 'ready' or
  // 'none' (the show plays silent).
  let musicState = 'waiting';
  let musicStart = null; // the clock's reading when the music started
  let source = null;
  let quit = false;
  let playing = false;
  let enteredFullscreen = false;
  let chosen = null;     // {width, height, fullscreen}
  let settingUp = null;  // settles when the module's set-up (tw_prepare) returns
  let inSetUp = false;   // the module cannot be entered while its set-up waits

  // The archive's bytes as they arrive, until the module takes them.
  const incoming = {
    chunks: [],
    offset: 0,      // into the first chunk
    ended: false,
    waiting: [],
    arrived() { for (const resolve of this.waiting.splice(0)) resolve(); },
  };

  // The show's clock in seconds: the audio context's while sound plays,
  // else the page's own time, silent; a switch either way keeps the reading
  // continuous.
  const clock = {
    silent: false,
    offset: 0,
    source() { return this.silent || !audio ? performance.now() / 1000 : audio.currentTime; },
    now() { return this.source() + this.offset; },
    switchTo(silent) {
      const reading = this.now();
      this.silent = silent;
      this.offset = reading - this.source();
    },
  };
  const kNoSound = 'playing without sound: no sound output is available';

  // The pictures' and the music's decoding: a small pool of Web Workers
  // (decoder.js), each running the decoder's own module, so that the main
  // thread only uploads. The encoded bytes go to the workers as copies, the prepared
  // ones come back transferred: no memory is shared, so any static host
  // will do. Images are dealt round in turn; a batch's results wait here,
  // keyed "batch:index", until the module takes them.
  const decoders = {
    workers: [],
    turn: 0,
    prepared: new Map(),
    dropped: new Set(),
    waiting: [],
    start() {
      if (this.workers.length) return;
      // One core is left to the drawing and the sound.
      const count = Math.max(1, Math.min(4, (navigator.hardwareConcurrency || 2) - 1));
      for (let i = 0; i < count; ++i) {
        const worker = new Worker('decoder.js');
        worker.onmessage = (e) => this.arrived(e.data);
        worker.onerror = (e) => fail('The pictures cannot be decoded: ' + (e.message || 'the decoder did not start'));
        this.workers.push(worker);
      }
    },
    post(message, transfer) {
      this.start();
      this.workers[this.turn++ % this.workers.length].postMessage(message, transfer);
    },
    music: null,    // resolves with the decoded music
    arrived(image) {
      if (image.music) {
        this.music(image);
        return;
      }
      if (!this.dropped.has(image.batch)) this.prepared.set(image.batch + ':' + image.index, image);
      for (const resolve of this.waiting.splice(0)) resolve();
    },
  };

  function setState(state) { document.body.dataset.state = state; }
  function show(id) {
    for (const part of ['start', 'stage', 'sound', 'end', 'error']) $(part).hidden = part !== id;
  }
  // Shows what went wrong; the first message stands (an abort is followed by
  // the rejection of the call it stopped).
  function fail(text) {
    if (document.body.dataset.state === 'error') return;
    playing = false;
    if (source) source.stop();
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    $('error-text').textContent = text;
    show('error');
    setState('error');
  }

  // The music from `position` seconds of it, now, on the audio context.
  function startSource(position) {
    if (!music || !audio || position >= music.duration) return;
    source = audio.createBufferSource();
    source.buffer = music;
    source.connect(audio.destination);
    source.start(audio.currentTime, Math.max(0, position));
  }

  // What the module calls (src/web/main.cpp, src/web/imagebatch.cpp).
  const Tidewane = window.Tidewane = {
    decodeImage(batch, index, bytes, caps) {
      decoders.post({ batch, index, bytes, caps }, [bytes.buffer]);
    },
    imageReady(batch, index) { return decoders.prepared.has(batch + ':' + index); },
    imageArrival() { return new Promise((resolve) => decoders.waiting.push(resolve)); },
    takeImage(batch, index) {
      const key = batch + ':' + index;
      const image = decoders.prepared.get(key);
      decoders.prepared.delete(key);
      return image;
    },
    dropBatch(batch) {
      decoders.dropped.add(batch);
      for (const key of [...decoders.prepared.keys()])
        if (key.startsWith(batch + ':')) decoders.prepared.delete(key);
    },
    audioTime() { return clock.now(); },
    // The MP3 decoded off the main thread by one of the decoders, as the
    // desktop decodes it; the samples go to the audio context for playing
    // and back to the module for the spectrum.
    decodeMusic(bytes) {
      musicState = 'decoding';
      musicDecoded = new Promise((resolve) => {
        decoders.music = resolve;
        decoders.post({ music: bytes }, [bytes.buffer]);
      }).then(async ({ rate, channels, error }) => {
        if (error) throw new Error(error);
        // Not while the set-up waits (for a picture, an animation frame):
        // the module cannot be entered while it is paused there.
        await settingUp;
        const frames = channels[0].length;
        const count = channels.length;
        const nextTask = () => new Promise((resolve) => setTimeout(resolve, 0));
        // Each of the two rooms (some 40 MB for four minutes of stereo) is
        // made in a task of its own.
        const buffer = new AudioBuffer({ length: frames, numberOfChannels: count, sampleRate: rate });
        await nextTask();
        const ptr = Module.ccall('tw_music_buffer', 'number', ['number', 'number', 'number'], [frames, count, rate]);
        await nextTask();
        // Into the audio buffer and, interleaved, into the module's room a
        // slice at a time, so that no task of the page takes long; the
        // memory may grow between slices, so its view is taken anew.
        const kSlice = 1 << 18;
        for (let from = 0; from < frames; from += kSlice) {
          const to = Math.min(frames, from + kSlice);
          Module.ccall('tw_music_extend', null, ['number'], [to]);
          const heap = Module.HEAPF32;
          for (let c = 0; c < count; ++c) {
            const data = channels[c];
            buffer.copyToChannel(data.subarray(from, to), c, from);
            for (let i = from, at = (ptr >> 2) + from * count + c; i < to; ++i, at += count) heap[at] = data[i];
          }
          await nextTask();
        }
        Module.ccall('tw_music_decoded', null, [], []);
        performance.mark('music decoded');
        music = buffer;
        musicState = 'ready';
      }).catch((err) => {
        console.error('music: music.mp3: ' + (err.message || err) + '; the show goes on silent');
        musicState = 'none';
      }).finally(() => {
        if (musicWanted) Tidewane.playMusic();
      });
    },
    noMusic() {
      musicState = 'none';
      if (musicWanted) Tidewane.playMusic();
    },
    musicSettled() { return musicState === 'ready' || musicState === 'none'; },
    // Up to `room` bytes of the archive into the module at `into`: how
    // many, 0 when none are waiting, -1 once the file has ended.
    takeArchiveBytes(into, room) {
      if (!incoming.chunks.length) return incoming.ended ? -1 : 0;
      const chunk = incoming.chunks[0];
      const n = Math.min(room, chunk.length - incoming.offset);
      Module.HEAPU8.set(chunk.subarray(incoming.offset, incoming.offset + n), into);
      incoming.offset += n;
      if (incoming.offset === chunk.length) {
        incoming.chunks.shift();
        incoming.offset = 0;
      }
      return n;
    },
    archiveArrival() { return new Promise((resolve) => incoming.waiting.push(resolve)); },
    showProgress(on) { $('progress').hidden = !on; },
    // Starts the music now, or as soon as it is decoded; the timeline's
    // clock waits for it. Without music or sound to play it, the clock runs
    // silent.
    playMusic() {
      if (!musicWanted) performance.mark('intro ended');
      musicWanted = true;
      if (!playing || musicStart !== null || !Tidewane.musicSettled()) return;
      musicStart = clock.now();
      if (!clock.silent) startSource(0);
    },
    musicTime() { return musicStart === null ? 0 : clock.now() - musicStart; },
    takeQuit() { const q = quit; quit = false; return q; },
    mark(name) { performance.mark(name); },
    showEnded() {
      playing = false;
      if (source) source.stop();
      if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
      show('end');
      setState('ended');
    },
    pixelsRead(bytes) { Tidewane.pixels = bytes; },
    // The frame the capture tool draws at `seconds`; a line describing it.
    drawAt(seconds, fps) {
      return Module.UTF8ToString(Module.ccall('tw_draw_at', 'number', ['number', 'number'], [seconds, fps || 60]));
    },
    // The scene table: [{name, at}], a moment in each scene program's first
    // stretch, in show seconds.
    scenes() {
      return Module.UTF8ToString(Module.ccall('tw_scenes', 'number', [], [])).split(';')
        .map((item) => { const [name, at] = item.split('@'); return { name, at: Number(at) }; });
    },
    // The frame drawAt drew, drawn again.
    redraw() { Module.ccall('tw_redraw', null, [], []); },
    // Returns once what was drawn is done.
    finish() { Module.ccall('tw_finish', null, [], []); },
    // The canvas's pixels as drawn last, RGBA rows from the top.
    readPixels() { Module.ccall('tw_read_pixels', null, [], []); return Tidewane.pixels; },
    output,
  };

  if (!window.WebAssembly) return fail('This browser cannot run WebAssembly, which the show is compiled to.');

  // The page's two downloads, one after the other so that Start is usable
  // soonest: the module (compiled as it streams in), then the data archive
  // (read as it streams in). Their progress shows on the start page and,
  // after Start, on the stage while the show waits for them.
  const progress = { part: 'program', received: 0, total: 0 };
  function megabytes(n) { return (n / 1e6).toFixed(1); }
  function showProgress() {
    const { part, received, total } = progress;
    const text = total >= received && total > 0
      ? `Loading the show's ${part}: ${megabytes(received)} of ${megabytes(total)} MB (${Math.floor(100 * received / total)}%)`
      : `Loading the show's ${part}: ${megabytes(received)} MB`;
    $('status').textContent = text;
    $('progress').textContent = text;
  }
  // Counts a response's bytes into the progress as they are read. The
  // length is the one on the wire, where the server names it (a compressed
  // transfer names a smaller one: then only the bytes are shown).
  function counting(response, part, onEnd) {
    Object.assign(progress, { part, received: 0, total: Number(response.headers.get('content-length')) || 0 });
    showProgress();
    const reader = response.body.getReader();
    return new ReadableStream({
      async pull(controller) {
        const { done, value } = await reader.read();
        if (done) { controller.close(); onEnd(); return; }
        progress.received += value.length;
        showProgress();
        controller.enqueue(value);
      },
    });
  }

  let moduleIn;
  const moduleFetched = new Promise((resolve) => { moduleIn = resolve; });
  // The module, compiled while it downloads; where the browser cannot
  // compile a stream, from its bytes once they are in. The type is the
  // module's own whatever the server sends, which instantiateStreaming
  // would otherwise refuse.
  async function instantiate(imports) {
    const response = await fetch('tidewane.wasm');
    if (!response.ok) throw new Error('tidewane.wasm could not be loaded from this folder (' + response.status + ')');
    if (!response.body || !WebAssembly.instantiateStreaming) {
      const bytes = await response.arrayBuffer();
      moduleIn();
      return WebAssembly.instantiate(bytes, imports);
    }
    const body = counting(response, 'program', moduleIn);
    return WebAssembly.instantiateStreaming(new Response(body, { headers: { 'content-type': 'application/wasm' } }),
                                            imports);
  }

  // The decoders load beside the archive, so that the first picture does
  // not wait for their module after it has arrived.
  moduleFetched.then(() => decoders.start());

  // The archive's response once its download starts, or null where it
  // cannot be had (the module then says so as the desktop does).
  const archiveResponse = moduleFetched.then(async () => {
    try {
      const response = await fetch('tidewane.velk');
      return response.ok ? response : null;
    } catch (err) { return null; }
  });
  // Its bytes into `incoming` as they come; resolves at their end.
  const archiveRead = archiveResponse.then(async (response) => {
    if (response && response.body) {
      const reader = counting(response, 'data', () => {}).getReader();
      for (;;) {
        const { done, value } = await reader.read();
        if (done) break;
        incoming.chunks.push(value);
        incoming.arrived();
      }
    } else if (response) {
      incoming.chunks.push(new Uint8Array(await response.arrayBuffer()));
    }
    incoming.ended = true;
    performance.mark('archive in');
    incoming.arrived();
  }).catch(() => { incoming.ended = true; incoming.arrived(); });

  const ready = new Promise((resolve) => {
    window.Module = {
      canvas: $('canvas'),
      print(text) { output.push(text); console.log(text); },
      printErr(text) { output.push(text); console.error(text); },
      instantiateWasm(imports, received) {
        instantiate(imports).then((r) => received(r.instance, r.module)).catch((err) => {
          moduleIn();
          fail(String(err.message || err));
        });
        return {};
      },
      onRuntimeInitialized: resolve,
      onAbort() { fail(output.join('\n') || 'The show stopped.'); },
    };
    const script = document.createElement('script');
    script.src = 'tidewane.js';
    script.onerror = () => { moduleIn(); fail('tidewane.js could not be loaded from this folder.'); };
    document.body.appendChild(script);
  });

  // The module reads the archive as it arrives, as the show reads it: a
  // missing or damaged one stops with the desktop's block, shown as soon as
  // it is known. The length is the file's where the server names it for the
  // bytes as they come (not for a compressed transfer). `opened` resolves
  // to whether the show can play.
  function intoModule(call, args) {
    try {
      Module.ccall(call, null, ['number', 'number'].slice(0, args.length), args);
      return true;
    } catch (err) {
      fail(output.join('\n') || String(err));
      return false;
    }
  }
  function pullArchive() {
    if (!inSetUp && document.body.dataset.state !== 'error') intoModule('tw_archive_pull', []);
  }
  const opened = Promise.all([archiveResponse, ready]).then(([response]) => {
    const encoded = response && response.headers.get('content-encoding');
    const length = response && !encoded ? Number(response.headers.get('content-length') || -1) : -1;
    if (!intoModule('tw_archive_open', [response ? 1 : 0, length])) return false;
    incoming.waiting.push(function next() {
      pullArchive();
      if (!incoming.ended) incoming.waiting.push(next);
    });
    pullArchive();
    return document.body.dataset.state !== 'error';
  });
  archiveRead.then(() => opened).then((ok) => {
    if (ok && document.body.dataset.state !== 'error') $('status').textContent = '';
  });

  // A WebGL 2 context takes a moment to make (hundreds of milliseconds on a
  // software rasteriser): the check runs once the downloads are under way.
  if (!document.createElement('canvas').getContext('webgl2'))
    return fail('This browser offers no WebGL 2 (OpenGL ES 3.0 in the browser), which the show draws with. ' +
                'It may be turned off, or the graphics driver may be blocked: try another browser or another machine.');

  async function prepare(width, height) {
    inSetUp = true;
    settingUp = Module.ccall('tw_prepare', 'number', ['number', 'number'], [width, height], { async: true });
    const failed = await settingUp;
    inSetUp = false;
    if (failed) fail(output.join('\n'));
    // What came while the set-up ran and it did not take.
    else pullArchive();
    return !failed;
  }

  function listSizes() {
    const dpr = window.devicePixelRatio || 1;
    const text = Module.UTF8ToString(Module.ccall('tw_sizes', 'number', ['number', 'number'],
      [Math.round(screen.width * dpr), Math.round(screen.height * dpr)]));
    const [items, selected, full] = text.split('|');
    const select = $('size');
    for (const item of items ? items.split(';') : []) {
      const [w, h] = item.split(' ');
      select.add(new Option(w + ' × ' + h, w + 'x' + h));
    }
    select.selectedIndex = Number(selected);
    $('fullscreen').checked = full === '1';
    // Coming back from "watch again", the last choices stand.
    if (params.has('size')) select.value = params.get('size');
    if (params.has('full')) $('fullscreen').checked = params.get('full') === '1';
    if (select.selectedIndex < 0) select.selectedIndex = 0;
    select.disabled = false;
    $('go').disabled = false;
    setState('start');
    performance.mark('start usable');
  }

  // Where sound cannot be had, the show goes on on the silent clock and the
  // page says so; a click on the button may still bring the sound.
  function goSilent() {
    if (!playing || clock.silent || (audio && audio.state === 'running')) return;
    clock.switchTo(true);
    // Playing music stops with the sound, to join again where the clock is.
    if (source) source.stop();
    source = null;
    $('sound-state').textContent = kNoSound;
    $('sound').hidden = false;
    document.body.dataset.sound = 'silent';
  }
  // Sound came after all: the clock is the audio's again, and the music
  // joins at the clock's position.
  function soundRunning() {
    $('sound').hidden = true;
    if (!clock.silent) return;
    clock.switchTo(false);
    if (musicStart !== null) startSource(clock.now() - musicStart);
    document.body.dataset.sound = 'on';
  }

  async function start(event) {
    event.preventDefault();
    const [w, h] = $('size').value.split('x').map(Number);
    chosen = { width: w, height: h, fullscreen: $('fullscreen').checked };
    // Both need the click: sound and full screen. Where the browser gives no
    // sound (no output device, or it refuses without a gesture), the context
    // stays suspended and resume() may never settle.
    try {
      audio = new AudioContext();
      audio.resume().catch(() => {});
      // Sound may also stop after it ran (the browser or the system
      // suspends it): the show goes on on the silent clock.
      audio.addEventListener('statechange', () => { if (audio.state === 'running') soundRunning(); else goSilent(); });
    } catch (err) {
      audio = null;
      console.error('sound: ' + err);
    }
    show('stage');
    setState('playing');
    if (chosen.fullscreen) {
      $('stage').requestFullscreen().then(() => { enteredFullscreen = true; }).catch(() => {});
    }
    $('canvas').focus();
    const clicked = performance.now();
    // The stage carries the progress while the show waits for data.
    $('progress').hidden = incoming.ended;
    // The stage is laid out and the sound set up in a task of their own.
    await new Promise((resolve) => setTimeout(resolve, 0));
    if (!(await opened)) return;
    const prepared = await prepare(w, h);
    $('progress').hidden = true;
    if (!prepared) return;
    playing = true;
    if (!audio) clock.switchTo(true);
    Module.ccall('tw_play', null, [], []);
    setTimeout(goSilent, Math.max(0, 1000 - (performance.now() - clicked)));
  }

  $('sound-on').addEventListener('click', () => { if (audio) audio.resume().catch(() => {}); });
  document.addEventListener('keydown', (e) => { if (playing && e.key === 'Escape') quit = true; });
  document.addEventListener('fullscreenchange', () => {
    if (playing && enteredFullscreen && !document.fullscreenElement) quit = true;
  });
  $('again').addEventListener('click', () => {
    location.search = '?size=' + chosen.width + 'x' + chosen.height + '&full=' + (chosen.fullscreen ? 1 : 0);
  });
  $('choices').addEventListener('submit', (e) => { start(e).catch((err) => fail(String(err))); });

  ready.then(async () => {
    if (!params.has('at')) {
      listSizes();
      if (params.has('start')) $('choices').requestSubmit();
      return;
    }
    const [w, h] = (params.get('size') || '640x400').split('x').map(Number);
    show('stage');
    // The whole archive first: the frame is drawn with everything in.
    await archiveRead;
    if (!(await opened)) return;
    pullArchive();
    if (!(await prepare(w, h))) return;
    await musicDecoded;
    while (!Module.ccall('tw_timeline_ready', 'number', [], [])) await Tidewane.imageArrival();
    Tidewane.frame = Tidewane.drawAt(Number(params.get('at')), Number(params.get('fps') || 60));
    setState('paused');
  }).catch((err) => fail(String(err)));
})();
