// The show's core: what the viewer sees is unchanged frame for frame, and
// what a frame shows depends on the clock's readings, not on how the host's
// clock moved between them.

#include "support/files.h"
#include "support/png.h"

#include "core.h"
#include "sequence.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

// FNV-1a over the pixels of frames [first, end) of a capture folder.
uint64_t hashFrames(const std::string& folder, int64_t first, int64_t end) {
    uint64_t h = 1469598103934665603ULL;
    for (int64_t k = first; k < end; ++k) {
        char name[64];
        std::snprintf(name, sizeof name, "/frame-%06lld.png", static_cast<long long>(k));
        Image image;
        EXPECT_TRUE(readPng(folder + name, image)) << name;
        for (uint8_t b : image.rgba) {
            h ^= b;
            h *= 1099511628211ULL;
        }
    }
    return h;
}

// A host whose raw clock reads `at(n)` while frame n is played and
// `at(n + 1)` once it is presented; a restart makes the current raw
// reading 0. The spectrum is silent, so a frame's uniforms depend on its
// time alone.
class ScriptedHost : public ShowHost {
public:
    explicit ScriptedHost(std::function<double(int64_t)> at) : m_at(std::move(at)) {}
    double clock() override { return m_at(m_frame) - m_base; }
    void restartClock() override { m_base = m_at(m_frame); }
    SpectrumSource& spectrum() override { return m_silence; }
    bool present() override {
        ++m_frame;
        return true;
    }

private:
    class Silence : public SpectrumSource {
    public:
        const float* update() override { return m_bands; }

    private:
        float m_bands[256] = {};
    };
    std::function<double(int64_t)> m_at;
    int64_t m_frame = 0;
    double m_base = 0;
    Silence m_silence;
};

std::vector<ShowFrame> play(ShowHost& host) {
    ShowCore core(host);
    std::vector<ShowFrame> frames;
    while (core.playFrame(nullptr)) frames.push_back(core.frame());
    EXPECT_TRUE(core.ended());
    EXPECT_FALSE(core.closed());
    return frames;
}

} // namespace

// The whole show at 64x36 and 10 fps, headless, through the capture tool:
// each stretch's pixels hash as they did before the core was drawn out of
// the hosts (llvmpipe).
TEST(CoreShow, AWholeShowCaptureIsUnchangedFrameForFrame) {
    TempDir dir;
    const std::string out = dir.path() + "/frames";
    const std::string command = std::string("cd '") + dir.path() + "' && DISPLAY= '" +
                                TIDEWANE_BINARY_DIR + "/tidewane-capture' --archive '" +
                                TIDEWANE_BINARY_DIR + "/tidewane.velk' --size 64x36 --fps 10 --out '" +
                                out + "' 2> capture.log";
    ASSERT_EQ(std::system(command.c_str()), 0) << readFile(dir.path() + "/capture.log");

    const ShowLayout layout(10);
    ASSERT_EQ(layout.totalFrames(), 1741);
    std::vector<int64_t> bounds = {0};
    for (const SceneStretch& s : kSchedule) bounds.push_back(layout.timelineFrameAt(s.start));
    bounds.push_back(layout.totalFrames());
    const uint64_t before[7] = {0x6d58819134390686ULL, 0xe51528d7e62dac07ULL,
                                0x646124149b08fe4dULL, 0x32b66e2e80eae589ULL,
                                0x8c643aed8edcc367ULL, 0xcb631e73ed5e0f1aULL,
                                0xaf758f889b464076ULL};
    const char* names[7] = {"intro", "cloud", "lattice", "credits", "column", "noisy box", "cloud again"};
    for (int s = 0; s < 7; ++s)
        EXPECT_EQ(hashFrames(out, bounds[size_t(s)], bounds[size_t(s) + 1]), before[s])
            << names[s] << ", frames " << bounds[size_t(s)] << " to " << bounds[size_t(s) + 1];
}

// A clock that stalls (the same reading for several frames) and jumps (a
// busy machine, a stopped process), against a steady one: the intro still
// takes all its steps, one a frame at most; every timeline frame shows what
// the steady clock's frame at the same reading shows; a stall holds the
// flash; the show still ends past the time limit.
TEST(CoreShow, AStallingAndJumpingClockShowsWhatASteadyOneShowsAtTheSameReadings) {
    ScriptedHost steadyHost([](int64_t n) { return double(n) / 20; });
    ScriptedHost roughHost([](int64_t n) {
        if (n >= 30 && n < 36) n = 30;                 // a stall in the intro
        double t = double(n) / 20;
        if (n >= 60) t += 2.5;                         // a jump in the intro
        if (n >= 700 && n < 705) t = 700.0 / 20 + 2.5; // a stall at the flash of 26.3 s
        if (n >= 900) t += 7.0;                        // a jump in the timeline
        return t;
    });
    const std::vector<ShowFrame> steady = play(steadyHost);
    const std::vector<ShowFrame> rough = play(roughHost);

    int steps = 0;
    const ShowFrame* previous = nullptr;
    size_t s = 0, matched = 0;
    for (const ShowFrame& f : rough) {
        if (f.intro) {
            steps += f.introFrame.stepped;
            continue;
        }
        const TimelineFrame& mine = f.timelineFrame;
        // A stall: the same reading again, and the flash does not decay
        // (beyond the narrowing of the frame's times to floats).
        if (previous && previous->timelineFrame.t == mine.t) {
            EXPECT_NEAR(mine.white, previous->timelineFrame.white, 1e-6) << mine.t;
        }
        previous = &f;
        while (s < steady.size() && (steady[s].intro || steady[s].timelineFrame.t < mine.t - 1e-4f))
            ++s;
        if (s == steady.size() || steady[s].timelineFrame.t > mine.t + 1e-4f) continue;
        const TimelineFrame& same = steady[s].timelineFrame;
        ++matched;
        EXPECT_EQ(mine.program, same.program) << mine.t;
        EXPECT_FLOAT_EQ(mine.time, same.time) << mine.t;
        EXPECT_FLOAT_EQ(mine.bass, same.bass) << mine.t;
        EXPECT_FLOAT_EQ(mine.rtime, same.rtime) << mine.t;
    }
    EXPECT_EQ(steps, 52);
    EXPECT_GT(matched, 2500u);
    ASSERT_FALSE(rough.empty());
    EXPECT_GT(rough.back().timelineFrame.t, TimelineTables::kTimeLimit);
    EXPECT_LT(rough.size(), steady.size());
}
