// The module of the page's decoders, one in each Web Worker of its pool
// (web/page/decoder.js): the desktop's preparation of an image
// (prepareImage: decode, flip, DXT compression where the caps allow), for
// the show's module to upload (src/web/imagebatch.cpp), and the desktop's
// decoding of the music (libmpg123), for the page to play and the show's
// module to analyse.

#include "audio/decoder.h"
#include "gl/image.h"
#include "web/prepared.h"

#include <emscripten.h>

#include <cstdint>

namespace {

// The last image prepared, kept until the next call so that the worker can
// copy its bytes out.
PreparedImage g_image;
int32_t g_header[kPreparedFields];
// The music decoded last, until tw_decoder_music_done.
Audio::DecodedAudio g_music;
int32_t g_musicHeader[5];

} // namespace

extern "C" {

// Prepares `size` bytes at `data` for `dxt`, `npot`, `maxSide` and
// `wholeBlocks` (UploadCaps) and describes the result; its bytes (the DXT
// blocks, else the pixels) start at the address in its kBytes field.
EMSCRIPTEN_KEEPALIVE const int32_t* tw_decoder_prepare(const unsigned char* data, int size, int dxt,
                                                       int npot, int maxSide, int wholeBlocks) {
    UploadCaps caps;
    caps.dxt = dxt != 0;
    caps.npot = npot != 0;
    caps.maxSide = maxSide;
    caps.dxtWholeBlocks = wholeBlocks != 0;
    g_image = prepareImage(data, size_t(size), caps);
    const bool isDxt = g_image.dxt != nullptr;
    g_header[kDecoded] = g_image.decoded;
    g_header[kWidth] = g_image.width;
    g_header[kHeight] = g_image.height;
    g_header[kChannels] = g_image.channels;
    g_header[kDxtFormat] = int32_t(g_image.dxtFormat);
    g_header[kIsDxt] = isDxt;
    g_header[kFailed] = 0; // a failure throws, and the worker reports it
    g_header[kSize] = isDxt ? g_image.dxtSize : int32_t(g_image.pixels.size());
    g_header[kBytes] =
        int32_t(reinterpret_cast<intptr_t>(isDxt ? g_image.dxt.get() : g_image.pixels.data()));
    g_header[kProblem] = int32_t(reinterpret_cast<intptr_t>(g_image.problem.c_str()));
    return g_header;
}

// Decodes the MP3 of `size` bytes at `data`: its rate, its channels, its
// frames (0 where it cannot be decoded), the address of its interleaved
// samples and that of the error's text.
EMSCRIPTEN_KEEPALIVE const int32_t* tw_decoder_music(const unsigned char* data, int size) {
    g_music = Audio::decodeMp3(data, size_t(size));
    g_musicHeader[0] = g_music.sampleRate;
    g_musicHeader[1] = g_music.channels;
    g_musicHeader[2] = g_music.ok() ? int32_t(g_music.frames()) : 0;
    g_musicHeader[3] = int32_t(reinterpret_cast<intptr_t>(g_music.samples.data()));
    g_musicHeader[4] = int32_t(reinterpret_cast<intptr_t>(g_music.error.c_str()));
    return g_musicHeader;
}

EMSCRIPTEN_KEEPALIVE void tw_decoder_music_done() {
    g_music = Audio::DecodedAudio();
}

} // extern "C"
