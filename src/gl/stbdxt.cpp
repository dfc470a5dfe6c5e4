#include "gl/stbdxt.h"

// The header uses memcpy without including its declaration.
#include <cstring>

#define STB_DXT_IMPLEMENTATION
#include <stb/stb_dxt.h>

#include <algorithm>
#include <cstddef>
#include <cstdlib>

unsigned char* stbDxt(const unsigned char* pixels, int width, int height, int channels, int* size) {
    const bool alpha = channels % 2 == 0;
    const size_t blockBytes = alpha ? 16 : 8;
    const int blocksWide = (width + 3) / 4, blocksHigh = (height + 3) / 4;
    const size_t total = size_t(blocksWide) * size_t(blocksHigh) * blockBytes;
    unsigned char* out = static_cast<unsigned char*>(std::malloc(total));
    if (!out) return nullptr;
    unsigned char rgba[64];
    unsigned char* next = out;
    for (int by = 0; by < blocksHigh; ++by)
        for (int bx = 0; bx < blocksWide; ++bx, next += blockBytes) {
            for (int i = 0; i < 16; ++i) {
                const int x = std::min(bx * 4 + i % 4, width - 1);
                const int y = std::min(by * 4 + i / 4, height - 1);
                const unsigned char* p =
                    pixels + (size_t(y) * size_t(width) + size_t(x)) * size_t(channels);
                unsigned char* q = rgba + i * 4;
                if (channels <= 2) q[0] = q[1] = q[2] = p[0];
                else q[0] = p[0], q[1] = p[1], q[2] = p[2];
                q[3] = alpha ? p[channels - 1] : 255;
            }
            stb_compress_dxt_block(next, rgba, alpha ? 1 : 0, STB_DXT_NORMAL);
        }
    *size = int(total);
    return out;
}
