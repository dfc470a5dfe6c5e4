#include "intro.h"
#include "timeline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// A music stand-in whose every call returns a fresh spectrum in which band b
// of the n-th call of a frame (1 to 6) reads n + b / 10, so each value tells
// which call and band it came from.
class RecordingSpectrum : public SpectrumSource {
public:
    const float* update() override {
        int n = calls % 6 + 1;
        ++calls;
        for (int b = 0; b < 256; ++b) bands[b] = float(n) + float(b) / 10.0f;
        return bands;
    }
    int calls = 0;
    float bands[256];
};

// A constant spectrum, as a quiet or steady piece of music gives.
class ConstantSpectrum : public SpectrumSource {
public:
    explicit ConstantSpectrum(float v) {
        for (float& b : bands) b = v;
    }
    const float* update() override { return bands; }
    float bands[256];
};

} // namespace

TEST(TimelineSpectrum, SixCallsAFrameEachBandFromItsOwnCall) {
    Timeline timeline;
    RecordingSpectrum music;
    TimelineFrame f = timeline.step(10.0f, music);
    EXPECT_EQ(music.calls, 6);
    EXPECT_FLOAT_EQ(f.lowFreq, (3.1f + 4.2f) * 0.5f); // band 1 of call 3, band 2 of call 4
    EXPECT_FLOAT_EQ(f.bass, 5.3f);                    // band 3 of call 5, raw before the drop
    EXPECT_FLOAT_EQ(f.postBass, 6.3f);                // band 3 of call 6
    EXPECT_FLOAT_EQ(f.time, 10.0f);
    EXPECT_FLOAT_EQ(f.postTime, 10.0f);
    EXPECT_EQ(timeline.warp(), 0.0f);

    f = timeline.step(30.0f, music);
    EXPECT_EQ(music.calls, 12);
    EXPECT_FLOAT_EQ(f.bass, 0.5f * 5.3f + 0.17f);
    // The warp grows by half of (band 2 of call 1 + half of band 3 of call 2).
    const float warp = 0.5f * (0.5f * 2.3f + 1.2f);
    EXPECT_FLOAT_EQ(timeline.warp(), warp);
    EXPECT_FLOAT_EQ(f.time, 30.0f + 0.25f * warp);
    EXPECT_FLOAT_EQ(f.rtime, 30.0f);
    EXPECT_FLOAT_EQ(f.postBass, 6.3f);
}

TEST(TimelineSpectrum, TheClockWarpsOnlyAfterTheDropAndPerFrame) {
    Timeline timeline;
    ConstantSpectrum music(0.4f);
    // 26.336 exactly still uses the plain clock and the raw band.
    TimelineFrame f = timeline.step(26.336f, music);
    EXPECT_EQ(f.time, 26.336f);
    EXPECT_FLOAT_EQ(f.bass, 0.4f);
    EXPECT_EQ(timeline.warp(), 0.0f);
    EXPECT_EQ(f.program, SceneProgram::Lattice);

    // From the next frame on, each frame adds 0.5 * (0.4 + 0.2) = 0.3 to the
    // warp, however little time passed: the scene clock runs ahead of t.
    float t = 26.337f;
    for (int frame = 1; frame <= 100; ++frame, t += 0.001f) {
        f = timeline.step(t, music);
        EXPECT_FLOAT_EQ(f.bass, 0.5f * 0.4f + 0.17f);
        EXPECT_GE(f.time, t);
    }
    EXPECT_NEAR(timeline.warp(), 30.0f, 1e-3f);
    EXPECT_NEAR(f.time, f.t + 7.5f, 1e-3f);
}

TEST(TimelineSchedule, ScenesFollowHalfOpenWindows) {
    struct Case { float t; SceneProgram program; };
    const std::vector<Case> cases = {
        {0.0f, SceneProgram::Cloud},      {26.335f, SceneProgram::Cloud},
        {26.336f, SceneProgram::Lattice}, {52.634f, SceneProgram::Lattice},
        {52.635f, SceneProgram::Credits}, {80.592f, SceneProgram::Credits},
        {80.593f, SceneProgram::Column},  {106.886f, SceneProgram::Column},
        {106.887f, SceneProgram::NoisyBox}, {133.196f, SceneProgram::NoisyBox},
        {133.197f, SceneProgram::Cloud},  {170.0f, SceneProgram::Cloud},
    };
    for (const Case& c : cases) EXPECT_EQ(sceneAt(c.t), c.program) << c.t;

    Timeline timeline;
    ConstantSpectrum music(0.0f);
    EXPECT_TRUE(timeline.step(60.0f, music).usesImages);
    EXPECT_FALSE(timeline.step(90.0f, music).usesImages);
}

