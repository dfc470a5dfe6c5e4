// The capture tool: its clock and frame ranges, its offline spectrum and
// sound, and the tool itself run on the built archive at a small size and a
// low frame rate (the software renderer is slow).

#include "bench.h"
#include "options.h"
#include "output.h"
#include "sequence.h"

#include "support/files.h"
#include "support/png.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <dirent.h>
#include <set>
#include <sstream>

namespace {

// ---------------------------------------------------------------- helpers

bool parse(std::vector<std::string> args, CaptureOptions& o, std::string& error) {
    o = CaptureOptions();
    return parseCaptureOptions(args, o, error);
}

// Every name in a folder, hidden ones included.
std::set<std::string> folderEntries(const std::string& path) {
    std::set<std::string> names;
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* e = readdir(dir)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.insert(name);
        }
        closedir(dir);
    }
    return names;
}

// Decoded audio of `frames` frames at `rate`, one channel, whose sample n
// reads n + 1, so every sample says where it came from.
Audio::DecodedAudio ramp(int rate, int64_t frames) {
    Audio::DecodedAudio audio;
    audio.sampleRate = rate;
    audio.channels = 1;
    for (int64_t n = 0; n < frames; ++n) audio.samples.push_back(float(n + 1));
    return audio;
}

// A full-scale sine on band `band` of the analysis at 44.1 kHz.
Audio::DecodedAudio sine(int band, double seconds) {
    Audio::DecodedAudio audio;
    audio.sampleRate = 44100;
    audio.channels = 1;
    const double hz = band * 44100.0 / Audio::kSpectrumSize;
    for (int64_t n = 0; n < int64_t(seconds * 44100); ++n)
        audio.samples.push_back(float(std::sin(2.0 * M_PI * hz * double(n) / 44100.0)));
    return audio;
}

Audio::DecodedAudio silence() {
    Audio::DecodedAudio audio;
    audio.sampleRate = 44100;
    audio.channels = 2;
    return audio;
}

// At 4 frames a second every frame after the first carries one intro step
// (a quarter second is more than the step interval of 0.1 s, and a frame
// takes at most one step): 38 walk steps, 7 "us" steps and 7 logo steps
// after the first frame make 53 intro frames, so the music starts at 13.25 s
// of the show.
const int kFps = 4;
const int64_t kIntroFramesAt4 = 53;
double showTimeAt4(double playback) {
    return double(kIntroFramesAt4) / kFps + playback;
}

} // namespace

// ---------------------------------------------------------------- options

TEST(CaptureOptions, ReadsSizesRatesRangesAndOutputs) {
    CaptureOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--out", "frames"}, o, error)) << error;
    EXPECT_EQ(o.width, 1920);
    EXPECT_EQ(o.height, 1080);
    EXPECT_EQ(o.fps, 60);
    EXPECT_FALSE(o.hasFrom);
    EXPECT_FALSE(o.hasTo);
    EXPECT_EQ(o.output, CaptureOptions::Output::Folder);
    EXPECT_EQ(o.archive, "tidewane.velk");

    ASSERT_TRUE(parse({"--size", "3840x2160", "--fps", "30", "--from", "13.5", "--to", "20",
                       "--out", "show.MKV", "--archive", "/data/t.velk"},
                      o, error))
        << error;
    EXPECT_EQ(o.width, 3840);
    EXPECT_EQ(o.height, 2160);
    EXPECT_EQ(o.fps, 30);
    EXPECT_TRUE(o.hasFrom && o.hasTo);
    EXPECT_DOUBLE_EQ(o.from, 13.5);
    EXPECT_DOUBLE_EQ(o.to, 20.0);
    EXPECT_EQ(o.output, CaptureOptions::Output::Video);
    EXPECT_EQ(o.container, "matroska");
    EXPECT_EQ(o.archive, "/data/t.velk");

    EXPECT_EQ(outputKind("a/b.mp4"), CaptureOptions::Output::Video);
    EXPECT_EQ(outputKind("a.mp4/frames"), CaptureOptions::Output::Folder);
    EXPECT_EQ(outputKind("clip.avi"), CaptureOptions::Output::Folder);

    ASSERT_TRUE(parse({"--bench", "--size", "640x400", "--frames", "5"}, o, error)) << error;
    EXPECT_TRUE(o.bench);
    EXPECT_EQ(o.benchFrames, 5);
}

