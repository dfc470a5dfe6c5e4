#include "support/death.h"
#include "support/files.h"
#include "support/gl.h"

#include "bx/archive.h"
#include "gl/texture.h"

#include <SOIL/SOIL.h>
#include <png.h>
#include <sys/mman.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace {

const Rgba kRed{255, 0, 0, 255};
const Rgba kGreen{0, 255, 0, 255};
const Rgba kBlue{0, 0, 255, 255};
const Rgba kWhite{255, 255, 255, 255};
const char* kSource = "src/gl/texture.cpp";

// 8x8 picture of four one-coloured 4x4 quadrants (DXT compression works on
// 4x4 blocks, so every colour survives it exactly).
Image quadrants(Rgba bottomLeft, Rgba bottomRight, Rgba topLeft, Rgba topRight) {
    Image image(8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            image.setPixel(x, y, y < 4 ? (x < 4 ? bottomLeft : bottomRight)
                                       : (x < 4 ? topLeft : topRight));
    return image;
}

const unsigned char* bytesOf(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

// Bytes copied to the very end of a readable page that is followed by an
// inaccessible one: reading one byte past them crashes the process.
class FencedBytes {
public:
    explicit FencedBytes(const std::string& bytes) {
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        const size_t pages = bytes.size() / page + 2;
        m_size = pages * page;
        void* base = mmap(nullptr, m_size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED) throw std::runtime_error("mmap failed");
        m_base = static_cast<unsigned char*>(base);
        unsigned char* fence = m_base + (pages - 1) * page;
        if (mprotect(fence, page, PROT_NONE) != 0) throw std::runtime_error("mprotect failed");
        m_data = fence - bytes.size();
        if (!bytes.empty()) std::memcpy(m_data, bytes.data(), bytes.size());
    }
    ~FencedBytes() { munmap(m_base, m_size); }
    FencedBytes(const FencedBytes&) = delete;
    FencedBytes& operator=(const FencedBytes&) = delete;
    const unsigned char* data() const { return m_data; }

private:
    unsigned char* m_base = nullptr;
    unsigned char* m_data = nullptr;
    size_t m_size = 0;
};

// A PNG chunk with its length and checksum.
std::string chunk(const std::string& type, const std::string& data) {
    auto be32 = [](uint32_t v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    std::string body = type + data;
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()));
    return be32(uint32_t(data.size())) + body + be32(uint32_t(crc));
}

// An 8-bit palette PNG of `width` x 1 pixels with the given palette (RGB
// triples) and indices.
std::string palettePng(const std::string& palette, const std::string& indices) {
    std::string ihdr{0, 0, 0, char(indices.size()), 0, 0, 0, 1, 8, 3, 0, 0, 0};
    std::string raw = std::string(1, '\0') + indices;
    std::string packed(compressBound(uLong(raw.size())), '\0');
    uLongf packedSize = uLongf(packed.size());
    compress(reinterpret_cast<Bytef*>(&packed[0]), &packedSize,
             reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()));
    packed.resize(packedSize);
    return std::string("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) + chunk("PLTE", palette) +
           chunk("IDAT", packed) + chunk("IEND", "");
}

GLint integerState(GLenum name) {
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

GLint textureOnUnit(int unit) {
    GLint active = integerState(GL_ACTIVE_TEXTURE);
    glActiveTexture(GLenum(GL_TEXTURE0 + unit));
    GLint bound = integerState(GL_TEXTURE_BINDING_2D);
    glActiveTexture(GLenum(active));
    return bound;
}

// The colour that the texture shows at (s, t), drawn through the window.
Rgba sampled(Texture& texture, float s, float t) {
    texture.bind(0);
    drawSample(s, t);
    texture.unbind();
    return readWindow().pixel(10, 10);
}

// A PNG of the given libpng layout holding a fixed picture of samples at
// `bitDepth` (palette indices for a palette image). With `eightBit` the same
// picture is stored at 8 bits: samples below 8 bits scaled to 0-255 (palette
// indices kept, with the same palette), 16-bit ones cut to their high byte.
std::string layoutPng(int width, int height, int colorType, int bitDepth, bool interlaced,
                      bool transparency, bool eightBit = false) {
    const int depth = eightBit ? 8 : bitDepth;
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out,
                     [](png_structp p, png_bytep d, png_size_t n) {
                         static_cast<std::string*>(png_get_io_ptr(p))->append((char*)d, n);
                     },
                     nullptr);
    png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), depth, colorType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    const bool palette = colorType == PNG_COLOR_TYPE_PALETTE;
    const int entries = palette ? 1 << bitDepth : 0;
    std::vector<png_color> colours(static_cast<size_t>(entries));
    std::vector<png_byte> alphas(static_cast<size_t>(entries / 2));
    for (int i = 0; i < entries; ++i)
        colours[size_t(i)] = png_color{png_byte(i * 37), png_byte(255 - i), png_byte(i * 11)};
    for (size_t i = 0; i < alphas.size(); ++i) alphas[i] = png_byte(i * 5);
    if (entries) png_set_PLTE(png, info, colours.data(), entries);
    png_color_16 key{};
    key.red = key.green = key.blue = key.gray = 1;
    if (transparency)
        png_set_tRNS(png, info, entries ? alphas.data() : nullptr, int(alphas.size()), &key);
    png_write_info(png, info);
    if (depth < 8) png_set_packing(png); // rows hold one sample a byte
    const int channels = int(png_get_channels(png, info));
    const uint32_t maxSample = (1u << bitDepth) - 1;
    std::vector<png_byte> row(size_t(width) * size_t(channels) * (depth == 16 ? 2 : 1));
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < height; ++y) {
            png_bytep p = row.data();
            for (int i = 0; i < width * channels; ++i) {
                const uint32_t v =
                    ((uint32_t(i) * 73856093u ^ uint32_t(y) * 19349663u) * 2654435761u >> 9) & maxSample;
                if (depth == 16) {
                    *p++ = png_byte(v >> 8);
                    *p++ = png_byte(v);
                } else if (depth == bitDepth || palette) {
                    *p++ = png_byte(v);
                } else {
                    *p++ = png_byte(bitDepth == 16 ? v >> 8 : v * 255 / maxSample);
                }
            }
            png_write_row(png, row.data());
        }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

} // namespace

