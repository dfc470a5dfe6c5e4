#include "support/death.h"
#include "support/files.h"
#include "support/gl.h"

#include "bx/archive.h"
#include "bx/loadingscreen.h"

#include <cmath>
#include <limits>
#include <memory>

namespace {

const Rgba kRed{255, 0, 0, 255};
const Rgba kBlue{0, 0, 255, 255};
const Rgba kBlack{0, 0, 0, 255};
const int kW = GlTest::kWidth;
const int kH = GlTest::kHeight;

std::string le32(uint32_t v) {
    return std::string{char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF),
                       char((v >> 24) & 0xFF)};
}

// A window-sized picture: top half red, bottom half blue.
Image picture() {
    Image image(kW, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) image.setPixel(x, y, y >= kH / 2 ? kRed : kBlue);
    return image;
}

// A window-sized grey mask with value(x, y) in its red channel.
template <typename F>
Image mask(F value) {
    Image image(kW, kH);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            uint8_t v = uint8_t(value(x, y));
            image.setPixel(x, y, Rgba{v, v, v, 255});
        }
    return image;
}

// Writes an archive holding "image.png" and "mask.png", opens it and builds
// the loading screen from it.
class Screen {
public:
    explicit Screen(const Image& maskImage) {
        const std::string files[2][2] = {{"image.png", encodePng(picture(), PngKind::Rgb)},
                                         {"mask.png", encodePng(maskImage, PngKind::Grey)}};
        std::string bytes = le32(2);
        for (const auto& f : files) {
            std::string name = f[0];
            name.resize(256, '\0');
            bytes += name + le32(uint32_t(f[1].size())) + f[1];
        }
        writeFile(m_dir / "data.velk", bytes);
        ScopedChdir here(m_dir.path());
        m_archive.reset(new Bx::Archive("data.velk"));
        testing::internal::CaptureStdout();
        m_screen.reset(new Bx::LoadingScreen("image.png", "mask.png"));
        m_log = testing::internal::GetCapturedStdout();
    }
    Bx::LoadingScreen& operator*() { return *m_screen; }
    Bx::LoadingScreen* operator->() { return m_screen.get(); }
    const std::string& log() const { return m_log; }

private:
    TempDir m_dir;
    std::unique_ptr<Bx::Archive> m_archive;
    std::unique_ptr<Bx::LoadingScreen> m_screen;
    std::string m_log;
};

Image drawn(Bx::LoadingScreen& screen, float progress) {
    screen.setProgress(progress);
    screen.draw();
    return readWindow();
}

} // namespace

class LoadingScreenDrawing : public GlTest {};

TEST_F(LoadingScreenDrawing, ProgressZeroShowsOnlyMaskValueZero) {
    // Left half 0, right half a small value above 0. Textures are stored
    // DXT1-compressed, greyscale included, which keeps 5 bits of red: 16/255
    // survives as 2/31, while 1/255 would become 0.
    Screen screen(mask([](int x, int) { return x < kW / 2 ? 0 : 16; }));
    EXPECT_EQ(screen.log(), "Vtx Shader info log: \nFrag Shader info log: \nProgram info log: \n");
    EXPECT_EQ(screen->getProgress(), 0.0f);
    Image window = drawn(*screen, 0.0f);
    EXPECT_EQ(window.count(kBlack), kW / 2 * kH);
    EXPECT_EQ(window.count(kRed), kW / 2 * kH / 2);
    EXPECT_EQ(window.count(kBlue), kW / 2 * kH / 2);
    EXPECT_EQ(window.pixel(kW / 2, kH - 1), kBlack);
    // The picture stands the right way up: its top half at the top.
    EXPECT_EQ(window.pixel(0, kH - 1), kRed);
    EXPECT_EQ(window.pixel(0, 0), kBlue);
}

TEST_F(LoadingScreenDrawing, ProgressOneShowsEverything) {
    Screen screen(mask([](int x, int y) { return x == 0 && y == 0 ? 0 : 255; }));
    Image window = drawn(*screen, 1.0f);
    EXPECT_EQ(window.count(kRed), kW * kH / 2);
    EXPECT_EQ(window.count(kBlue), kW * kH / 2);
    // Just below 1, the fully white mask keeps everything else black.
    window = drawn(*screen, 0.99f);
    EXPECT_EQ(window.count(kBlack), kW * kH - 1);
}

TEST_F(LoadingScreenDrawing, HalfProgressOnAHorizontalRampShowsTheLeftHalf) {
    // Sixteen steps of four columns from 0 at the left to 255 at the right.
    Screen screen(mask([](int x, int) { return (x / 4) * 17; }));
    Image window = drawn(*screen, 0.5f);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            Rgba expected = x >= kW / 2 ? kBlack : (y >= kH / 2 ? kRed : kBlue);
            ASSERT_EQ(window.pixel(x, y), expected) << x << ", " << y;
        }
    // The second step, 17/255, is stored as 2/31: a progress just above it
    // shows it, and the third step (4/31) stays black.
    window = drawn(*screen, 17.0f / 255.0f);
    EXPECT_EQ(window.pixel(7, 5), kBlue);
    EXPECT_EQ(window.pixel(8, 5), kBlack);
}

TEST_F(LoadingScreenDrawing, SetProgressClampsAndTurnsNotANumberIntoZero) {
    Screen screen(mask([](int, int) { return 0; }));
    screen->setProgress(0.25f);
    EXPECT_EQ(screen->getProgress(), 0.25f);
    screen->setProgress(1.5f);
    EXPECT_EQ(screen->getProgress(), 1.0f);
    screen->setProgress(-0.25f);
    EXPECT_EQ(screen->getProgress(), 0.0f);
    screen->setProgress(0.75f);
    screen->setProgress(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(screen->getProgress(), 0.0f);
    screen->setProgress(std::numeric_limits<float>::infinity());
    EXPECT_EQ(screen->getProgress(), 1.0f);
    screen->setProgress(-std::numeric_limits<float>::infinity());
    EXPECT_EQ(screen->getProgress(), 0.0f);
}

TEST(LoadingScreenWithoutArchive, StopsWithItsMessage) {
    const char* source = "src/bx/loadingscreen.cpp";
    DeathResult r = runInChild([] { Bx::LoadingScreen screen("preload.png", "mask.png"); });
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.out, assertionBlock("Archive::ms_archive != 0", source,
                                    sourceLineOf(source, "\"Need an archive to load images.\""),
                                    "Need an archive to load images."));
}