TEST(CaptureOptions, RefusesWhatCannotWorkAndSaysWhy) {
    CaptureOptions o;
    std::string error;
    const std::vector<std::vector<std::string>> bad = {
        {"--out"},                                  // no value
        {"--out", "f", "--size", "1920"},           // no height
        {"--out", "f", "--size", "0x10"},           // empty picture
        {"--out", "f", "--size", "20000x10"},       // beyond any driver
        {"--out", "f", "--size", "-4x10"},          // a sign
        {"--out", "f", "--fps", "0"},               // no frames
        {"--out", "f", "--fps", "29.97"},           // whole frames only
        {"--out", "f", "--from", "-1"},             // before the show
        {"--out", "f", "--from", "nan"},            // not a time
        {"--out", "f", "--from", "5", "--to", "5"}, // empty range
        {"--out", "f", "--from", "6", "--to", "5"}, // backwards
        {"--out", "clip.mp4", "--size", "65x40"},   // odd size: no 4:2:0 video
        {"--fps", "30"},                            // nowhere to write
        {"--bench", "--out", "f"},                  // a benchmark keeps nothing
        {"--out", "f", "--frobnicate"},             // unknown
    };
    for (const auto& args : bad) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        error.clear();
        EXPECT_FALSE(parse(args, o, error)) << joined;
        EXPECT_FALSE(error.empty()) << joined;
    }
    // Help is shown whatever else is wrong.
    EXPECT_TRUE(parse({"--fps", "0", "--help"}, o, error));
    EXPECT_TRUE(o.help);
}

// ----------------------------------------------------------- clock, frames

TEST(CaptureClock, TheIntroComesFirstThenTheTimelineToTheFirstFramePastTheLimit) {
    const ShowLayout layout(kFps);
    EXPECT_EQ(layout.introFrames(), kIntroFramesAt4);
    EXPECT_DOUBLE_EQ(layout.musicStart(), 13.25);
    // Playback 165 s exactly is frame 660 and still runs; 661 is the last.
    EXPECT_EQ(layout.timelineFrames(), 662);

    // The layout's end agrees with the timeline's own: the show asks to stop
    // after its last frame and not before.
    Audio::DecodedAudio quiet = silence();
    ShowSequence sequence(layout, quiet);
    while (sequence.position() < layout.totalFrames() - 1) {
        sequence.next();
        ASSERT_FALSE(sequence.ended()) << "frame " << sequence.position() - 1;
    }
    ShowSequence::Frame last = sequence.next();
    EXPECT_FALSE(last.intro);
    EXPECT_FLOAT_EQ(last.timelineFrame.t, 165.25f);
    EXPECT_TRUE(sequence.ended());
    EXPECT_TRUE(sequence.done());

    // At 60 fps the same: 165 s exactly is timeline frame 9900.
    const ShowLayout at60(60);
    EXPECT_EQ(at60.timelineFrames(), 9902);
    // Steps come after more than 0.1 s: at least 7 frames of 1/60 s would be
    // needed without rounding, at least 6 with it; 52 steps in all.
    EXPECT_GE(at60.introFrames(), 52 * 6);
    EXPECT_LE(at60.introFrames(), 52 * 7 + 1);
}

