// One decoder of the page's pool (page.js starts them): a Web Worker
// running the decoder module (tidewane-decoder.js), which prepares an image
// as the desktop's worker threads do, or decodes the music as the desktop
// does. An image's message is {batch, index, bytes, caps}; the answer gives
// the prepared image's fields up to kBytes (src/web/prepared.h), its
// problem and its bytes, transferred. The music's is {music: bytes}; the
// answer, {music: true, rate, channels} with one Float32Array a channel,
// transferred, or {music: true, error}.
'use strict';
self.Module = {};
const ready = new Promise((resolve) => { self.Module.onRuntimeInitialized = resolve; });
importScripts('tidewane-decoder.js');

function decodeMusic(bytes) {
  const input = _malloc(bytes.length);
  HEAPU8.set(bytes, input);
  const at = _tw_decoder_music(input, bytes.length) >> 2;
  _free(input);
  const [rate, count, frames, samples, error] = HEAP32.subarray(at, at + 5);
  if (!frames) {
    self.postMessage({ music: true, error: UTF8ToString(error) });
  } else {
    const channels = [];
    for (let c = 0; c < count; ++c) {
      const channel = new Float32Array(frames);
      for (let i = 0, from = (samples >> 2) + c; i < frames; ++i, from += count) channel[i] = HEAPF32[from];
      channels.push(channel);
    }
    self.postMessage({ music: true, rate, channels }, channels.map((c) => c.buffer));
  }
  _tw_decoder_music_done();
}

self.onmessage = async (event) => {
  await ready;
  if (event.data.music) {
    try {
      decodeMusic(event.data.music);
    } catch (err) {
      self.postMessage({ music: true, error: String(err) });
    }
    return;
  }
  const { batch, index, bytes, caps } = event.data;
  try {
    const input = _malloc(bytes.length);
    HEAPU8.set(bytes, input);
    const at = _tw_decoder_prepare(input, bytes.length, ...caps) >> 2;
    _free(input);
    const [kSize, kBytes, kProblem] = [7, 8, 9];
    const header = Array.from(HEAP32.subarray(at, at + kBytes));
    const data = HEAPU8.slice(HEAP32[at + kBytes], HEAP32[at + kBytes] + header[kSize]);
    const problem = UTF8ToString(HEAP32[at + kProblem]);
    self.postMessage({ batch, index, header, problem, data }, [data.buffer]);
  } catch (err) {
    // The module stopped (out of memory): the show's module throws this
    // where it uploads the image (kFailed set).
    self.postMessage({ batch, index, header: [0, 0, 0, 0, 0, 0, 1, 0], problem: String(err),
                       data: new Uint8Array(0) });
  }
};