TEST(PngCheck, AcceptsCompleteFilesOfEveryChannelLayout) {
    Image image = quadrants(kRed, kGreen, kBlue, kWhite);
    for (PngKind kind : {PngKind::Rgba, PngKind::Rgb, PngKind::Grey}) {
        std::string png = encodePng(image, kind);
        EXPECT_TRUE(isCompletePng(bytesOf(png), png.size()));
    }
    // Bytes after the closing chunk are not part of the image and do no harm.
    std::string png = encodePng(image) + "trailing";
    EXPECT_TRUE(isCompletePng(bytesOf(png), png.size()));
}

TEST(PngCheck, RefusesEveryTruncationAndDamagedChunks) {
    std::string png = encodePng(quadrants(kRed, kGreen, kBlue, kWhite));
    for (size_t n = 0; n < png.size(); ++n) {
        FencedBytes fenced(png.substr(0, n));
        EXPECT_FALSE(isCompletePng(fenced.data(), n)) << "cut at " << n;
    }
    // A chunk length far beyond the end of the file.
    std::string longChunk = png;
    longChunk[png.find("IDAT") - 4] = char(0xFF);
    EXPECT_FALSE(isCompletePng(bytesOf(longChunk), longChunk.size()));
    std::string badChecksum = png;
    badChecksum[29] = char(badChecksum[29] ^ 1); // last byte of the IHDR checksum
    EXPECT_FALSE(isCompletePng(bytesOf(badChecksum), badChecksum.size()));
    std::string badData = png;
    const size_t idatData = png.find("IDAT") + 4;
    badData[idatData + 3] = char(badData[idatData + 3] ^ 0x40); // compressed image data
    EXPECT_FALSE(isCompletePng(bytesOf(badData), badData.size()));
    EXPECT_FALSE(isCompletePng(nullptr, 100));
}

