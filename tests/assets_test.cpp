// The production's own data: the archive the build made, its pictures seen
// through the texture loader and its soundtrack through the music decoder
// and the spectrum the shaders are driven by.

#include "support/gl.h"

#include "support/files.h"
#include "support/png.h"

#include "audio/decoder.h"
#include "audio/analyser.h"
#include "bx/archive.h"
#include "gl/texture.h"
#include "manifest.h"
#include "synth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const std::string kArchivePath = std::string(TIDEWANE_BINARY_DIR) + "/tidewane.velk";

struct Entry {
    std::string name;
    std::string bytes;
};

// Every entry of the archive the build produced, read once.
const std::vector<Entry>& archiveEntries() {
    static std::vector<Entry> entries = [] {
        std::vector<Entry> out;
        FILE* f = std::fopen(kArchivePath.c_str(), "rb");
        if (!f) return out;
        struct stat st;
        fstat(fileno(f), &st);
        Bx::ArchiveContents contents = Bx::readArchiveEntries(f, uint64_t(st.st_size));
        std::fclose(f);
        for (Bx::ArchiveFile* file : contents.files)
            out.push_back({file->name, std::string(reinterpret_cast<char*>(file->data), file->size)});
        Bx::releaseArchiveFiles(contents.files);
        return out;
    }();
    return entries;
}

const std::string& entry(const std::string& name) {
    static const std::string none;
    for (const Entry& e : archiveEntries())
        if (e.name == name) return e.bytes;
    return none;
}

bool isPicture(const std::string& name) { return name.size() > 4 && name.substr(name.size() - 4) == ".png"; }

Image picture(const std::string& name) {
    Image img;
    std::string error;
    EXPECT_TRUE(decodePng(entry(name), img, &error)) << name << ": " << error;
    return img;
}

int luminance(Rgba c) { return (299 * c.r + 587 * c.g + 114 * c.b) / 1000; }

// Pixels with any coverage.
int coveredPixels(const Image& img) {
    int n = 0;
    for (size_t i = 3; i < img.rgba.size(); i += 4) n += img.rgba[i] != 0;
    return n;
}

// Transparent everywhere in the rectangle [x0, x1) x [y0, y1), rows counted
// from the bottom as Image stores them.
bool clearIn(const Image& img, int x0, int y0, int x1, int y1) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (img.pixel(x, y).a != 0) return false;
    return true;
}

} // namespace

// ------------------------------------------------------------ the archive --

TEST(AssetArchive, HoldsEveryAssetInPackOrderWithTheMusicLast) {
    const std::vector<Entry>& entries = archiveEntries();
    std::vector<std::string> names;
    for (const Entry& e : entries) names.push_back(e.name);
    EXPECT_EQ(names, Manifest::packOrder());
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), Manifest::kPreload);
    EXPECT_EQ(names.back(), Manifest::kMusic);
    for (const Entry& e : entries) EXPECT_GT(e.bytes.size(), 0u) << e.name;
}

TEST(AssetArchive, GeneratorRebuildsTheSameBytes) {
    TempDir dir;
    CommandResult r = runCommand(builtProgram("tidewane-assets") + " " + (dir / "assets") + " " +
                                 (dir / "again.velk"));
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    std::string again = readFile(dir / "again.velk");
    std::string built = readFile(kArchivePath);
    EXPECT_EQ(again.size(), built.size());
    EXPECT_TRUE(again == built) << "two runs of the generator gave different archives";
    // The loose files beside the list are the packed ones.
    EXPECT_EQ(readFile(dir / "assets/lyrics/05.png"), entry("lyrics/05.png"));
}

// ----------------------------------------------------------- the pictures --

TEST(AssetPictures, EachHasTheAspectOfItsQuadAndEnoughPixels) {
    for (const std::string& name : Manifest::loadOrder()) {
        if (!isPicture(name)) continue;
        Image img = picture(name);
        ASSERT_GT(img.width, 0) << name;
        bool figure = name.rfind("queltwalk/", 0) == 0;
        // Within one pixel of 136:248 for the figure, 16:9 for the rest.
        int aw = figure ? 136 : 16, ah = figure ? 248 : 9;
        EXPECT_LE(std::abs(img.width * ah - img.height * aw), std::max(aw, ah))
            << name << " is " << img.width << "x" << img.height;
        if (figure) {
            EXPECT_GE(img.height, 248) << name;
        } else if (name.rfind("lyrics/", 0) == 0 || name == "credit.png") {
            // Text shown full screen: fine enough for a 1080-line screen.
            if (name != "lyrics/00.png") {
                EXPECT_GE(img.width, 1024) << name;
            }
        } else {
            EXPECT_GE(img.width, 960) << name;
        }
    }
}