TEST(CaptureClock, SecondsOfTheShowPickFramesAtOrAfterThem) {
    const ShowLayout layout(kFps);
    FrameRange range;
    std::string error;
    ASSERT_TRUE(selectFrames(layout, true, 66.0, true, 67.0, range, error)) << error;
    EXPECT_EQ(range.first, 264);
    EXPECT_EQ(range.end, 268);
    // Between frames: the next frame's start counts.
    ASSERT_TRUE(selectFrames(layout, true, 66.1, true, 66.6, range, error)) << error;
    EXPECT_EQ(range.first, 265);
    EXPECT_EQ(range.end, 267);
    // The whole show by default; a --to past the end stops at the end.
    ASSERT_TRUE(selectFrames(layout, false, 0, false, 0, range, error)) << error;
    EXPECT_EQ(range.first, 0);
    EXPECT_EQ(range.end, layout.totalFrames());
    ASSERT_TRUE(selectFrames(layout, true, 170.0, true, 9999.0, range, error)) << error;
    EXPECT_EQ(range.end, layout.totalFrames());
    // Nothing left: past the end, or a range between two frames.
    EXPECT_FALSE(selectFrames(layout, true, 179.0, false, 0, range, error));
    EXPECT_NE(error.find("ends"), std::string::npos) << error;
    EXPECT_FALSE(selectFrames(layout, true, 66.05, true, 66.2, range, error));

    // Scene starts in show time: the third scene's first frame is the first
    // with playback time at or after 52.635 s, 52.75 s at 4 fps.
    EXPECT_EQ(layout.timelineFrameAt(52.635), kIntroFramesAt4 + 211);
    EXPECT_EQ(layout.timelineFrameAt(0.0), kIntroFramesAt4);
    EXPECT_EQ(layout.timelineFrameAt(52.75), kIntroFramesAt4 + 211);
}

TEST(CaptureClock, PlayPositionsAreTheNearestSampleWithoutDrift) {
    EXPECT_EQ(playPosition(0, 60, 44100), 0);
    EXPECT_EQ(playPosition(1, 60, 44100), 735);
    EXPECT_EQ(playPosition(9901, 60, 44100), 9901 * 735);
    // 1000 samples a second at 3 fps: 333.3 and 666.7 round to the nearest.
    EXPECT_EQ(playPosition(1, 3, 1000), 333);
    EXPECT_EQ(playPosition(2, 3, 1000), 667);
    EXPECT_EQ(playPosition(3, 3, 1000), 1000);
    // Halves round up: 7 frames at 2 fps of 3 samples a second is 10.5.
    EXPECT_EQ(playPosition(7, 2, 3), 11);
    // A long show at an awkward rate stays on the exact value.
    EXPECT_EQ(playPosition(10000000, 7, 48000), (2 * 10000000LL * 48000 + 7) / 14);
}

// ------------------------------------------------------------- spectrum

TEST(CaptureSpectrum, EveryCallIsOneSmoothingStepOfTheMusicAtTheFramesPosition) {
    const int band = 12;
    Audio::DecodedAudio music = sine(band, 1.0);
    CaptureSpectrum spectrum(music);
    const int64_t position = 20000;
    float raw[Audio::kSpectrumBands];
    Audio::spectrumAt(music, position, raw);
    ASSERT_GT(raw[band], 0.5f);

    // At the start nothing plays: the history fills with zeros.
    spectrum.setPosition(0);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(spectrum.update()[band], 0.0f);

    // The first call at the new position weighs the fresh spectrum alone,
    // the fifth reaches it; the sixth holds it.
    spectrum.setPosition(position);
    const float weights[5] = {1.0f, 1.6f, 1.9375f, 2.0875f, 2.1625f};
    for (int i = 0; i < 6; ++i) {
        const float expected = raw[band] * weights[std::min(i, 4)] * 0.46242777f;
        EXPECT_NEAR(spectrum.update()[band], expected, 1e-5f) << "call " << i + 1;
    }
    // Another frame at the same position reads the same music.
    spectrum.setPosition(position);
    EXPECT_NEAR(spectrum.update()[band], raw[band], 1e-5f);
    // Past the music's end the spectrum fades out through the history.
    spectrum.setPosition(music.frames() + 100);
    EXPECT_NEAR(spectrum.update()[band], raw[band] * (2.1625f - 1.0f) * 0.46242777f, 1e-5f);
}