TEST(PngCheck, RefusesOtherFormatsAndPaletteIndicesPastThePalette) {
    const std::string others[] = {
        std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11) + std::string(64, '\0'), // JPEG
        "BM" + std::string(64, '\0'),                                             // BMP
        std::string("\x00\x00\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x02\x00\x18\x00", 18) +
            std::string(12, '\x7F'),                                              // TGA
        "DDS " + std::string(124, '\0'),                                          // DDS
        "not an image at all"};
    for (const std::string& bytes : others)
        EXPECT_FALSE(isCompletePng(bytesOf(bytes), bytes.size())) << bytes.substr(0, 4);

    std::string twoColours("\xFF\x00\x00\x00\xFF\x00", 6);
    std::string good = palettePng(twoColours, std::string("\x00\x01\x01\x00", 4));
    EXPECT_TRUE(isCompletePng(bytesOf(good), good.size()));
    std::string bad = palettePng(twoColours, std::string("\x00\x01\x02\x00", 4));
    EXPECT_FALSE(isCompletePng(bytesOf(bad), bad.size()));
}

class TextureLoading : public GlTest {};

TEST_F(TextureLoading, TheFilesBottomLeftPixelIsAtTheOriginAndTheImageRepeats) {
    std::string png = encodePng(quadrants(kRed, kGreen, kBlue, kWhite), PngKind::Rgb);
    Texture texture(bytesOf(png), int(png.size()));
    ASSERT_NE(texture.getId(), 0u);
    EXPECT_EQ(sampled(texture, 0.125f, 0.125f), kRed);
    EXPECT_EQ(sampled(texture, 0.875f, 0.125f), kGreen);
    EXPECT_EQ(sampled(texture, 0.125f, 0.875f), kBlue);
    EXPECT_EQ(sampled(texture, 0.875f, 0.875f), kWhite);
    // Outside 0 to 1 the picture repeats in both directions.
    EXPECT_EQ(sampled(texture, 1.125f, 2.125f), kRed);
    EXPECT_EQ(sampled(texture, -0.125f, -0.875f), kGreen);
    EXPECT_EQ(sampled(texture, -1.875f, 0.875f), kBlue);
    // Linear filtering blends across the repeat seam at the very origin.
    EXPECT_NE(sampled(texture, 0.0f, 0.0f), kRed);
    texture.setFilter(false, false);
    EXPECT_EQ(sampled(texture, 0.0f, 0.0f), kRed);
}

TEST_F(TextureLoading, AlphaIsKeptAndOpaqueFilesStayOpaque) {
    Image image = quadrants(Rgba{255, 0, 0, 0}, Rgba{0, 255, 0, 128}, kBlue, Rgba{255, 255, 255, 0});
    std::string withAlpha = encodePng(image, PngKind::Rgba);
    Texture translucent(bytesOf(withAlpha), int(withAlpha.size()));
    Image stored = readTexture(translucent.getId());
    ASSERT_EQ(stored.width, 8);
    ASSERT_EQ(stored.height, 8);
    EXPECT_EQ(stored.pixel(1, 1).a, 0);
    EXPECT_NEAR(stored.pixel(6, 1).a, 128, 1);
    EXPECT_EQ(stored.pixel(1, 6).a, 255);
    EXPECT_EQ(stored.pixel(6, 6).a, 0);

    std::string opaque = encodePng(image, PngKind::Rgb);
    Texture solid(bytesOf(opaque), int(opaque.size()));
    Image solidStored = readTexture(solid.getId());
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(solidStored.pixel(x, y).a, 255);
}