TEST(AssetPictures, OpaqueAndTransparentWhereTheShowNeedsIt) {
    // Fully opaque: the preload card and the water.
    for (const char* name : {"preload.png", "blue.png"}) {
        Image img = picture(name);
        EXPECT_EQ(coveredPixels(img), img.width * img.height) << name;
        EXPECT_EQ(img.count(Rgba{0, 0, 0, 255}, 0), 0) << name;
    }
    // On screen for most of the show: nothing at all.
    Image none = picture("lyrics/00.png");
    EXPECT_GT(none.width, 0);
    EXPECT_EQ(coveredPixels(none), 0);

    // Intro frames: drawn things on a transparent background.
    for (const std::string& name : Manifest::loadOrder()) {
        if (name.rfind("queltwalk/", 0) && name.rfind("us/", 0) && name.rfind("logo/", 0)) continue;
        Image img = picture(name);
        EXPECT_GT(coveredPixels(img), 0) << name;
        EXPECT_TRUE(clearIn(img, 0, img.height - 2, img.width, img.height)) << name << " top row";
        EXPECT_TRUE(clearIn(img, 0, 0, 2, img.height)) << name << " left column";
    }
}

TEST(AssetPictures, WalkFramesStandOnOneGroundLine) {
    // Whatever the pose, the lower foot touches the same line near the
    // bottom of the figure quad, so the figure neither sinks nor floats.
    std::vector<int> lowest;
    for (int f = 1; f <= 8; ++f) {
        char name[32];
        std::snprintf(name, sizeof name, "queltwalk/%02d.png", f);
        Image img = picture(name);
        int row = -1;
        for (int y = 0; y < img.height && row < 0; ++y)
            for (int x = 0; x < img.width; ++x)
                if (img.pixel(x, y).a > 128) {
                    row = y;
                    break;
                }
        ASSERT_GE(row, 0) << name;
        EXPECT_LT(row, img.height / 20) << name << ": feet far above the bottom";
        lowest.push_back(row);
    }
    auto range = std::minmax_element(lowest.begin(), lowest.end());
    EXPECT_LE(*range.second - *range.first, 3);
}

TEST(AssetPictures, CardsBuildUpFrameByFrame) {
    for (const char* folder : {"us", "logo"}) {
        int previous = 0;
        for (int f = 1; f <= 7; ++f) {
            char name[32];
            std::snprintf(name, sizeof name, "%s/%02d.png", folder, f);
            int covered = coveredPixels(picture(name));
            EXPECT_GT(covered, previous) << name << " shows no more than the frame before";
            previous = covered;
        }
    }
}

TEST(AssetPictures, LyricsAreReadableLinesInTheLowerPart) {
    for (int k = 1; k <= 17; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "lyrics/%02d.png", k);
        Image img = picture(name);
        // Nothing in the upper half (rows are stored bottom first), and the
        // line fits the width with a margin.
        EXPECT_TRUE(clearIn(img, 0, img.height / 2, img.width, img.height)) << name;
        EXPECT_TRUE(clearIn(img, 0, 0, img.width / 25, img.height)) << name;
        EXPECT_TRUE(clearIn(img, img.width - img.width / 25, 0, img.width, img.height)) << name;
        // Light letters with a dark edge: readable over bright and dark scenes.
        int light = 0, dark = 0;
        for (int y = 0; y < img.height / 2; ++y)
            for (int x = 0; x < img.width; ++x) {
                Rgba c = img.pixel(x, y);
                if (c.a >= 250 && luminance(c) > 220) ++light;
                if (c.a >= 200 && luminance(c) < 50) ++dark;
            }
        EXPECT_GT(light, 500) << name;
        EXPECT_GT(dark, 500) << name;
    }
}