TEST(CaptureSequence, FlashesFireAndFadeOnTheVirtualClock) {
    const ShowLayout layout(kFps);
    Audio::DecodedAudio quiet = silence();
    ShowSequence sequence(layout, quiet);
    // Intro frames carry the intro's state; the first is the walk's frame 2.
    ShowSequence::Frame f = sequence.next();
    ASSERT_TRUE(f.intro);
    EXPECT_EQ(f.introFrame.walkFrame, 2);
    EXPECT_FALSE(f.introFrame.stepped);
    f = sequence.next();
    EXPECT_TRUE(f.introFrame.stepped);
    EXPECT_EQ(f.introFrame.walkFrame, 3);

    // Playback 13.0 s (timeline frame 52) is not past the first flash at
    // 13.08 s; 13.25 s is, and fires it at 0.75. Each frame then keeps
    // 1 - 1/4 of it.
    sequence.skipTo(kIntroFramesAt4 + 52);
    f = sequence.next();
    EXPECT_FLOAT_EQ(f.timelineFrame.t, 13.0f);
    EXPECT_EQ(f.timelineFrame.white, 0.0f);
    f = sequence.next();
    EXPECT_FLOAT_EQ(f.timelineFrame.t, 13.25f);
    EXPECT_FLOAT_EQ(f.timelineFrame.white, 0.75f);
    f = sequence.next();
    EXPECT_FLOAT_EQ(f.timelineFrame.white, 0.75f * 0.75f);
    f = sequence.next();
    EXPECT_FLOAT_EQ(f.timelineFrame.white, 0.75f * 0.75f * 0.75f);
}

TEST(CaptureBench, EachSceneIsTimedOnFramesOfItsOwnStretch) {
    const ShowLayout layout(60);
    for (int scene = 0; scene < 5; ++scene) {
        const FrameRange range = sceneFrames(layout, scene);
        ASSERT_GT(range.count(), 20) << scene;
        const std::vector<int64_t> frames = spreadFrames(range, 20);
        ASSERT_EQ(frames.size(), 20u);
        for (int64_t k : frames) {
            const float t = float(double(k - layout.introFrames()) / 60.0);
            EXPECT_EQ(int(sceneAt(t)), scene) << "frame " << k << " at " << t << " s";
        }
        // Spread over the stretch, not bunched at its start.
        EXPECT_GT(frames.back() - frames.front(), range.count() * 9 / 10) << scene;
        // The stretch is the scene's whole first window.
        const float before = float(double(range.first - 1 - layout.introFrames()) / 60.0);
        if (scene > 0) {
            EXPECT_NE(int(sceneAt(before)), scene);
        }
    }
}

// ---------------------------------------------------------------- sound

TEST(CaptureSound, SilenceUntilTheMusicStartsThenTheMusicToTheSample) {
    const ShowLayout layout(kFps);
    // 100 samples a second: the music starts at show sample 1325 (13.25 s)
    // and lasts 3 s.
    Audio::DecodedAudio music = ramp(100, 300);
    FrameRange range{50, 60}; // 12.5 to 15 s: samples 1250 to 1500
    std::vector<float> sound = soundtrack(layout, range, music);
    ASSERT_EQ(sound.size(), 250u);
    for (int n = 0; n < 75; ++n) ASSERT_EQ(sound[size_t(n)], 0.0f) << n;
    for (int n = 75; n < 250; ++n) ASSERT_EQ(sound[size_t(n)], float(n - 75 + 1)) << n;

    // A range that ends past the music's end: silence after its last sample.
    range = FrameRange{60, 70}; // samples 1500 to 1750, music to 1625
    sound = soundtrack(layout, range, music);
    ASSERT_EQ(sound.size(), 250u);
    EXPECT_EQ(sound[0], 176.0f);
    EXPECT_EQ(sound[124], 300.0f);
    EXPECT_EQ(sound[125], 0.0f);
    EXPECT_EQ(sound[249], 0.0f);

    // Stereo keeps the pairs together.
    Audio::DecodedAudio stereo = ramp(100, 200);
    stereo.channels = 2;        // 100 frames of two samples
    range = FrameRange{53, 54}; // the music's first 25 frames
    sound = soundtrack(layout, range, stereo);
    ASSERT_EQ(sound.size(), 50u);
    EXPECT_EQ(sound[0], 1.0f);
    EXPECT_EQ(sound[1], 2.0f);
    EXPECT_EQ(sound[49], 50.0f);
}

