#include "picture.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

std::ostream& operator<<(std::ostream& os, const Rgba& c) {
    return os << "(" << int(c.r) << ", " << int(c.g) << ", " << int(c.b) << ", " << int(c.a)
              << ")";
}

int channelDistance(const Rgba& a, const Rgba& b) {
    return std::max({std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b),
                     std::abs(a.a - b.a)});
}

Image::Image(int w, int h, Rgba fill) : width(w), height(h), rgba(size_t(w) * size_t(h) * 4) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) setPixel(x, y, fill);
}

Rgba Image::pixel(int x, int y) const {
    const uint8_t* p = &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
    return Rgba{p[0], p[1], p[2], p[3]};
}

void Image::setPixel(int x, int y, Rgba c) {
    uint8_t* p = &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
    p[3] = c.a;
}

int Image::count(Rgba c, int tolerance) const {
    int n = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (channelDistance(pixel(x, y), c) <= tolerance) ++n;
    return n;
}

std::string encodePng(const Image& image, PngKind kind) {
    // Convert to the file's channel layout, keeping the bottom-up row order;
    // a negative stride tells libpng that rows run bottom to top.
    int channels = kind == PngKind::Rgba ? 4 : kind == PngKind::Rgb ? 3 : 1;
    std::vector<uint8_t> pixels;
    pixels.reserve(size_t(image.width) * size_t(image.height) * size_t(channels));
    for (size_t i = 0; i + 3 < image.rgba.size(); i += 4)
        for (int c = 0; c < channels; ++c) pixels.push_back(image.rgba[i + size_t(c)]);

    png_image png;
    std::memset(&png, 0, sizeof(png));
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(image.width);
    png.height = png_uint_32(image.height);
    png.format = kind == PngKind::Rgba  ? PNG_FORMAT_RGBA
                 : kind == PngKind::Rgb ? PNG_FORMAT_RGB
                                        : PNG_FORMAT_GRAY;
    const png_int_32 stride = -png_int_32(image.width * channels);
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&png, nullptr, &size, 0, pixels.data(), stride, nullptr))
        return std::string();
    std::string bytes(size, '\0');
    if (!png_image_write_to_memory(&png, &bytes[0], &size, 0, pixels.data(), stride, nullptr))
        return std::string();
    bytes.resize(size);
    return bytes;
}

bool decodePng(const std::string& bytes, Image& image, std::string* error) {
    png_image png;
    std::memset(&png, 0, sizeof(png));
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) {
        if (error) *error = png.message;
        return false;
    }
    png.format = PNG_FORMAT_RGBA;
    Image decoded(int(png.width), int(png.height));
    const png_int_32 stride = -png_int_32(png.width * 4);
    if (!png_image_finish_read(&png, nullptr, decoded.rgba.data(), stride, nullptr)) {
        if (error) *error = png.message;
        png_image_free(&png);
        return false;
    }
    image = std::move(decoded);
    return true;
}

bool writePng(const std::string& path, const Image& image, PngKind kind) {
    std::string bytes = encodePng(image, kind);
    if (bytes.empty()) return false;
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

bool readPng(const std::string& path, Image& image, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = "cannot open " + path;
        return false;
    }
    std::ostringstream s;
    s << in.rdbuf();
    return decodePng(s.str(), image, error);
}
