// One picture decoder of the page's pool (page.js starts them): a Web
// Worker running the decoder module (tidewane-decoder.js), which prepares
// an image as the desktop's worker threads do. Each message is
// {batch, index, bytes, caps}; the answer gives the prepared image's
// fields up to kBytes (src/web/prepared.h), its problem and its bytes,
// transferred.
'use strict';
self.Module = {};
const ready = new Promise((resolve) => { self.Module.onRuntimeInitialized = resolve; });
importScripts('tidewane-decoder.js');

self.onmessage = async (event) => {
  await ready;
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
