#pragma once
// PNG images decoded and made ready for upload on any thread, so that a batch
// of them can be prepared by several workers while the GL thread uploads.
// Nothing here calls OpenGL.

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

// Largest width or height of an image that is decoded.
const unsigned int kMaxImageSide = 16384;

// True when `size` bytes at `data` are one complete, valid PNG file: the
// signature, every chunk with its checksum, all image data (neither short nor
// too long) and the closing IEND chunk, with no error or warning from libpng,
// palette indices inside the palette, and neither side larger than
// kMaxImageSide. Reads nothing outside the bytes given. Anything else,
// including other image formats, is refused, with what is wrong with it in
// `problem` when that is given (for example "not a PNG file" or
// "damaged PNG: IDAT: CRC error").
bool isCompletePng(const unsigned char* data, size_t size, std::string* problem = nullptr);

// What the GL thread can take, asked of the driver before a batch is
// prepared (see queryUploadCaps in texture.h).
struct UploadCaps {
    bool dxt = false;  // S3TC textures can be uploaded
    bool npot = false; // sides need not be powers of two
    int maxSide = 0;   // the driver's largest texture side
    // S3TC only for sides that are multiples of 4 (WebGL's rule); other
    // images go up uncompressed.
    bool dxtWholeBlocks = false;
};

struct FreeDeleter {
    void operator()(unsigned char* p) const { std::free(p); }
};

// One image ready for the GL thread.
struct PreparedImage {
    bool decoded = false; // false: refused, the texture gets name 0
    std::string problem;  // when refused, what is wrong with the file
    int width = 0;
    int height = 0;
    int channels = 0; // 1 grey, 2 grey+alpha, 3 RGB, 4 RGBA
    // Compressed to DXT1 (1 or 3 channels) or DXT5 (2 or 4) with rows
    // flipped, when the driver takes it as it is; else empty.
    std::unique_ptr<unsigned char, FreeDeleter> dxt;
    int dxtSize = 0;
    unsigned int dxtFormat = 0; // the GL internal format of `dxt`
    // Otherwise the decoded pixels, top row first, `channels` bytes a pixel.
    std::vector<unsigned char> pixels;
};

// Decodes a PNG of any layout into the channel layout the texture library
// gives an 8-bit one: grey, grey+alpha, RGB and RGBA as stored, palette
// images as RGB, or as RGBA when they have a transparency chunk (a
// transparency chunk on grey or RGB is ignored). Samples below 8 bits are
// expanded (grey scaled to 0-255), 16-bit samples keep their high byte and
// interlaced images are de-interlaced, so each gives the same bytes as the
// 8-bit, non-interlaced file of the same picture. Files that are not
// complete (isCompletePng) are refused, with the reason in image.problem.
// The file is read once: checking and decoding are the same pass.
bool decodePng(const unsigned char* data, size_t size, PreparedImage& image);

// Puts the decoded pixels' rows in the opposite order (bottom row first,
// as textures hold them, or back).
void flipRows(PreparedImage& image);

// decodePng, then, when `caps` allow the texture library's compressed upload
// without resizing, the row flip and the DXT compression that upload would
// do, so that only the copy to the driver is left for the GL thread.
PreparedImage prepareImage(const unsigned char* data, size_t size, const UploadCaps& caps);
