#pragma once
// RGBA8 pictures for tests, and PNG files made from them or read into them
// (libpng). No OpenGL here.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

struct Rgba {
    uint8_t r = 0, g = 0, b = 0, a = 0;
    bool operator==(const Rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
    bool operator!=(const Rgba& o) const { return !(*this == o); }
};
std::ostream& operator<<(std::ostream& os, const Rgba& c); // "(r, g, b, a)"

// Largest difference of the four channels.
int channelDistance(const Rgba& a, const Rgba& b);

// An RGBA8 picture. Rows are stored bottom row first, as OpenGL reads and
// samples them: pixel(0, 0) is the bottom-left corner, and rgba[] can be
// handed to or filled by glReadPixels / glTexImage2D as it is.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgba; // width * height * 4 bytes

    Image() = default;
    Image(int w, int h, Rgba fill = Rgba{0, 0, 0, 255});
    Rgba pixel(int x, int y) const;
    void setPixel(int x, int y, Rgba c);
    // Number of pixels within `tolerance` (per channel) of `c`.
    int count(Rgba c, int tolerance = 0) const;
};

// Channel layout of a PNG written from an Image.
enum class PngKind {
    Rgba, // colour with alpha
    Rgb,  // colour, alpha dropped
    Grey, // the red channel as grey, alpha dropped
};

// The bytes of a PNG file holding `image`. The file stores the top row first
// as PNG does, so the picture looks the same; the bottom-left pixel of the
// file is image.pixel(0, 0).
std::string encodePng(const Image& image, PngKind kind = PngKind::Rgba);

// Decodes PNG bytes into an RGBA8 image (alpha 255 where the file has none).
// Returns false, with the reason in `error` when given, on bytes that are not
// a complete, valid PNG.
bool decodePng(const std::string& bytes, Image& image, std::string* error = nullptr);

// The same through files. writePng returns false when the file cannot be
// written; readPng when it cannot be read or decoded.
bool writePng(const std::string& path, const Image& image, PngKind kind = PngKind::Rgba);
bool readPng(const std::string& path, Image& image, std::string* error = nullptr);