TEST_F(TextureLoading, ASecondBindIsIgnoredAndUnbindReleasesTheRecordedUnit) {
    std::string png = encodePng(quadrants(kRed, kGreen, kBlue, kWhite));
    Texture texture(bytesOf(png), int(png.size()));
    const GLint id = GLint(texture.getId());
    texture.bind(1);
    texture.bind(0);
    EXPECT_EQ(texture.getUnit(), 1);
    EXPECT_EQ(textureOnUnit(1), id);
    EXPECT_EQ(textureOnUnit(0), 0);
    EXPECT_EQ(integerState(GL_ACTIVE_TEXTURE), GL_TEXTURE1);

    glActiveTexture(GL_TEXTURE3);
    texture.unbind();
    EXPECT_EQ(textureOnUnit(1), 0);
    EXPECT_EQ(integerState(GL_ACTIVE_TEXTURE), GL_TEXTURE1);

    // Unbinding again touches nothing: neither the active unit nor what
    // another texture has bound on the recorded unit.
    Texture other(bytesOf(png), int(png.size()));
    other.bind(1);
    glActiveTexture(GL_TEXTURE2);
    texture.unbind();
    EXPECT_EQ(integerState(GL_ACTIVE_TEXTURE), GL_TEXTURE2);
    EXPECT_EQ(textureOnUnit(1), GLint(other.getId()));
    other.unbind();
}

TEST_F(TextureLoading, ClampingBlendsTheEdgeWithTheBorder) {
    std::string png = encodePng(quadrants(kRed, kGreen, kBlue, kWhite));
    Texture texture(bytesOf(png), int(png.size()));
    texture.setWrap(false, true);
    // Far right of the green quadrant: half the green texel, half the
    // transparent black border.
    Rgba edge = sampled(texture, 3.0f, 0.125f);
    EXPECT_LE(channelDistance(edge, Rgba{0, 128, 0, 128}), 2) << edge;
    // t still repeats.
    EXPECT_EQ(sampled(texture, 0.875f, 1.125f), kGreen);
}

TEST_F(TextureLoading, UndecodableBytesGiveNameZeroBindNothingAndAreNamed) {
    std::string png = encodePng(quadrants(kRed, kGreen, kBlue, kWhite));
    std::string damaged = png;
    damaged[png.find("IDAT") - 4] = char(0xFF); // a chunk length past the end
    const std::pair<std::string, std::string> inputs[] = {
        {"", "empty file"},
        {"not an image", "not a PNG file"},
        {png.substr(0, png.size() / 2), "damaged PNG: file ends early"},
        {png.substr(0, png.size() - 1), "damaged PNG: file ends early"},
        {damaged, "damaged PNG: "},
        {layoutPng(16385, 1, PNG_COLOR_TYPE_GRAY, 1, false, false), "too large: 16385x1 pixels"}};
    for (const auto& input : inputs) {
        const std::string& bytes = input.first;
        // The bytes end at an inaccessible page: reading past them crashes.
        FencedBytes fenced(bytes);
        testing::internal::CaptureStderr();
        Texture texture(fenced.data(), int(bytes.size()), "lyrics/05.png");
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(texture.getId(), 0u) << bytes.size() << " bytes";
        // One line naming the file and what is wrong with it.
        EXPECT_EQ(err.rfind("image: lyrics/05.png: " + input.second, 0), 0u) << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << err;
        texture.bind(0);
        EXPECT_EQ(textureOnUnit(0), 0);
        texture.unbind();
    }
    // A negative size is refused as well.
    testing::internal::CaptureStderr();
    Texture negative(bytesOf(png), -1);
    EXPECT_EQ(negative.getId(), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "image: (unnamed): empty file; shown without it\n");
    // The complete file in the same kind of buffer loads, silently; in a
    // batch only the damaged one is named.
    FencedBytes fenced(png);
    testing::internal::CaptureStderr();
    Texture complete(fenced.data(), int(png.size()));
    EXPECT_NE(complete.getId(), 0u);
    auto batch = loadTextures({{fenced.data(), png.size(), "good.png"},
                               {bytesOf(damaged), damaged.size(), "credit.png"}});
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(batch[0]->getId(), 0u);
    EXPECT_EQ(batch[1]->getId(), 0u);
    EXPECT_EQ(err.rfind("image: credit.png: damaged PNG: ", 0), 0u) << err;
    EXPECT_EQ(err.find('\n'), err.size() - 1) << err;

    // Blocks the driver refuses (too few for the image's size) leave name 0
    // and are named too, not reported as a texture.
    PreparedImage shortBlocks;
    shortBlocks.decoded = true;
    shortBlocks.width = shortBlocks.height = 8;
    shortBlocks.channels = 3;
    shortBlocks.dxt.reset(static_cast<unsigned char*>(std::calloc(8, 1)));
    shortBlocks.dxtSize = 8; // one block of the four an 8x8 DXT1 image needs
    shortBlocks.dxtFormat = 0x83F0;
    testing::internal::CaptureStderr();
    Texture refused(shortBlocks, "blue.png");
    EXPECT_EQ(refused.getId(), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind(
                  "image: blue.png: OpenGL did not take it: its compressed upload was refused", 0),
              0u);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TextureLoading, LoadsAnArchiveEntryByName) {
    TempDir dir;
    std::string png = encodePng(quadrants(kRed, kGreen, kBlue, kWhite));
    std::string name = "img.png";
    name.resize(256, '\0');
    std::string size{char(png.size() & 0xFF), char(png.size() >> 8), 0, 0};
    writeFile(dir / "a.velk", std::string("\x01\x00\x00\x00", 4) + name + size + png);
    ScopedChdir here(dir.path());
    Bx::Archive archive("a.velk");
    Texture texture("img.png");
    ASSERT_NE(texture.getId(), 0u);
    EXPECT_EQ(sampled(texture, 0.875f, 0.875f), kWhite);
}