TEST(TimelineFlash, FiresStrictlyAfterItsTimeOneEntryAFrame) {
    Timeline timeline;
    ConstantSpectrum music(0.0f);
    EXPECT_EQ(timeline.step(13.08f, music).white, 0.0f);
    EXPECT_EQ(timeline.flashCursor(), 0);
    EXPECT_EQ(timeline.step(13.0801f, music).white, 0.75f);
    EXPECT_EQ(timeline.flashCursor(), 1);

    // A jump far ahead releases the overdue flashes one per frame.
    const float expected[] = {1.0f, 0.5f, 0.8f, 0.5f, 0.7f};
    for (float level : expected) EXPECT_EQ(timeline.step(140.0f, music).white, level);
    EXPECT_EQ(timeline.flashCursor(), 6);
    EXPECT_EQ(timeline.step(141.0f, music).white, 0.7f); // nothing left to fire
}

TEST(TimelineFlash, WhiteDecaysWithTheTimeSinceThePreviousFrameEnd) {
    Timeline timeline;
    ConstantSpectrum music(0.0f);
    timeline.setLastTime(26.3f);
    timeline.step(26.4f, music); // the first flash, 0.75
    timeline.step(26.4f, music); // the full flash
    ASSERT_EQ(timeline.whiteLevel(), 1.0f);
    timeline.decayWhite(26.55f); // a quarter of a second since the last frame's end
    EXPECT_FLOAT_EQ(timeline.whiteLevel(), 0.75f);
    timeline.setLastTime(26.55f);
    timeline.decayWhite(27.549f); // almost a whole second: below 0.001 becomes 0
    EXPECT_EQ(timeline.whiteLevel(), 0.0f);

    Timeline slow;
    slow.setLastTime(39.0f);
    slow.step(39.5f, music);
    slow.step(39.5f, music);
    slow.step(39.5f, music); // third flash, 0.5
    ASSERT_EQ(slow.whiteLevel(), 0.5f);
    slow.decayWhite(40.5f); // a frame of a second or more zeroes it (never negative)
    EXPECT_EQ(slow.whiteLevel(), 0.0f);

    // The clock's reading is used as it is: narrowed to a float, 26.55 would
    // leave exactly 0.75.
    Timeline exact;
    exact.setLastTime(26.3f);
    exact.step(26.4f, music);
    exact.step(26.4f, music);
    exact.decayWhite(26.55);
    EXPECT_EQ(exact.whiteLevel(), float(double(26.3f + 1.0f) - 26.55));
    EXPECT_NE(exact.whiteLevel(), 0.75f);
}

TEST(TimelineLyrics, ImagesFollowTheTableAndLagOneStepAFrame) {
    Timeline timeline;
    ConstantSpectrum music(0.0f);
    EXPECT_EQ(timeline.step(79.61f, music).lyricsImage, 0);
    EXPECT_EQ(timeline.step(79.62f, music).lyricsImage, 1); // at or after its time

    // At three frames a second the four quick changes arrive late, one a frame.
    Timeline slow;
    const float times[] = {79.7f, 80.033f, 80.366f, 80.7f, 81.033f};
    const int images[] = {1, 2, 3, 4, 4};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(slow.step(times[i], music).lyricsImage, images[i]) << i;

    // Past the last entry's time the cursor reaches 19 and image 0 shows.
    Timeline late;
    std::vector<int> shown;
    for (int i = 0; i < 21; ++i) shown.push_back(late.step(200.0f, music).lyricsImage);
    for (int i = 0; i < 17; ++i) EXPECT_EQ(shown[size_t(i)], i + 1);
    EXPECT_EQ(shown[17], 0); // cursor 18
    EXPECT_EQ(shown[18], 0); // cursor 19
    EXPECT_EQ(late.lyricCursor(), 19);
    EXPECT_EQ(shown[20], 0);
}

