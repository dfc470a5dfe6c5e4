#include "gl/image.h"

#include <png.h>

#ifdef TIDEWANE_WEBGL
// The texture library is a desktop binary only; the browser build
// compresses with stb's block compressor instead.
#include "gl/stbdxt.h"
#else
// The texture library's own DXT compressor; its header is plain C.
extern "C" {
#include <SOIL/image_DXT.h>
}
#endif

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <new>
#include <string>

namespace {

// S3TC internal formats, as the texture library uploads them.
const unsigned int kDxt1 = 0x83F0; // GL_COMPRESSED_RGB_S3TC_DXT1_EXT
const unsigned int kDxt5 = 0x83F3; // GL_COMPRESSED_RGBA_S3TC_DXT5_EXT

// What the libpng callbacks share.
struct PngInput {
    const unsigned char* data;
    size_t size;
    size_t position;
    bool warned;
    bool tooLarge; // a side is larger than kMaxImageSide
    png_bytep indices; // palette indices, freed by readPng
    std::string problem; // the first error or warning, for the message
};

void readInputBytes(png_structp png, png_bytep out, png_size_t count) {
    PngInput* input = static_cast<PngInput*>(png_get_io_ptr(png));
    if (count > input->size - input->position) png_error(png, "file ends early");
    std::memcpy(out, input->data + input->position, count);
    input->position += count;
}

void onPngError(png_structp png, png_const_charp message) {
    PngInput* input = static_cast<PngInput*>(png_get_error_ptr(png));
    if (input->problem.empty()) input->problem = std::string("damaged PNG: ") + message;
    png_longjmp(png, 1);
}

void onPngWarning(png_structp png, png_const_charp message) {
    PngInput* input = static_cast<PngInput*>(png_get_error_ptr(png));
    if (!input->warned) input->problem = std::string("damaged PNG: ") + message;
    input->warned = true;
}

// Sets the problem and gives false; for readAllRows, where nothing with a
// destructor may be built.
bool refuse(PngInput* input, const char* problem) {
    input->problem = problem;
    return false;
}

// Reads every row of every pass and up to IEND. Any layout is read: samples
// below 8 bits are expanded to a byte each (grey scaled to 0-255, palette
// indices kept), 16-bit samples keep their high byte and interlaced images
// are put together from their passes. With `image` set the pixels are kept,
// palette indices looked up in the palette; without it the rows are dropped.
// Kept apart from readPng so that no object with a destructor lives in the
// function that calls setjmp.
bool readAllRows(png_structp png, png_infop info, PngInput* input, PreparedImage* image) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    const int colorType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (width > kMaxImageSide || height > kMaxImageSide) return input->tooLarge = true, false;
    const bool palette = colorType == PNG_COLOR_TYPE_PALETTE;
    if (bitDepth == 16) png_set_strip_16(png);
    // Neither transform turns a transparency chunk on grey into alpha (only
    // png_set_tRNS_to_alpha would): it stays ignored, as on 8-bit files.
    if (bitDepth < 8) {
        if (palette) png_set_packing(png);
        else png_set_expand_gray_1_2_4_to_8(png);
    }
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);

    // The decoder behind the textures looks palette indices up in a
    // 256-entry table of which only the PLTE entries are filled: an index
    // past them is refused rather than shown as whatever was in memory.
    png_colorp paletteColours = nullptr;
    int paletteSize = 256;
    png_bytep alphas = nullptr;
    int alphaCount = 0;
    if (palette) {
        if (!png_get_PLTE(png, info, &paletteColours, &paletteSize))
            return refuse(input, "damaged PNG: no palette");
        png_get_tRNS(png, info, &alphas, &alphaCount, nullptr);
    }
    // Rows that are kept as they come are read straight into the image; the
    // passes of an interlaced one fill them in place.
    const bool direct = image && !palette;
    if (image) {
        image->width = int(width);
        image->height = int(height);
        image->channels = palette ? (alphas ? 4 : 3) : int(png_get_channels(png, info));
        image->pixels.resize(size_t(width) * height * size_t(image->channels));
    }
    // Palette indices: one row, or the whole image while the passes of an
    // interlaced one come in.
    const size_t indexRows = image && passes > 1 ? height : 1;
    if (!direct) {
        input->indices = static_cast<png_bytep>(png_malloc(png, rowBytes * indexRows));
        std::memset(input->indices, 0, rowBytes * indexRows);
    }
    auto indexRow = [&](png_uint_32 y) { return input->indices + (indexRows > 1 ? y : 0) * rowBytes; };
    auto expandRow = [&](png_uint_32 y) {
        const png_bytep row = indexRow(y);
        unsigned char* out = image->pixels.data() + size_t(y) * width * size_t(image->channels);
        for (png_uint_32 x = 0; x < width; ++x) {
            const png_color& c = paletteColours[row[x]];
            *out++ = c.red;
            *out++ = c.green;
            *out++ = c.blue;
            if (alphas) *out++ = row[x] < alphaCount ? alphas[row[x]] : 255;
        }
    };
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y) {
            png_bytep row = direct ? image->pixels.data() + size_t(y) * rowBytes : indexRow(y);
            png_read_row(png, row, nullptr);
            if (!palette) continue;
            for (size_t i = 0; i < rowBytes; ++i)
                if (row[i] >= paletteSize)
                    return refuse(input, "damaged PNG: a palette index past the palette");
            if (image && passes == 1) expandRow(y);
        }
    if (image && palette && passes > 1)
        for (png_uint_32 y = 0; y < height; ++y) expandRow(y);
    png_read_end(png, info);
    return !input->warned;
}