TEST(TextureWithoutContext, StopsWithTheContextAssertionOrLoadsNothing) {
    std::string png = encodePng(quadrants(kRed, kGreen, kBlue, kWhite));
    DeathResult r = runInChild([&] { Texture texture(bytesOf(png), int(png.size())); });
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.out, assertionBlock("Context::ms_context != 0", kSource,
                                    sourceLineOf(kSource, "\"Cannot create a texture with no context\""),
                                    "Cannot create a texture with no context"));

    r = runInChild([] { Texture texture("preload.png"); });
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.out, assertionBlock("Bx::Archive::ms_archive != 0", kSource,
                                    sourceLineOf(kSource, "\"No archive in memory, cannot load texture \""),
                                    "No archive in memory, cannot load texture preload.png"));

    // By name there is no context check: the load fails and gives name 0.
    TempDir dir;
    std::string name = "img.png";
    name.resize(256, '\0');
    std::string size{char(png.size() & 0xFF), char(png.size() >> 8), 0, 0};
    writeFile(dir / "a.velk", std::string("\x01\x00\x00\x00", 4) + name + size + png);
    ScopedChdir here(dir.path());
    Bx::Archive archive("a.velk");
    Texture texture("img.png");
    EXPECT_EQ(texture.getId(), 0u);
}

namespace {

// Level 0 of a texture as the driver holds it: its internal format, size and
// bytes (compressed blocks as they are, else RGBA8).
struct HeldTexture {
    GLint format = 0, width = 0, height = 0;
    std::vector<unsigned char> bytes;
    bool operator==(const HeldTexture& o) const {
        return format == o.format && width == o.width && height == o.height && bytes == o.bytes;
    }
};

HeldTexture held(unsigned int name) {
    HeldTexture t;
    if (name == 0) return t;
    glBindTexture(GL_TEXTURE_2D, name);
    GLint compressed = 0, size = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &t.format);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &t.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &t.height);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED, &compressed);
    if (compressed) {
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE, &size);
        t.bytes.resize(size_t(size));
        glGetCompressedTexImage(GL_TEXTURE_2D, 0, t.bytes.data());
    } else {
        t.bytes.resize(size_t(t.width) * size_t(t.height) * 4);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, t.bytes.data());
    }
    glBindTexture(GL_TEXTURE_2D, 0);
    return t;
}

// What the image library's own one-call load of the bytes leaves in the driver.
HeldTexture libraryLoad(const std::string& png) {
    unsigned int name = SOIL_load_OGL_texture_from_memory(
        bytesOf(png), int(png.size()), SOIL_LOAD_AUTO, SOIL_CREATE_NEW_ID,
        SOIL_FLAG_INVERT_Y | SOIL_FLAG_COMPRESS_TO_DXT);
    HeldTexture t = held(name);
    glDeleteTextures(1, &name);
    return t;
}

} // namespace