TEST(TimelineEnd, EscapeOrPassingTheLimitEndsAfterTheFrame) {
    Timeline timeline;
    timeline.endFrame(165.0f, false);
    EXPECT_FALSE(timeline.quitRequested());
    timeline.endFrame(std::nextafter(165.0f, 200.0f), false);
    EXPECT_TRUE(timeline.quitRequested());

    Timeline escaped;
    escaped.endFrame(3.0f, true);
    EXPECT_TRUE(escaped.quitRequested());
    escaped.endFrame(4.0f, false); // nothing clears it
    EXPECT_TRUE(escaped.quitRequested());
}

namespace {

// Drives the intro at a fixed frame duration; returns every frame drawn.
std::vector<Intro::Frame> playIntro(double frameSeconds, int maxFrames = 100000) {
    Intro intro;
    std::vector<Intro::Frame> frames;
    double clock = 0.0;
    while (!intro.done() && int(frames.size()) < maxFrames) {
        clock += frameSeconds;
        frames.push_back(intro.beginFrame(clock, clock));
        intro.endFrame();
    }
    return frames;
}

} // namespace

TEST(IntroSteps, WalkUsAndLogoTake52StepsInOrder) {
    std::vector<Intro::Frame> frames = playIntro(1.0 / 60.0);
    // The first frame shows walk frame 2 left of the screen.
    EXPECT_EQ(frames.front().phase, Intro::Phase::Walk);
    EXPECT_EQ(frames.front().walkFrame, 2);
    EXPECT_EQ(frames.front().x, -1040.0f);

    std::vector<int> walkFrames;
    int steps = 0, walkSteps = 0, usSteps = 0, logoSteps = 0;
    for (const Intro::Frame& f : frames) {
        if (!f.stepped) continue;
        ++steps;
        if (f.phase == Intro::Phase::Walk) { ++walkSteps; walkFrames.push_back(f.walkFrame); }
        if (f.phase == Intro::Phase::Us) ++usSteps;
        if (f.phase == Intro::Phase::Logo) ++logoSteps;
    }
    EXPECT_EQ(steps, 52);
    EXPECT_EQ(walkSteps, 38);
    EXPECT_EQ(usSteps, 7);
    EXPECT_EQ(logoSteps, 7);
    ASSERT_EQ(walkFrames.size(), 38u);
    for (size_t i = 0; i < walkFrames.size(); ++i) EXPECT_EQ(walkFrames[i], int((3 + i) % 8));
    EXPECT_EQ(walkFrames.back(), 0);

    // The figure stops 14 units left of the centre, on walk frame 0, and the
    // us and logo sequences show frames 0 to 6 in turn, ending on 6.
    const Intro::Frame& last = frames.back();
    EXPECT_EQ(last.phase, Intro::Phase::Logo);
    EXPECT_EQ(last.x, -14.0f);
    EXPECT_EQ(last.walkFrame, 0);
    EXPECT_EQ(last.usFrame, 6);
    EXPECT_EQ(last.logoFrame, 6);

    // The frame whose step ends the walk is still a walk frame; the next is
    // the first of the us sequence, on us frame 0.
    size_t firstUs = 0;
    while (frames[firstUs].phase == Intro::Phase::Walk) ++firstUs;
    EXPECT_TRUE(frames[firstUs - 1].stepped);
    EXPECT_EQ(frames[firstUs - 1].x, -14.0f);
    EXPECT_EQ(frames[firstUs].usFrame, 0);
    // More than 5.2 s pass at 60 frames a second.
    EXPECT_GT(frames.size() / 60.0, 5.2);
}

TEST(IntroSteps, StepNeedsStrictlyMoreThanATenthAndDropsTheRemainder) {
    Intro intro;
    // 0.1 s exactly is not enough for a step.
    Intro::Frame f = intro.beginFrame(0.1, 0.1);
    intro.endFrame();
    EXPECT_FALSE(f.stepped);
    f = intro.beginFrame(0.2, 0.2);
    intro.endFrame();
    EXPECT_TRUE(f.stepped);
    EXPECT_EQ(f.x, -1013.0f);

    // Slow frames: a frame of a whole second still carries one step only.
    std::vector<Intro::Frame> slow = playIntro(1.0);
    EXPECT_EQ(slow.size(), 52u); // one frame per step, the ending steps included
    for (const Intro::Frame& frame : slow) EXPECT_TRUE(frame.stepped);
}
