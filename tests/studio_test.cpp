// tidewane-studio: its stepped state, its keys, its shader rebuilds, and the
// program itself saving the frame the capture tool makes.

#include "support/display.h"
#include "support/files.h"
#include "support/gl.h"

#include "controls.h"
#include "gl/shader.h"
#include "reload.h"
#include "show.h"
#include "stepper.h"

#include "bx/archive.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

namespace {

const Audio::DecodedAudio& music() {
    static const Audio::DecodedAudio decoded = [] {
        Bx::Archive archive(TIDEWANE_BINARY_DIR "/tidewane.velk");
        Bx::ArchiveFile* f = archive.getFile("music.mp3");
        return Audio::decodeMp3(f->data, f->size);
    }();
    return decoded;
}

// Everything of the state that carries from frame to frame.
void expectSameState(const ShowSequence& a, const ShowSequence& b) {
    EXPECT_EQ(a.position(), b.position());
    EXPECT_EQ(a.timeline().warp(), b.timeline().warp());
    EXPECT_EQ(a.timeline().whiteLevel(), b.timeline().whiteLevel());
    EXPECT_EQ(a.timeline().flashCursor(), b.timeline().flashCursor());
    EXPECT_EQ(a.timeline().lyricCursor(), b.timeline().lyricCursor());
    for (int age = 0; age < 5; ++age)
        for (int band = 0; band < Bx::SpectrumSmoother::kBands; ++band)
            ASSERT_EQ(a.spectrum().smoother().history(age)[band],
                      b.spectrum().smoother().history(age)[band])
                << "age " << age << " band " << band;
}

} // namespace

TEST(StudioStepping, TheStateAtATimeIsTheCapturesAndJumpsLandThereToo) {
    ASSERT_TRUE(music().ok()) << music().error;
    const int rate = 30;
    // The capture tool's walk to playback 53.5 s (just past the fourth
    // flash, while it decays) at the same rate.
    ShowLayout layout(rate);
    ShowSequence capture(layout, music());
    capture.skipTo(layout.introFrames() + 53 * rate + rate / 2);
    const ShowSequence::Frame expected = capture.next();

    ShowStepper straight(rate, music());
    const ShowSequence::Frame& f = straight.frameAt(53.5);
    EXPECT_EQ(f.index, expected.index);
    EXPECT_EQ(f.timelineFrame.time, expected.timelineFrame.time);
    EXPECT_EQ(f.timelineFrame.white, expected.timelineFrame.white);
    EXPECT_GT(f.timelineFrame.white, 0.0f);
    EXPECT_EQ(f.timelineFrame.lowFreq, expected.timelineFrame.lowFreq);
    expectSameState(straight.sequence(), capture);

    // Forward past it, back before it, and to it again.
    ShowStepper jumping(rate, music());
    jumping.frameAt(60.0);
    jumping.frameAt(10.25);
    EXPECT_EQ(jumping.sequence().timeline().flashCursor(), 0);
    const ShowSequence::Frame& again = jumping.frameAt(53.5);
    EXPECT_EQ(again.timelineFrame.bass, expected.timelineFrame.bass);
    expectSameState(jumping.sequence(), capture);
}

TEST(StudioKeys, PauseJumpsAndTheLoop) {
    StudioControls c(5.0, 165.0, false);
    c.advance(0.5);
    EXPECT_DOUBLE_EQ(c.time(), 5.5);
    EXPECT_FALSE(c.takeJump());
    c.press(StudioKey::Space);
    c.advance(2.0);
    EXPECT_DOUBLE_EQ(c.time(), 5.5); // paused
    c.press(StudioKey::ShiftLeft);
    EXPECT_DOUBLE_EQ(c.time(), 0.0); // not before the start
    EXPECT_TRUE(c.takeJump());
    EXPECT_FALSE(c.takeJump());
    c.press(StudioKey::ShiftRight);
    c.press(StudioKey::Right);
    EXPECT_DOUBLE_EQ(c.time(), 11.0);
    c.press(StudioKey::Home);
    EXPECT_DOUBLE_EQ(c.time(), 0.0);

    // Loop from 2 to 4: playing past 4 comes round to 2.
    c.press(StudioKey::Right);
    c.press(StudioKey::Right);
    c.press(StudioKey::LoopStart);
    c.press(StudioKey::Right);
    c.press(StudioKey::Right);
    c.press(StudioKey::LoopEnd);
    c.press(StudioKey::Home);
    c.press(StudioKey::ToggleLoop); // outside the loop: starts it over
    EXPECT_DOUBLE_EQ(c.time(), 2.0);
    c.takeJump();
    c.press(StudioKey::Space); // play
    c.advance(1.5);
    EXPECT_DOUBLE_EQ(c.time(), 3.5);
    c.advance(0.6);
    EXPECT_DOUBLE_EQ(c.time(), 2.0);
    EXPECT_TRUE(c.takeJump());
    c.press(StudioKey::ToggleLoop);
    c.advance(1.0);
    c.advance(1.0);
    EXPECT_DOUBLE_EQ(c.time(), 4.0); // the loop is off

    // The end of the show pauses there.
    c.press(StudioKey::ShiftRight);
    for (int i = 0; i < 20; ++i) c.advance(10.0);
    EXPECT_DOUBLE_EQ(c.time(), 165.0);
    EXPECT_TRUE(c.paused());

    c.press(StudioKey::Save);
    EXPECT_TRUE(c.takeSave());
    EXPECT_FALSE(c.takeSave());
    c.press(StudioKey::Hud);
    EXPECT_FALSE(c.hud());
    c.press(StudioKey::Escape);
    EXPECT_TRUE(c.quit());
}

