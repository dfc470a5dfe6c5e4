// The start page and the browser's side of the show: it checks for WebGL 2,
// loads the WebAssembly module and the data archive, lists the picture
// sizes, and on Start gives the module a canvas, an audio clock and the
// music's output. Everything it loads comes from this folder.
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
  let audio = null;      // the AudioContext: the show's clock
  let music = null;      // the decoded music as an AudioBuffer
  let musicDecoded = null; // settles once the music is decoded (or cannot be)
  let musicWanted = false;
  let musicDecoding = false;
  let musicStart = null; // the audio clock's reading when the music started
  let source = null;
  let quit = false;
  let playing = false;
  let enteredFullscreen = false;
  let chosen = null;     // {width, height, fullscreen}

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

  // What the module calls (src/web/main.cpp).
  const Tidewane = window.Tidewane = {
    audioTime() { return audio ? audio.currentTime : performance.now() / 1000; },
    // The MP3 decoded off the main thread at its own rate; the samples go
    // back to the module for the spectrum.
    decodeMusic(bytes, rate, channels) {
      musicDecoding = true;
      musicDecoded = new OfflineAudioContext(channels, 1, rate).decodeAudioData(bytes.buffer).then((buffer) => {
        const frames = buffer.length;
        const ptr = Module.ccall('tw_music_buffer', 'number', ['number', 'number', 'number'],
                                 [frames, buffer.numberOfChannels, buffer.sampleRate]);
        const heap = Module.HEAPF32;
        for (let c = 0; c < buffer.numberOfChannels; ++c) {
          const data = buffer.getChannelData(c);
          for (let i = 0, at = (ptr >> 2) + c; i < frames; ++i, at += buffer.numberOfChannels) heap[at] = data[i];
        }
        Module.ccall('tw_music_decoded', null, [], []);
        performance.mark('music decoded');
        music = buffer;
      }).catch((err) => {
        console.error('music: music.mp3: the browser cannot decode it (' + err + '); the show goes on silent');
      }).finally(() => {
        musicDecoding = false;
        if (musicWanted) Tidewane.playMusic();
      });
    },
    // Starts the music now, or as soon as it is decoded; the timeline's
    // clock waits for it. Without music to play, the clock runs silent.
    playMusic() {
      musicWanted = true;
      if (!audio || musicStart !== null || musicDecoding) return;
      musicStart = audio.currentTime;
      if (!music) return;
      source = audio.createBufferSource();
      source.buffer = music;
      source.connect(audio.destination);
      source.start(musicStart);
    },
    musicTime() { return musicStart === null ? 0 : audio.currentTime - musicStart; },
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
    // The frame drawAt drew, drawn again.
    redraw() { Module.ccall('tw_redraw', null, [], []); },
    // Returns once what was drawn is done.
    finish() { Module.ccall('tw_finish', null, [], []); },
    // The canvas's pixels as drawn last, RGBA rows from the top.
    readPixels() { Module.ccall('tw_read_pixels', null, [], []); return Tidewane.pixels; },
    output,
  };

  if (!window.WebAssembly) return fail('This browser cannot run WebAssembly, which the show is compiled to.');
  if (!document.createElement('canvas').getContext('webgl2'))
    return fail('This browser offers no WebGL 2 (OpenGL ES 3.0 in the browser), which the show draws with. ' +
                'It may be turned off, or the graphics driver may be blocked: try another browser or another machine.');

  const archive = fetch('tidewane.velk').then((r) => (r.ok ? r.arrayBuffer() : null)).catch(() => null);
  const ready = new Promise((resolve) => {
    window.Module = {
      canvas: $('canvas'),
      print(text) { output.push(text); console.log(text); },
      printErr(text) { output.push(text); console.error(text); },
      onRuntimeInitialized: resolve,
      onAbort() { fail(output.join('\n') || 'The show stopped.'); },
    };
    const script = document.createElement('script');
    script.src = 'tidewane.js';
    script.onerror = () => fail('tidewane.js could not be loaded from this folder.');
    document.body.appendChild(script);
  });

  // The archive into the module's files; a missing one stays missing, and
  // the show says so as on the desktop.
  async function loaded() {
    const [bytes] = await Promise.all([archive, ready]);
    if (bytes) Module.FS.writeFile('tidewane.velk', new Uint8Array(bytes));
  }

  async function prepare(width, height) {
    const failed = await Module.ccall('tw_prepare', 'number', ['number', 'number'], [width, height], { async: true });
    if (failed) fail(output.join('\n'));
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
    $('status').textContent = '';
    setState('start');
  }

  async function start(event) {
    event.preventDefault();
    const [w, h] = $('size').value.split('x').map(Number);
    chosen = { width: w, height: h, fullscreen: $('fullscreen').checked };
    // Both need the click: sound and full screen.
    audio = new AudioContext();
    // Where the browser refuses sound, resume() waits for a gesture; the
    // show's clock stands still until then, and a button offers one.
    audio.resume().catch(() => {});
    audio.addEventListener('statechange', () => { if (audio.state === 'running') $('sound').hidden = true; });
    show('stage');
    setState('playing');
    if (chosen.fullscreen) {
      $('stage').requestFullscreen().then(() => { enteredFullscreen = true; }).catch(() => {});
    }
    $('canvas').focus();
    if (!(await prepare(w, h))) return;
    playing = true;
    Module.ccall('tw_play', null, [], []);
    setTimeout(() => {
      if (playing && audio.state !== 'running') $('sound').hidden = false;
    }, 500);
  }

  $('sound-on').addEventListener('click', () => { audio.resume().catch(() => {}); });
  document.addEventListener('keydown', (e) => { if (playing && e.key === 'Escape') quit = true; });
  document.addEventListener('fullscreenchange', () => {
    if (playing && enteredFullscreen && !document.fullscreenElement) quit = true;
  });
  $('again').addEventListener('click', () => {
    location.search = '?size=' + chosen.width + 'x' + chosen.height + '&full=' + (chosen.fullscreen ? 1 : 0);
  });
  $('choices').addEventListener('submit', (e) => { start(e).catch((err) => fail(String(err))); });

  loaded().then(async () => {
    if (!params.has('at')) {
      listSizes();
      if (params.has('start')) $('choices').requestSubmit();
      return;
    }
    const [w, h] = (params.get('size') || '640x400').split('x').map(Number);
    show('stage');
    if (!(await prepare(w, h))) return;
    await musicDecoded;
    Tidewane.frame = Tidewane.drawAt(Number(params.get('at')), Number(params.get('fps') || 60));
    setState('paused');
  }).catch((err) => fail(String(err)));
})();