// The texture that the driver holds is exactly what the image library's own
// load of the same bytes gives, through the batch loader and through the
// library's uncompressed path, for every image of the show and for every
// PNG layout. The layouts the library's decoder refuses (below 8 bits, 16
// bits, interlaced) decode to exactly the bytes of the same picture stored
// as an 8-bit, non-interlaced file, and give the texture the library makes
// of that one.
TEST_F(TextureLoading, HoldsExactlyWhatTheImageLibraryLoads) {
    std::vector<std::string> pngs;
    Bx::Archive archive(TIDEWANE_BINARY_DIR "/tidewane.velk");
    for (unsigned int i = 0; i < archive.getNumFiles(); ++i) {
        Bx::ArchiveFile* f = archive.getFile(i);
        if (std::strstr(f->name, ".png"))
            pngs.emplace_back(reinterpret_cast<const char*>(f->data), f->size);
    }
    ASSERT_EQ(pngs.size(), 43u);
    const size_t shown = pngs.size();
    const int layouts[][2] = {
        // colour type, bit depth
        {PNG_COLOR_TYPE_GRAY, 1},       {PNG_COLOR_TYPE_GRAY, 2},       {PNG_COLOR_TYPE_GRAY, 4},
        {PNG_COLOR_TYPE_GRAY, 8},       {PNG_COLOR_TYPE_GRAY, 16},      {PNG_COLOR_TYPE_GRAY_ALPHA, 8},
        {PNG_COLOR_TYPE_GRAY_ALPHA, 16}, {PNG_COLOR_TYPE_PALETTE, 1},   {PNG_COLOR_TYPE_PALETTE, 2},
        {PNG_COLOR_TYPE_PALETTE, 4},    {PNG_COLOR_TYPE_PALETTE, 8},    {PNG_COLOR_TYPE_RGB, 8},
        {PNG_COLOR_TYPE_RGB, 16},       {PNG_COLOR_TYPE_RGBA, 8},       {PNG_COLOR_TYPE_RGBA, 16},
    };
    // The library's decoder adds an alpha channel for a colour key on grey or
    // RGB but reports the channel count without it, so its texture shows the
    // interleaved bytes cut to size: there the key is ignored instead, and the
    // texture is what the library makes of the same file without the key.
    std::vector<std::string> references = pngs, twins = pngs;
    for (const auto& l : layouts)
        for (bool interlaced : {false, true})
            for (bool key : {false, true}) {
                if (key && (l[0] & PNG_COLOR_MASK_ALPHA)) continue;
                pngs.push_back(layoutPng(13, 7, l[0], l[1], interlaced, key));
                twins.push_back(layoutPng(13, 7, l[0], l[1], false, key, true));
                const bool ignoredKey = key && l[0] != PNG_COLOR_TYPE_PALETTE;
                references.push_back(layoutPng(13, 7, l[0], l[1], false, key && !ignoredKey, true));
            }

    std::vector<EncodedImage> files;
    for (const std::string& png : pngs) files.push_back(EncodedImage{bytesOf(png), png.size()});
    std::vector<std::unique_ptr<Texture>> batch = loadTextures(files);
    ASSERT_EQ(batch.size(), pngs.size());
    UploadCaps noDxt = queryUploadCaps();
    ASSERT_TRUE(noDxt.dxt && noDxt.npot); // the driver takes the compressed path
    noDxt.dxt = false;
    for (size_t i = 0; i < pngs.size(); ++i) {
        const HeldTexture expected = libraryLoad(references[i]);
        EXPECT_FALSE(expected.bytes.empty()) << "image " << i;
        EXPECT_TRUE(held(batch[i]->getId()) == expected) << "image " << i;
        PreparedImage decoded = prepareImage(files[i].data, files[i].size, noDxt);
        if (i >= shown) {
            PreparedImage twin;
            ASSERT_TRUE(decodePng(bytesOf(twins[i]), twins[i].size(), twin));
            EXPECT_TRUE(decoded.decoded && decoded.width == twin.width &&
                        decoded.height == twin.height && decoded.channels == twin.channels &&
                        decoded.pixels == twin.pixels)
                << "image " << i;
        }
        Texture uncompressed(decoded);
        EXPECT_TRUE(held(uncompressed.getId()) == expected) << "image " << i;
    }
}