bool readPng(const unsigned char* data, size_t size, PreparedImage* image, std::string& problem) {
    if (data == nullptr || size == 0) return problem = "empty file", false;
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) return problem = "not a PNG file", false;
    PngInput input = {data, size, 0, false, false, nullptr, std::string()};
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &input, onPngError, onPngWarning);
    if (!png) return problem = "out of memory", false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return problem = "out of memory", false;
    }
    png_set_read_fn(png, &input, readInputBytes);
    // Sides are checked against kMaxImageSide once the header is read, so
    // that a file that is too large is told apart from a damaged one.
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    // Data after the image, a damaged ancillary chunk and the like are
    // refused, not passed over.
    png_set_benign_errors(png, 0);
    bool complete = false;
    try {
        complete = readAllRows(png, info, &input, image);
    } catch (const std::bad_alloc&) {
        input.problem = "too large to hold in memory";
    }
    if (input.tooLarge)
        input.problem = "too large: " + std::to_string(png_get_image_width(png, info)) + "x" +
                        std::to_string(png_get_image_height(png, info)) + " pixels, more than " +
                        std::to_string(kMaxImageSide) + " on a side";
    if (input.indices) png_free(png, input.indices);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!complete) problem = input.problem.empty() ? "damaged PNG" : input.problem;
    return complete;
}


#ifdef TIDEWANE_WEBGL
unsigned char* libraryDxt(const unsigned char* pixels, int width, int height, int channels,
                          int* size) {
    return stbDxt(pixels, width, height, channels, size);
}
#else
// The library's compressor on a whole image: DXT1 for 1 or 3 channels, DXT5
// for 2 or 4.
unsigned char* libraryDxt(const unsigned char* pixels, int width, int height, int channels,
                          int* size) {
    return channels % 2 == 1 ? convert_image_to_DXT1(pixels, width, height, channels, size)
                             : convert_image_to_DXT5(pixels, width, height, channels, size);
}
#endif