class StudioReload : public GlTest {};

TEST_F(StudioReload, ABrokenFileKeepsTheLastGoodProgramUntilItIsFixed) {
    TempDir dir;
    ASSERT_EQ(runCommand("cp -r " + std::string(TIDEWANE_SOURCE_DIR) + "/src/shaders/. " +
                         dir.path()).exitStatus, 0);
    Programs programs;
    ShaderReloader reloader(dir.path(), programs);
    EXPECT_EQ(reloader.errors(), "");
    const unsigned int good = programs.scenes[3]->getProgram();

    // Breaks line 5 of a block that the column's program includes.
    const std::string block = dir / "blocks/twist.glsl";
    const std::string source = readFile(block);
    std::string broken = source;
    broken.insert(broken.find("float s"), "float oops = ;\n    ");
    auto rewrite = [&](const std::string& text, time_t stamp) {
        writeFile(block, text);
        const utimbuf times{stamp, stamp};
        ASSERT_EQ(utime(block.c_str(), &times), 0);
    };
    rewrite(broken, 1000);
    EXPECT_TRUE(reloader.poll());
    const std::string errors = reloader.errors();
    EXPECT_EQ(errors.rfind(block + ":5: ", 0), 0u) << errors;
    EXPECT_NE(errors.find('\n'), errors.size() - 1) << "the lattice includes it too:\n" << errors;
    EXPECT_EQ(programs.scenes[3]->getProgram(), good);
    EXPECT_FALSE(reloader.poll()); // nothing changed since

    rewrite(source, 2000);
    EXPECT_TRUE(reloader.poll());
    EXPECT_EQ(reloader.errors(), "");
    EXPECT_NE(programs.scenes[3]->getProgram(), good);
}

TEST(StudioProgram, SavesTheCapturesFrameAtItsStartingTime) {
    ASSERT_TRUE(usePrivateDisplay(320, 200));
    TempDir dir;
    Process studio({builtProgram("tidewane-studio"), "--at", "120", "--size", "160x90", "--paused"},
                   dir.path(), {"SDL_AUDIODRIVER=dummy"});
    ASSERT_TRUE(studio.started());
    unsigned long window = waitForWindow("Tidewane studio", 60);
    ASSERT_NE(window, 0u) << studio.err();
    // The frame at 120 s at 60 fps is show frame 341 + 7200.
    const std::string saved = dir / "frame-007541.png";
    const double end = monotonicSeconds() + slowed(60);
    while (!fileExists(saved) && monotonicSeconds() < end) {
        ASSERT_TRUE(pressKey(window, "s"));
        usleep(500000);
    }
    ASSERT_TRUE(fileExists(saved)) << studio.err();
    ASSERT_TRUE(pressKey(window, "Escape"));
    ASSERT_TRUE(studio.waitFor(30));
    EXPECT_EQ(studio.exitStatus(), 0) << studio.err();

    CommandResult r = runCommand("DISPLAY= " + builtProgram("tidewane-capture") + " --archive " +
                                 TIDEWANE_BINARY_DIR "/tidewane.velk --size 160x90 --from 125.6833 "
                                 "--to 125.69 --out " + (dir / "capture"));
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    Image studioFrame, captureFrame;
    ASSERT_TRUE(readPng(saved, studioFrame));
    ASSERT_TRUE(readPng(dir / "capture/frame-007541.png", captureFrame));
    EXPECT_TRUE(studioFrame.rgba == captureFrame.rgba);
    EXPECT_EQ(studioFrame.width, 160);
}

TEST(StudioFrameRate, IsFramesOverTheirTimeNotTheMeanOfRates) {
    FrameRate rate;
    EXPECT_EQ(rate.fps(), 0.0);
    // One fast frame among slow ones (120 ms, as the cloud at 320x180 on a
    // software renderer) must not lift the rate: 10 frames in 1.2 s.
    for (int i = 0; i < 9; ++i) rate.add(0.1333);
    rate.add(0.0003);
    EXPECT_NEAR(rate.fps(), 10 / (9 * 0.1333 + 0.0003), 1e-9);
    rate.add(0.0); // a zero interval (two frames on one clock tick) is no frame time
    EXPECT_EQ(rate.frames(), 10.0);
    // Only the last kFrames frames count.
    for (int i = 0; i < FrameRate::kFrames; ++i) rate.add(0.02);
    EXPECT_NEAR(rate.fps(), 50.0, 1e-6);
    EXPECT_EQ(rate.frames(), double(FrameRate::kFrames));
}
