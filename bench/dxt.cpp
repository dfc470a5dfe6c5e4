// Which pictures the browser build shows differently, and by how much: each
// picture of the archive compressed to DXT by the desktop's texture library
// and by stb's compressor (the browser's where it offers S3TC), both decoded
// back and compared with the picture itself and with each other. Pictures
// whose sides are not multiples of 4 go up uncompressed in the browser, so
// there they are exact where the desktop's are compressed.
//
//   bench-dxt [ARCHIVE]

#include "bx/archive.h"
#include "gl/image.h"
#include "gl/stbdxt.h"
#include "manifest.h"

extern "C" {
#include <SOIL/image_DXT.h>
}

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// RGB 5:6:5 to 8 bits a channel.
void colour565(uint16_t c, int out[3]) {
    out[0] = ((c >> 11) & 31) * 255 / 31;
    out[1] = ((c >> 5) & 63) * 255 / 63;
    out[2] = (c & 31) * 255 / 31;
}

// Decodes DXT1 (no alpha) or DXT5 into RGBA, rows as compressed.
std::vector<unsigned char> decodeDxt(const unsigned char* dxt, int width, int height, bool dxt5) {
    std::vector<unsigned char> out(size_t(width) * size_t(height) * 4);
    const int blocksWide = (width + 3) / 4, blocksHigh = (height + 3) / 4;
    for (int by = 0; by < blocksHigh; ++by)
        for (int bx = 0; bx < blocksWide; ++bx) {
            int alphas[8] = {255, 255, 255, 255, 255, 255, 255, 255};
            uint64_t alphaBits = 0;
            if (dxt5) {
                alphas[0] = dxt[0];
                alphas[1] = dxt[1];
                for (int i = 2; i < 8; ++i)
                    alphas[i] = alphas[0] > alphas[1]
                                    ? ((8 - i) * alphas[0] + (i - 1) * alphas[1]) / 7
                                    : (i < 6 ? ((6 - i) * alphas[0] + (i - 1) * alphas[1]) / 5
                                             : (i == 6 ? 0 : 255));
                for (int i = 0; i < 6; ++i) alphaBits |= uint64_t(dxt[2 + i]) << (8 * i);
                dxt += 8;
            }
            const uint16_t c0 = uint16_t(dxt[0] | dxt[1] << 8), c1 = uint16_t(dxt[2] | dxt[3] << 8);
            int colours[4][3];
            colour565(c0, colours[0]);
            colour565(c1, colours[1]);
            for (int k = 0; k < 3; ++k) {
                if (c0 > c1 || dxt5) {
                    colours[2][k] = (2 * colours[0][k] + colours[1][k]) / 3;
                    colours[3][k] = (colours[0][k] + 2 * colours[1][k]) / 3;
                } else {
                    colours[2][k] = (colours[0][k] + colours[1][k]) / 2;
                    colours[3][k] = 0;
                }
            }
            const uint32_t bits = uint32_t(dxt[4] | dxt[5] << 8 | dxt[6] << 16 | uint32_t(dxt[7]) << 24);
            dxt += 8;
            for (int i = 0; i < 16; ++i) {
                const int x = bx * 4 + i % 4, y = by * 4 + i / 4;
                if (x >= width || y >= height) continue;
                unsigned char* p = &out[(size_t(y) * size_t(width) + size_t(x)) * 4];
                const int index = (bits >> (2 * i)) & 3;
                for (int k = 0; k < 3; ++k) p[k] = static_cast<unsigned char>(colours[index][k]);
                p[3] = static_cast<unsigned char>(alphas[(alphaBits >> (3 * i)) & 7]);
            }
        }
    return out;
}

struct Difference {
    double mean = 0;
    int max = 0;
};

// Over the colour channels (and alpha where the picture has it).
Difference compare(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b,
                   bool alpha) {
    Difference d;
    double sum = 0;
    size_t n = 0;
    for (size_t p = 0; p < a.size(); p += 4)
        for (size_t k = 0; k < (alpha ? 4u : 3u); ++k, ++n) {
            const int diff = std::abs(int(a[p + k]) - int(b[p + k]));
            sum += diff;
            d.max = std::max(d.max, diff);
        }
    d.mean = n ? sum / double(n) : 0;
    return d;
}

// The decoded picture as RGBA, as the compressors see it.
std::vector<unsigned char> rgba(const PreparedImage& image) {
    std::vector<unsigned char> out(size_t(image.width) * size_t(image.height) * 4);
    const int c = image.channels;
    for (size_t i = 0; i < out.size() / 4; ++i) {
        const unsigned char* p = &image.pixels[i * size_t(c)];
        out[i * 4 + 0] = p[0];
        out[i * 4 + 1] = c >= 3 ? p[1] : p[0];
        out[i * 4 + 2] = c >= 3 ? p[2] : p[0];
        out[i * 4 + 3] = c % 2 == 0 ? p[c - 1] : 255;
    }
    return out;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: bench-dxt [ARCHIVE]\nEach picture of the archive (default tidewane.velk)\n"
                    "compressed by the texture library and by stb, against the picture.\n");
        return 0;
    }
    Bx::Archive archive(argc > 1 ? argv[1] : "tidewane.velk");
    std::printf("| picture | size | desktop (library) mean / max | browser | browser against desktop |\n");
    std::printf("|---|---|---:|---:|---:|\n");
    for (const std::string& name : Manifest::loadOrder()) {
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".png") != 0) continue;
        const Bx::ArchiveFile* file = archive.getFile(name.c_str());
        PreparedImage image;
        if (!decodePng(file->data, file->size, image)) {
            std::fprintf(stderr, "bench-dxt: %s: %s\n", name.c_str(), image.problem.c_str());
            return 1;
        }
        const bool alpha = image.channels % 2 == 0;
        const std::vector<unsigned char> original = rgba(image);
        int n = 0;
        unsigned char* library = alpha ? convert_image_to_DXT5(image.pixels.data(), image.width, image.height, image.channels, &n)
                                       : convert_image_to_DXT1(image.pixels.data(), image.width, image.height, image.channels, &n);
        unsigned char* stb = stbDxt(image.pixels.data(), image.width, image.height, image.channels, &n);
        const std::vector<unsigned char> desktop = decodeDxt(library, image.width, image.height, alpha);
        const bool blocks = image.width % 4 == 0 && image.height % 4 == 0;
        const std::vector<unsigned char> browser =
            blocks ? decodeDxt(stb, image.width, image.height, alpha) : original;
        std::free(library);
        std::free(stb);
        const Difference d = compare(desktop, original, alpha), w = compare(browser, original, alpha),
                         x = compare(browser, desktop, alpha);
        std::printf("| %s | %dx%d | %.2f / %d | %s | %.2f / %d |\n", name.c_str(), image.width,
                    image.height, d.mean, d.max,
                    blocks ? (std::to_string(w.mean).substr(0, 4) + " / " + std::to_string(w.max)).c_str()
                           : "exact (uncompressed)",
                    x.mean, x.max);
    }
    return 0;
}