// Exactly the library's compression of the image, block row by block row
// and block by block. Each 4x4 block is compressed from its own pixels only,
// so a whole block of one colour always gives the same bytes: those are
// computed once per colour, and only the runs of other blocks go through the
// compressor. The show's lyrics and credits are mostly empty, which makes
// this several times faster there.
unsigned char* compressDxt(const unsigned char* pixels, int width, int height, int channels,
                           int* size) {
    const size_t blockBytes = channels % 2 == 1 ? 8 : 16;
    const int blocksWide = (width + 3) / 4, blocksHigh = (height + 3) / 4;
    const size_t rowBytes = size_t(width) * size_t(channels);
    const size_t total = size_t(blocksWide) * size_t(blocksHigh) * blockBytes;
    unsigned char* out = static_cast<unsigned char*>(std::malloc(total));
    if (!out) return nullptr;

    // One colour of a whole block, and what it compresses to.
    std::vector<unsigned char> colour(static_cast<size_t>(channels)), uniformBytes(blockBytes);
    bool haveUniform = false;
    auto uniform = [&](int bx, int by) {
        if (bx * 4 + 4 > width || by * 4 + 4 > height) return false;
        const unsigned char* first = pixels + size_t(by) * 4 * rowBytes + size_t(bx) * 4 * size_t(channels);
        for (int y = 0; y < 4; ++y) {
            const unsigned char* p = first + size_t(y) * rowBytes;
            for (int x = 0; x < 4; ++x, p += channels)
                if (std::memcmp(p, first, size_t(channels)) != 0) return false;
        }
        return true;
    };
    std::vector<unsigned char> run;
    for (int by = 0; by < blocksHigh; ++by) {
        const int rows = std::min(4, height - by * 4);
        const unsigned char* band = pixels + size_t(by) * 4 * rowBytes;
        unsigned char* outRow = out + size_t(by) * size_t(blocksWide) * blockBytes;
        for (int bx = 0; bx < blocksWide;) {
            if (uniform(bx, by)) {
                const unsigned char* p = band + size_t(bx) * 4 * size_t(channels);
                if (!haveUniform || std::memcmp(colour.data(), p, size_t(channels)) != 0) {
                    std::vector<unsigned char> block(16 * size_t(channels));
                    for (size_t i = 0; i < 16; ++i)
                        std::memcpy(block.data() + i * size_t(channels), p, size_t(channels));
                    int n = 0;
                    unsigned char* one = libraryDxt(block.data(), 4, 4, channels, &n);
                    if (!one) return std::free(out), nullptr;
                    std::memcpy(uniformBytes.data(), one, blockBytes);
                    std::free(one);
                    std::memcpy(colour.data(), p, size_t(channels));
                    haveUniform = true;
                }
                std::memcpy(outRow + size_t(bx) * blockBytes, uniformBytes.data(), blockBytes);
                ++bx;
                continue;
            }
            const int start = bx;
            while (bx < blocksWide && !uniform(bx, by)) ++bx;
            const int runWidth = std::min(width, bx * 4) - start * 4;
            const size_t runRowBytes = size_t(runWidth) * size_t(channels);
            run.resize(runRowBytes * size_t(rows));
            for (int y = 0; y < rows; ++y)
                std::memcpy(run.data() + size_t(y) * runRowBytes,
                            band + size_t(y) * rowBytes + size_t(start) * 4 * size_t(channels),
                            runRowBytes);
            int n = 0;
            unsigned char* compressed = libraryDxt(run.data(), runWidth, rows, channels, &n);
            if (!compressed) return std::free(out), nullptr;
            std::memcpy(outRow + size_t(start) * blockBytes, compressed, size_t(bx - start) * blockBytes);
            std::free(compressed);
        }
    }
    *size = int(total);
    return out;
}

} // namespace

void flipRows(PreparedImage& image) {
    const size_t rowBytes = size_t(image.width) * size_t(image.channels);
    auto row = [&](int y) { return image.pixels.begin() + std::ptrdiff_t(size_t(y) * rowBytes); };
    for (int top = 0, bottom = image.height - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(row(top), row(top + 1), row(bottom));
}

bool isCompletePng(const unsigned char* data, size_t size, std::string* problem) {
    std::string why;
    const bool complete = readPng(data, size, nullptr, why);
    if (problem) *problem = why;
    return complete;
}

bool decodePng(const unsigned char* data, size_t size, PreparedImage& image) {
    std::string problem;
    image.decoded = readPng(data, size, &image, problem);
    if (!image.decoded) {
        image = PreparedImage();
        image.problem = problem;
    }
    return image.decoded;
}

PreparedImage prepareImage(const unsigned char* data, size_t size, const UploadCaps& caps) {
    PreparedImage image;
    if (!decodePng(data, size, image)) return image;
    // The texture library resizes images that are too large or whose sides
    // the driver cannot take; that case is left to it whole.
    if (!caps.dxt || !caps.npot || image.width > caps.maxSide || image.height > caps.maxSide)
        return image;
    if (caps.dxtWholeBlocks && (image.width % 4 != 0 || image.height % 4 != 0)) return image;
    // Bottom row first, as the library flips them before compressing.
    flipRows(image);
    const unsigned char* flipped = image.pixels.data();
    const bool opaque = image.channels % 2 == 1;
    int dxtSize = 0;
    unsigned char* dxt = compressDxt(flipped, image.width, image.height, image.channels, &dxtSize);
    if (!dxt) {
        // Left to the library, which has a path of its own for this.
        flipRows(image);
        return image;
    }
    image.dxt.reset(dxt);
    image.dxtSize = dxtSize;
    image.dxtFormat = opaque ? kDxt1 : kDxt5;
    std::vector<unsigned char>().swap(image.pixels);
    return image;
}
