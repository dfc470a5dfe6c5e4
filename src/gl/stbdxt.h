#pragma once
// DXT compression with stb's block compressor (Debian's libstb-dev), laid out
// as the desktop's texture library lays its own out: the browser build's
// compressor, where that library does not exist.

// Compresses `width` x `height` pixels of `channels` bytes each (rows as
// given): DXT1 for 1 or 3 channels, DXT5 for 2 or 4, blocks row by row.
// Blocks past the right or bottom edge repeat the edge pixels. Returns a
// malloc'd buffer of `*size` bytes, or null when memory runs out.
unsigned char* stbDxt(const unsigned char* pixels, int width, int height, int channels, int* size);