// --------------------------------------------------------- files on disk

TEST(CaptureOutput, AFileAppearsWholeOrNotAtAll) {
    TempDir dir;
    std::string error;
    ASSERT_TRUE(writeFileAtomically(dir / "a.png", "bytes", error)) << error;
    EXPECT_EQ(readFile(dir / "a.png"), "bytes");
    EXPECT_EQ(folderEntries(dir.path()), (std::set<std::string>{"a.png"}));

    // A write that fails leaves neither the target nor a temporary file.
    EXPECT_FALSE(writeFileAtomically(dir / "missing/b.png", "bytes", error));
    EXPECT_NE(error.find("b.png"), std::string::npos) << error;
    EXPECT_EQ(folderEntries(dir.path()), (std::set<std::string>{"a.png"}));
    EXPECT_EQ(frameFileName(264), "frame-000264.png");
}

// ------------------------------------------------------ the tool itself

namespace {

// The tool with the built archive, headless: without an X display (an empty
// DISPLAY) it draws through EGL by itself. `window` keeps the display, for
// the X path.
std::string capture(const std::string& args, bool window = false) {
    return std::string(window ? "" : "DISPLAY= ") + builtProgram("tidewane-capture") +
           " --archive " + std::string(TIDEWANE_BINARY_DIR) + "/tidewane.velk " + args;
}

CommandResult run(const std::string& args, bool window = false) {
    return runCommand(capture(args, window));
}

Image frame(const std::string& folder, int64_t index) {
    Image img;
    std::string error;
    EXPECT_TRUE(readPng(folder + "/" + frameFileName(index), img, &error)) << error;
    return img;
}

int darkestChannel(const Image& img) {
    int darkest = 255;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const Rgba c = img.pixel(x, y);
            darkest = std::min({darkest, int(c.r), int(c.g), int(c.b)});
        }
    return darkest;
}

double meanBrightness(const Image& img) {
    double sum = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const Rgba c = img.pixel(x, y);
            sum += (c.r + c.g + c.b) / 3.0;
        }
    return sum / (img.width * img.height);
}

// How much bluer than red the middle of the right half is: the blue picture
// there is strongly blue; the credits' translucent grey panel over it dulls
// it.
double blueness(const Image& img) {
    double sum = 0;
    int n = 0;
    for (int y = img.height * 35 / 100; y < img.height * 65 / 100; ++y)
        for (int x = img.width * 55 / 100; x < img.width * 75 / 100; ++x, ++n) {
            const Rgba c = img.pixel(x, y);
            sum += int(c.b) - int(c.r);
        }
    return sum / n;
}

const char* const kSmall = "--size 64x40 --fps 4 ";

} // namespace

