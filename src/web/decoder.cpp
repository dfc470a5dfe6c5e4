// The module of the page's picture decoders, one in each Web Worker of its
// pool (web/page/decoder.js): the desktop's preparation of an image
// (prepareImage: decode, flip, DXT compression where the caps allow), for
// the show's module to upload (src/web/imagebatch.cpp).

#include "gl/image.h"
#include "web/prepared.h"

#include <emscripten.h>

#include <cstdint>

namespace {

// The last image prepared, kept until the next call so that the worker can
// copy its bytes out.
PreparedImage g_image;
int32_t g_header[kPreparedFields];

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

} // extern "C"