TEST(AssetPictures, CreditsLeaveTheRepeatedEdgesEmpty) {
    // The third scene shows the credits at 1/1.1 of the screen anchored top
    // right, and repeats the image's right and top tenths along the left and
    // bottom of the screen: those must be empty.
    Image img = picture("credit.png");
    EXPECT_TRUE(clearIn(img, img.width * 9 / 10, 0, img.width, img.height));
    EXPECT_TRUE(clearIn(img, 0, img.height * 9 / 10, img.width, img.height));
    EXPECT_GT(coveredPixels(img), img.width * img.height / 10);
}

TEST(AssetPictures, WaterTilesWithoutSeams) {
    Image img = picture("blue.png");
    ASSERT_GT(img.width, 2);
    auto columnDiff = [&](int a, int b) {
        double sum = 0;
        for (int y = 0; y < img.height; ++y)
            sum += channelDistance(img.pixel(a, y), img.pixel(b, y));
        return sum / img.height;
    };
    auto rowDiff = [&](int a, int b) {
        double sum = 0;
        for (int x = 0; x < img.width; ++x)
            sum += channelDistance(img.pixel(x, a), img.pixel(x, b));
        return sum / img.width;
    };
    // Across the wrap the picture changes no more than between neighbours.
    double neighbours = (columnDiff(0, 1) + columnDiff(img.width / 2, img.width / 2 + 1)) / 2;
    EXPECT_LE(columnDiff(img.width - 1, 0), 2.0 * neighbours + 1.0);
    double rowNeighbours = (rowDiff(0, 1) + rowDiff(img.height / 2, img.height / 2 + 1)) / 2;
    EXPECT_LE(rowDiff(img.height - 1, 0), 2.0 * rowNeighbours + 1.0);
    // And it is not flat.
    EXPECT_GT(columnDiff(0, img.width / 3), 4.0);
}

// A window for the texture loader.
class AssetTextures : public GlTest {};

TEST_F(AssetTextures, EveryPictureLoadsThroughTheTextureLoader) {
    for (const std::string& name : Manifest::loadOrder()) {
        if (!isPicture(name)) continue;
        const std::string& bytes = entry(name);
        Image img = picture(name);
        Texture texture(reinterpret_cast<const unsigned char*>(bytes.data()), int(bytes.size()));
        ASSERT_NE(texture.getId(), 0u) << name << " did not load";
        GLint w = 0, h = 0;
        texture.bind(0);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        texture.unbind();
        EXPECT_EQ(w, img.width) << name;
        EXPECT_EQ(h, img.height) << name;
        if (name == "lyrics/00.png") {
            Image loaded = readTexture(texture.getId());
            EXPECT_EQ(coveredPixels(loaded), 0) << "lyrics/00.png is not fully transparent as a texture";
        }
    }
}

// ---------------------------------------------------------- the soundtrack --