TEST(CaptureTool, ASecondOfTheThirdSceneGivesItsFramesTheSameEachTime) {
    TempDir dir;
    // The third scene starts at 52.75 s of playback, 66 s of the show.
    const std::string from = std::to_string(showTimeAt4(52.75));
    CommandResult first =
        run(kSmall + std::string("--from ") + from + " --to 67 --out " + (dir / "one"));
    ASSERT_EQ(first.exitStatus, 0) << first.err;
    EXPECT_NE(first.err.find("frame 4 of 4"), std::string::npos) << first.err;
    const std::set<std::string> expected = {"frame-000264.png", "frame-000265.png",
                                            "frame-000266.png", "frame-000267.png"};
    EXPECT_EQ(folderEntries(dir / "one"), expected);
    for (int64_t k = 264; k < 268; ++k) {
        Image img = frame(dir / "one", k);
        EXPECT_EQ(img.width, 64);
        EXPECT_EQ(img.height, 40);
    }

    // The same frames again, from another --from, drawn in a hidden window
    // on the X display instead of headless: byte for byte the same files.
    EXPECT_NE(first.err.find("renderer: "), std::string::npos) << first.err;
    EXPECT_NE(first.err.find("(EGL "), std::string::npos) << first.err;
    CommandResult second =
        run(kSmall + std::string("--from 66 --to 67 --out ") + (dir / "two"), true);
    ASSERT_EQ(second.exitStatus, 0) << second.err;
    EXPECT_NE(second.err.find("(hidden X window)"), std::string::npos) << second.err;
    ASSERT_EQ(folderEntries(dir / "two"), expected);
    for (const std::string& name : expected)
        EXPECT_TRUE(readFile(dir / "one/" + name) == readFile(dir / "two/" + name)) << name;
    // The frames move: the scene is not a still.
    EXPECT_NE(readFile(dir / "one/frame-000264.png"), readFile(dir / "one/frame-000267.png"));
}

TEST(CaptureTool, TheFirstFlashWhitensTheFirstFramePast13SecondsThenFades) {
    TempDir dir;
    // Playback 12.75 to 13.5 s: frames 104 to 107.
    CommandResult r = run(kSmall + std::string("--from 26 --to 27 --out ") + (dir / "f"));
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const Image before = frame(dir / "f", 104); // 12.75 s
    const Image at13 = frame(dir / "f", 105);   // 13.0 s: not yet
    const Image flash = frame(dir / "f", 106);  // 13.25 s: white 0.75
    const Image after = frame(dir / "f", 107);  // 13.5 s: 0.5625
    // Unflashed, the picture's bent edges are black.
    EXPECT_LT(darkestChannel(before), 40);
    EXPECT_LT(darkestChannel(at13), 40);
    // The flash lifts every pixel to at least its level.
    EXPECT_GE(darkestChannel(flash), int(0.75 * 255) - 1);
    EXPECT_GE(darkestChannel(after), int(0.5625 * 255) - 1);
    EXPECT_LT(darkestChannel(after), int(0.75 * 255) - 1);
    EXPECT_GT(meanBrightness(flash), meanBrightness(after));
    EXPECT_GT(meanBrightness(after), meanBrightness(at13) + 60);
}

TEST(CaptureTool, TheCreditsShowOnlyBetweenTheirTimes) {
    TempDir dir;
    // One frame each: before the fade-in (65.75 to 67.75 s), half-way
    // through it, in full view, and after the fade-out (76.9 to 78.9 s)
    // while the scene still plays (to 80.593 s).
    const double times[4] = {64.0, 66.75, 72.0, 79.5};
    double blue[4];
    for (int i = 0; i < 4; ++i) {
        const double at = showTimeAt4(times[i]);
        const std::string out = dir / ("c" + std::to_string(i));
        CommandResult r = run(kSmall + std::string("--from ") + std::to_string(at) + " --to " +
                              std::to_string(at + 0.25) + " --out " + out);
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        ASSERT_EQ(folderEntries(out).size(), 1u);
        blue[i] = blueness(frame(out, int64_t(std::lround(at * kFps))));
    }
    // The blue picture alone, then the panel darkening it more and more,
    // then the picture alone again.
    EXPECT_GT(blue[0], 40.0);
    EXPECT_LT(blue[1], 0.9 * blue[0]) << "fading in";
    EXPECT_GT(blue[1], 0.65 * blue[0]) << "fading in";
    EXPECT_LT(blue[2], 0.65 * blue[0]) << "in full view";
    EXPECT_NEAR(blue[3], blue[0], 0.1 * blue[0]) << "gone again";
}

