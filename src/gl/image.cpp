#include "gl/image.h"

#include <png.h>

// The texture library's own DXT compressor; its header is plain C.
extern "C" {
#include <SOIL/image_DXT.h>
}

#include <algorithm>
#include <csetjmp>
#include <cstring>

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
    png_bytep row;
};

void readInputBytes(png_structp png, png_bytep out, png_size_t count) {
    PngInput* input = static_cast<PngInput*>(png_get_io_ptr(png));
    if (count > input->size - input->position) png_error(png, "file ends early");
    std::memcpy(out, input->data + input->position, count);
    input->position += count;
}

void onPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void onPngWarning(png_structp png, png_const_charp) {
    static_cast<PngInput*>(png_get_error_ptr(png))->warned = true;
}

// Reads every row of every pass and up to IEND. With `image` set, only the
// layouts the texture library takes are read, and their pixels are kept (8-bit
// palette indices expanded through the palette); without it any layout is
// read and the rows are dropped. Kept apart from readPng so that no object
// with a destructor lives in the function that calls setjmp.
bool readAllRows(png_structp png, png_infop info, PngInput* input, PreparedImage* image) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    const int colorType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    if (image && (bitDepth != 8 || png_get_interlace_type(png, info) != PNG_INTERLACE_NONE))
        return false;
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);

    // The decoder behind the textures looks 8-bit palette indices up in a
    // 256-entry table of which only the PLTE entries are filled: an index
    // past them is refused rather than shown as whatever was in memory.
    const bool palette = colorType == PNG_COLOR_TYPE_PALETTE && bitDepth == 8;
    png_colorp paletteColours = nullptr;
    int paletteSize = 256;
    png_bytep alphas = nullptr;
    int alphaCount = 0;
    if (palette) {
        if (!png_get_PLTE(png, info, &paletteColours, &paletteSize)) return false;
        png_get_tRNS(png, info, &alphas, &alphaCount, nullptr);
    }
    // Rows that are kept as they come are read straight into the image.
    const bool direct = image && !palette;
    if (image) {
        image->width = int(width);
        image->height = int(height);
        image->channels = palette ? (alphas ? 4 : 3) : int(png_get_channels(png, info));
        image->pixels.resize(size_t(width) * height * size_t(image->channels));
    }
    if (!direct) {
        input->row = static_cast<png_bytep>(png_malloc(png, rowBytes));
        std::memset(input->row, 0, rowBytes);
    }
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y) {
            png_bytep row =
                direct ? image->pixels.data() + size_t(y) * rowBytes : input->row;
            png_read_row(png, row, nullptr);
            if (!palette) continue;
            for (size_t i = 0; i < rowBytes; ++i)
                if (row[i] >= paletteSize) return false;
            if (!image) continue;
            unsigned char* out = image->pixels.data() + size_t(y) * width * size_t(image->channels);
            for (png_uint_32 x = 0; x < width; ++x) {
                const png_color& c = paletteColours[row[x]];
                *out++ = c.red;
                *out++ = c.green;
                *out++ = c.blue;
                if (alphas) *out++ = row[x] < alphaCount ? alphas[row[x]] : 255;
            }
        }
    png_read_end(png, info);
    return !input->warned;
}

bool readPng(const unsigned char* data, size_t size, PreparedImage* image) {
    if (data == nullptr || size < 8 || png_sig_cmp(data, 0, 8) != 0) return false;
    PngInput input = {data, size, 0, false, nullptr};
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &input, onPngError, onPngWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    png_set_read_fn(png, &input, readInputBytes);
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    // Data after the image, a damaged ancillary chunk and the like are
    // refused, not passed over.
    png_set_benign_errors(png, 0);
    const bool complete = readAllRows(png, info, &input, image);
    if (input.row) png_free(png, input.row);
    png_destroy_read_struct(&png, &info, nullptr);
    return complete;
}

void flipRows(PreparedImage& image) {
    const size_t rowBytes = size_t(image.width) * size_t(image.channels);
    auto row = [&](int y) { return image.pixels.begin() + std::ptrdiff_t(size_t(y) * rowBytes); };
    for (int top = 0, bottom = image.height - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(row(top), row(top + 1), row(bottom));
}

// The library's compressor on a whole image: DXT1 for 1 or 3 channels, DXT5
// for 2 or 4.
unsigned char* libraryDxt(const unsigned char* pixels, int width, int height, int channels,
                          int* size) {
    return channels % 2 == 1 ? convert_image_to_DXT1(pixels, width, height, channels, size)
                             : convert_image_to_DXT5(pixels, width, height, channels, size);
}

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

bool isCompletePng(const unsigned char* data, size_t size) {
    return readPng(data, size, nullptr);
}

bool decodePng(const unsigned char* data, size_t size, PreparedImage& image) {
    image.decoded = readPng(data, size, &image);
    if (!image.decoded) image = PreparedImage();
    return image.decoded;
}

PreparedImage prepareImage(const unsigned char* data, size_t size, const UploadCaps& caps) {
    PreparedImage image;
    if (!decodePng(data, size, image)) return image;
    // The texture library resizes images that are too large or whose sides
    // the driver cannot take; that case is left to it whole.
    if (!caps.dxt || !caps.npot || image.width > caps.maxSide || image.height > caps.maxSide)
        return image;
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