namespace {

const Audio::DecodedAudio& soundtrack() {
    static Audio::DecodedAudio audio = [] {
        const std::string& bytes = entry("music.mp3");
        return Audio::decodeMp3(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    }();
    return audio;
}

// The scene programs' lowFreq at time t: mean of bands 1 and 2.
double lowFreqAt(double t) {
    const Audio::DecodedAudio& a = soundtrack();
    float bands[Audio::kSpectrumBands];
    Audio::spectrumAt(a, int64_t(t * a.sampleRate), bands);
    return 0.5 * (bands[1] + bands[2]);
}

double meanLowFreq(double from, double to) {
    double sum = 0;
    int n = 0;
    for (double t = from; t < to; t += 1.0 / 120.0, ++n) sum += lowFreqAt(t);
    return sum / n;
}

} // namespace

TEST(AssetSoundtrack, DecodesToItsFullLengthWithoutClipping) {
    const Audio::DecodedAudio& a = soundtrack();
    ASSERT_TRUE(a.ok()) << a.error;
    EXPECT_EQ(a.sampleRate, 44100);
    EXPECT_EQ(a.channels, 2);
    // The encoder's tag frame makes the decoded length exact: 170 s.
    EXPECT_EQ(a.frames(), int64_t(170) * 44100);
    float peak = 0, tail = 0;
    for (int64_t i = 0; i < a.frames() * 2; ++i) {
        float v = std::fabs(a.samples[i]);
        peak = std::max(peak, v);
        if (i >= int64_t(165.0 * 44100) * 2) tail = std::max(tail, v);
    }
    EXPECT_LT(peak, 0.99f);
    EXPECT_GT(peak, 0.5f);
    // Everything has faded out by the show's time limit.
    EXPECT_LT(tail, 0.002f);
}

TEST(AssetSoundtrack, LowBandsChangeOnTheCues) {
    ASSERT_TRUE(soundtrack().ok());
    // The drop of the second scene: the beat comes in fully.
    double beforeDrop = meanLowFreq(24.7, 26.25), afterDrop = meanLowFreq(26.4, 27.9);
    EXPECT_GT(afterDrop, 3.0 * beforeDrop) << beforeDrop << " -> " << afterDrop;
    EXPECT_GT(afterDrop, 0.12);
    // The song of the fourth scene starts after a bar without kick.
    EXPECT_GT(meanLowFreq(80.65, 82.15), 2.0 * meanLowFreq(79.05, 80.5));
    // The cloud returns: breakdown.
    EXPECT_LT(meanLowFreq(134.0, 138.0), 0.5 * meanLowFreq(128.0, 132.0));
    // The biggest jump of the low bands around the drop sits on its cue.
    double bestTime = 0, bestRise = -1;
    for (double t = 25.9; t < 26.8; t += 1.0 / 240.0) {
        double rise = lowFreqAt(t + 0.02) - lowFreqAt(t - 0.02);
        if (rise > bestRise) bestRise = rise, bestTime = t;
    }
    EXPECT_NEAR(bestTime, 26.336, 0.06);
}

TEST(AssetSoundtrack, LowBandsPulseAt146BeatsAMinute) {
    ASSERT_TRUE(soundtrack().ok());
    const double rate = 200.0;
    std::vector<double> env;
    for (double t = 27.0; t < 52.0; t += 1.0 / rate) env.push_back(lowFreqAt(t));
    double mean = 0;
    for (double v : env) mean += v;
    mean /= env.size();
    for (double& v : env) v -= mean;
    int bestLag = 0;
    double best = -1e30;
    for (int lag = int(0.3 * rate); lag <= int(0.6 * rate); ++lag) {
        double sum = 0;
        for (size_t i = 0; i + lag < env.size(); ++i) sum += env[i] * env[i + lag];
        if (sum > best) best = sum, bestLag = lag;
    }
    EXPECT_NEAR(bestLag / rate, 60.0 / 146.0, 0.011);
}

// ----------------------------------------------------------- the limiter --

TEST(AssetLimiter, KeepsPeaksUnderTheCeilingWithoutClicks) {
    const int rate = Synth::kRate;
    Synth::Stereo s(rate);
    for (int i = 0; i < rate; ++i) {
        double t = double(i) / rate;
        float amp = (t > 0.5 && t < 0.6) ? 2.0f : 0.3f;
        s.l[i] = amp * float(std::sin(2 * M_PI * 110 * t));
        s.r[i] = -s.l[i];
    }
    Synth::Stereo original = s;
    Synth::limit(s, 0.9f);
    float peak = 0, jump = 0;
    for (int i = 0; i < rate; ++i) {
        peak = std::max(peak, std::max(std::fabs(s.l[i]), std::fabs(s.r[i])));
        if (i) jump = std::max(jump, std::fabs(s.l[i] - s.l[i - 1]));
    }
    EXPECT_LE(peak, 0.9f + 1e-6f);
    // No sample steps further than the loud sine itself does.
    EXPECT_LT(jump, 2.0f * float(2 * M_PI * 110 / rate) * 1.05f);
    // Well before the burst, and once it has recovered, nothing changes much.
    for (int i = 0; i < int(0.45 * rate); ++i) ASSERT_EQ(s.l[i], original.l[i]) << i;
    for (int i = int(0.95 * rate); i < rate; ++i) ASSERT_NEAR(s.l[i], original.l[i], 0.01f) << i;
    // The burst is brought down to the ceiling, not muted.
    float burst = 0;
    for (int i = int(0.55 * rate); i < int(0.58 * rate); ++i) burst = std::max(burst, std::fabs(s.l[i]));
    EXPECT_GT(burst, 0.85f);
}

// ------------------------------------------------ synthesizer building blocks --

namespace {

// Amplitude of a sine of `hz` after `process`, measured once it has settled.
template <typename Process>
float sineThrough(float hz, Process process) {
    const int n = Synth::kRate / 2;
    float peak = 0;
    for (int i = 0; i < n; ++i) {
        float y = process(float(std::sin(2 * M_PI * hz * i / Synth::kRate)));
        if (i > n / 2) peak = std::max(peak, std::fabs(y));
    }
    return peak;
}

double rms(const std::vector<float>& v, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(v[i]) * v[i];
    return std::sqrt(sum / double(to - from));
}

} // namespace

TEST(AssetSynth, FilterPassesAndStopsTheRightBands) {
    Synth::Svf low, high, band;
    low.set(1000.0f, 0.707f);
    EXPECT_GT(sineThrough(100.0f, [&](float x) { return low.low(x); }), 0.95f);
    Synth::Svf low2;
    low2.set(1000.0f, 0.707f);
    EXPECT_LT(sineThrough(8000.0f, [&](float x) { return low2.low(x); }), 0.03f);
    high.set(1000.0f, 0.707f);
    EXPECT_LT(sineThrough(100.0f, [&](float x) { return high.high(x); }), 0.03f);
    // A band-pass scaled by 1/Q has unit gain at its centre.
    band.set(800.0f, 8.0f);
    EXPECT_NEAR(sineThrough(800.0f, [&](float x) { return band.band(x) / 8.0f; }), 1.0f, 0.03f);
}

TEST(AssetSynth, PanningKeepsThePower) {
    for (float p : {-1.0f, -0.4f, 0.0f, 0.7f, 1.0f}) {
        Synth::Pan pan(p);
        EXPECT_NEAR(pan.l * pan.l + pan.r * pan.r, 2.0f, 1e-4f) << p;
    }
    Synth::Pan centre(0.0f), left(-1.0f);
    EXPECT_NEAR(centre.l, 1.0f, 1e-5f);
    EXPECT_NEAR(centre.r, 1.0f, 1e-5f);
    EXPECT_NEAR(left.r, 0.0f, 1e-5f);
}

TEST(AssetSynth, ReverbTailIsWideAndDiesAway) {
    const size_t n = size_t(6 * Synth::kRate);
    std::vector<float> send(n, 0.0f);
    send[0] = 1.0f;
    Synth::Stereo out(n);
    Synth::Reverb hall(0.86f, 0.35f);
    hall.process(send, out, 1.0f);
    // Nothing before the shortest comb, then a tail on both sides that
    // differs between them.
    EXPECT_EQ(rms(out.l, 0, 1000), 0.0);
    double early = rms(out.l, 0, Synth::kRate), late = rms(out.l, 5 * Synth::kRate, n);
    EXPECT_GT(early, 1e-5);
    EXPECT_GT(rms(out.r, 0, Synth::kRate), 1e-5);
    double diff = 0;
    for (int i = 0; i < Synth::kRate; ++i) diff += std::fabs(out.l[i] - out.r[i]);
    EXPECT_GT(diff, 0.0);
    EXPECT_LT(late, 0.01 * early);
}

TEST(AssetSynth, EchoBouncesBetweenTheSidesAndFades) {
    const size_t n = size_t(2 * Synth::kRate);
    const float delay = 0.25f;
    std::vector<float> send(n, 0.0f);
    send[0] = 1.0f;
    Synth::Stereo out(n);
    Synth::pingPong(send, out, delay, 0.5f, 1.0f);
    const size_t d = size_t(delay * Synth::kRate);
    // The first repeat comes back on the left after one delay, the next on
    // the right after two, quieter; nothing arrives in between.
    EXPECT_NEAR(out.l[d], 1.0f, 1e-6f);
    EXPECT_EQ(out.r[d], 0.0f);
    double left1 = rms(out.l, d, 2 * d), right2 = rms(out.r, 2 * d, 3 * d);
    EXPECT_GT(right2, 0.0);
    EXPECT_LT(right2, left1);
    EXPECT_EQ(rms(out.l, 1, d), 0.0);
}