// A lyric or the credit that cannot be decoded is left out of the frame:
// it is laid over the scene by its alpha, so the frame is the one drawn with
// a fully transparent picture of that name in its place.
TEST(CaptureTool, ADamagedOverlayPictureGivesTheFrameWithoutIt) {
    const std::string noise = randomBytes(5000, 12345);
    const std::string clear = encodePng(Image(160, 90, Rgba{0, 0, 0, 0}));
    // lyrics/05.png is up from 84.04 s of playback; the credit in full view
    // at 72 s.
    const std::pair<std::string, double> cases[] = {{"lyrics/05.png", 86.0}, {"credit.png", 72.0}};
    for (const auto& c : cases) {
        const double at = showTimeAt4(c.second);
        const int64_t index = std::lround(at * kFps);
        std::string frames[2];
        for (int damaged = 0; damaged < 2; ++damaged) {
            TempDir dir;
            writeFile(dir / c.first, damaged ? noise : clear);
            CommandResult r = runCommand("cd '" + dir.path() + "' && " + capture(kSmall + std::string("--from ") +
                                         std::to_string(at) + " --to " + std::to_string(at + 0.25) +
                                         " --out out"));
            ASSERT_EQ(r.exitStatus, 0) << r.err;
            EXPECT_EQ(r.err.find("image: " + c.first + ": not a PNG file; shown without it\n") !=
                          std::string::npos,
                      damaged == 1)
                << r.err;
            frames[damaged] = readFile(dir / "out/" + frameFileName(index));
        }
        ASSERT_FALSE(frames[0].empty()) << c.first;
        EXPECT_TRUE(frames[0] == frames[1]) << c.first << " damaged draws another frame";
    }
}

TEST(CaptureTool, ErrorsSayWhatIsWrongAndLeaveNothingBehind) {
    TempDir dir;
    // A bad option.
    CommandResult r = runCommand(builtProgram("tidewane-capture") + " --fps fast --out x");
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_NE(r.err.find("--fps"), std::string::npos) << r.err;

    // A GPU that EGL does not list, and a GPU that is not a number.
    r = run(kSmall + std::string("--gpu 99 --out ") + (dir / "frames"));
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("there is no GPU 99 (EGL lists "), std::string::npos) << r.err;
    r = run("--gpu first --out x");
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_NE(r.err.find("--gpu wants the number of a GPU"), std::string::npos) << r.err;

    // No archive in the working folder, nor beside a copy of the program.
    TempDir bin;
    ASSERT_EQ(runCommand("cp " + builtProgram("tidewane-capture") + " " + bin.path()).exitStatus, 0);
    r = runCommand("cd " + dir.path() + " && timeout 60 " + (bin / "tidewane-capture") +
                   " --out frames");
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("tidewane.velk"), std::string::npos) << r.err;
    EXPECT_TRUE(folderEntries(dir.path()).empty());

    // A damaged archive.
    writeFile(dir / "broken.velk", "not an archive at all");
    r = runCommand(builtProgram("tidewane-capture") + " --archive " + (dir / "broken.velk") +
                   " --out " + (dir / "frames"));
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("damaged"), std::string::npos) << r.err;
    EXPECT_FALSE(fileExists(dir / "frames"));

    // No ffmpeg for a video: say so and point to PNG frames.
    r = runCommand("PATH=/nonexistent " +
                   capture(kSmall + std::string("--out ") + (dir / "v.mp4")));
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("ffmpeg"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--out FOLDER"), std::string::npos) << r.err;

    // A disk that takes no more (a file-size limit of 1 KiB here): no frame
    // and no temporary file is left, for PNG frames and for a video.
    r = runCommand("ulimit -f 1 && " +
                   capture(kSmall + std::string("--from 66 --to 67 --out ") + (dir / "full")));
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("frame-000264.png"), std::string::npos) << r.err;
    EXPECT_TRUE(folderEntries(dir / "full").empty());
    r = runCommand("ulimit -f 1 && " +
                   capture(kSmall + std::string("--from 66 --to 67 --out ") + (dir / "full.mp4")));
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("full.mp4"), std::string::npos) << r.err;
    EXPECT_TRUE(folderEntries(dir.path()).count("full.mp4") == 0);

    std::set<std::string> left = folderEntries(dir.path());
    for (const std::string& name : left) EXPECT_NE(name[0], '.') << name;
}

TEST(CaptureTool, AVideoHasEveryFrameAndTheMusicFromItsStart) {
    TempDir dir;
    if (findProgram("ffmpeg").empty() || findProgram("ffprobe").empty())
        GTEST_SKIP() << "ffmpeg is not installed";
    // 12.25 to 15.25 s of the show: 12 frames, the music starting 1 s in.
    const std::string out = dir / "clip.mp4";
    CommandResult r = run(kSmall + std::string("--from 12.25 --to 15.25 --out ") + out);
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(folderEntries(dir.path()), (std::set<std::string>{"clip.mp4"}));

    CommandResult probe =
        runCommand("ffprobe -v error -count_frames -show_entries "
                   "stream=codec_type,codec_name,nb_read_frames,width,height:format=duration "
                   "-of default=noprint_wrappers=1 " +
                   out);
    ASSERT_EQ(probe.exitStatus, 0) << probe.err;
    const std::string& info = probe.out;
    EXPECT_NE(info.find("codec_name=h264"), std::string::npos) << info;
    EXPECT_NE(info.find("nb_read_frames=12"), std::string::npos) << info;
    EXPECT_NE(info.find("width=64"), std::string::npos) << info;
    EXPECT_NE(info.find("codec_type=audio"), std::string::npos) << info;
    EXPECT_NE(info.find("codec_name=aac"), std::string::npos) << info;
    const size_t at = info.find("duration=");
    ASSERT_NE(at, std::string::npos) << info;
    EXPECT_NEAR(std::stod(info.substr(at + 9)), 3.0, 0.05) << info;

    // The sound: silent through the intro, the music's opening after 1 s.
    CommandResult pcm =
        runCommand("ffmpeg -v error -i " + out + " -map 0:a -ac 1 -ar 8000 -f f32le -");
    ASSERT_EQ(pcm.exitStatus, 0) << pcm.err;
    std::vector<float> samples(pcm.out.size() / sizeof(float));
    std::copy(pcm.out.data(), pcm.out.data() + samples.size() * sizeof(float),
              reinterpret_cast<char*>(samples.data()));
    auto rms = [&](double from, double to) {
        double sum = 0;
        const size_t a = size_t(from * 8000), b = std::min(samples.size(), size_t(to * 8000));
        for (size_t i = a; i < b; ++i) sum += double(samples[i]) * samples[i];
        return b > a ? std::sqrt(sum / double(b - a)) : -1.0;
    };
    EXPECT_LT(rms(0.05, 0.9), 1e-4);
    EXPECT_GT(rms(1.5, 2.0), 3e-3);
}

TEST(CaptureTool, TheBenchmarkTimesEveryPass) {
    CommandResult r = run("--bench --size 32x20 --frames 3");
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.out.find("size 32x20, 3 frames a pass"), std::string::npos) << r.out;
    for (const char* pass : {"cloud", "lattice", "credits", "column", "noisy box", "post"}) {
        const size_t at = r.out.find(std::string("| ") + pass);
        ASSERT_NE(at, std::string::npos) << pass << "\n" << r.out;
        // Median, 95th percentile and rate: positive numbers, the 95th
        // percentile not below the median.
        std::istringstream row(r.out.substr(at + 2 + std::string(pass).size()));
        double median = 0, p95 = 0, fps = 0;
        char bar = 0;
        row >> bar >> median >> bar >> p95 >> bar >> fps;
        EXPECT_GT(median, 0.0) << pass;
        EXPECT_GE(p95, median) << pass;
        // The table rounds the milliseconds to two decimals.
        EXPECT_NEAR(fps * median, 1000.0, 1000.0 * 0.006 / median + 1.0) << pass;
    }
}
