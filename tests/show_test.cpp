// The built program as a viewer runs it: on its own virtual display, the
// launcher confirmed with the keyboard, the production's archive in the
// working folder and SDL's dummy audio output.

#include "support/death.h"
#include "support/display.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sstream>
#include <unistd.h>

namespace {

// The virtual screen offers only this size, which the tests pick in the
// launcher, so that the software renderer keeps up.
const int kScreenWidth = 256;
const int kScreenHeight = 160;

const char* const kLauncherTitle = "Velk demo launcher";
const char* const kShowTitle = "Velk :: Tidewane";

class Show : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(usePrivateDisplay(kScreenWidth, kScreenHeight)) << "cannot start Xvfb";
        m_outputs = std::string(TIDEWANE_BINARY_DIR) + "/tests/show-output";
        writeFile(m_outputs + "/.keep", "");
    }

    // A working folder holding the production's archive.
    void useBuiltArchive() {
        std::string archive = std::string(TIDEWANE_BINARY_DIR) + "/tidewane.velk";
        ASSERT_TRUE(fileExists(archive)) << "the build makes " << archive;
        ASSERT_EQ(symlink(archive.c_str(), (m_folder / "tidewane.velk").c_str()), 0);
    }

    void start(const std::vector<std::string>& command = {builtProgram("tidewane")}) {
        m_process.reset(new Process(command, m_folder.path(), {"SDL_AUDIODRIVER=dummy"}));
        ASSERT_TRUE(m_process->started());
    }

    // Picks the screen's size in the launcher (the third tab stop is the
    // list), checks the full-screen box (the next one) when asked, and
    // confirms with Enter.
    void confirmLauncher(bool fullscreen = false) {
        unsigned long dialog = waitForWindow(kLauncherTitle, 30);
        ASSERT_NE(dialog, 0u) << "no launcher";
        // The toolkit names the window before it maps it; focusing it
        // before then is refused.
        const double end = monotonicSeconds() + slowed(10);
        while (!windowViewable(dialog) && monotonicSeconds() < end) usleep(20000);
        std::string command = "timeout 10 xdotool windowfocus --sync " + std::to_string(dialog) +
                              " && xdotool key --delay 60 Tab Tab Down " +
                              (fullscreen ? "Tab space Tab " : "") + "Return";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    // Starts the show with the production's archive, confirms the launcher
    // and waits for the show's window.
    unsigned long startShow() {
        useBuiltArchive();
        start();
        confirmLauncher();
        return waitForShowWindow();
    }

    unsigned long waitForShowWindow() {
        unsigned long window = waitForWindow(kShowTitle, 30);
        EXPECT_NE(window, 0u) << "the show's window did not open";
        return window;
    }

    void saveScreen(const std::string& name) {
        writePng(m_outputs + "/" + name + ".png", grabScreen());
    }

    // Standard output holds nothing but the three log lines of each program.
    void expectOnlyShaderLogs(const std::string& out) {
        std::istringstream lines(out);
        std::string line;
        int count = 0;
        while (std::getline(lines, line)) {
            ++count;
            const bool log = line.rfind("Vtx Shader info log: ", 0) == 0 ||
                             line.rfind("Frag Shader info log: ", 0) == 0 ||
                             line.rfind("Program info log: ", 0) == 0;
            EXPECT_TRUE(log) << line;
        }
        EXPECT_EQ(count, 18);
    }

    TempDir m_folder;
    std::unique_ptr<Process> m_process;
    std::string m_outputs;
};

double whiteShare(const Image& image) {
    return double(image.count(Rgba{255, 255, 255, 255}, 8)) / double(image.width * image.height);
}

// Waits for the intro's white screen (after the preload picture, while the
// first images load); false when it does not come within slowed(`seconds`).
bool waitForIntro(double seconds) {
    const double end = monotonicSeconds() + slowed(seconds);
    while (monotonicSeconds() < end) {
        if (whiteShare(grabScreen()) > 0.5) return true;
        usleep(10000);
    }
    return false;
}

} // namespace

TEST_F(Show, EscapeDuringTheIntroLetsItFinishThenSkipsTheTimeline) {
    unsigned long window = startShow();
    ASSERT_NE(window, 0u);
    const double opened = monotonicSeconds();
    ASSERT_TRUE(waitForIntro(20)) << "the intro plays on white\n" << m_process->report();
    usleep(500000);
    ASSERT_TRUE(pressKey(window, "Escape"));
    ASSERT_TRUE(m_process->waitFor(60)) << "the show went on after the intro";
    // 52 steps of more than a tenth of a second each.
    EXPECT_GT(monotonicSeconds() - opened, 5.2);
    EXPECT_EQ(m_process->exitStatus(), 0) << m_process->err();
    expectOnlyShaderLogs(m_process->out());
}

TEST_F(Show, EscapeDuringTheIntroDrawsNoTimelineFrame) {
    unsigned long window = startShow();
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(waitForIntro(20)) << m_process->report();
    ASSERT_TRUE(pressKey(window, "Escape"));
    // The intro's white stays on screen as long as the window is there: no
    // timeline frame (all of them dark) is ever shown.
    int dark = 0;
    while (m_process->running()) {
        const bool white = whiteShare(grabScreen()) > 0.5;
        if (!white && windowExists(window)) ++dark;
        usleep(5000);
    }
    EXPECT_EQ(dark, 0);
    EXPECT_EQ(m_process->exitStatus(), 0) << m_process->err();
}

TEST_F(Show, EscapeDuringTheTimelineShowsTheFrameThenEndsNormally) {
    unsigned long window = startShow();
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(waitForIntro(20)) << m_process->report();
    // Past the intro and the second batch, into the first scene.
    const double end = monotonicSeconds() + slowed(30);
    while (whiteShare(grabScreen()) > 0.5 && monotonicSeconds() < end) usleep(50000);
    usleep(1500000);
    ASSERT_TRUE(m_process->running());
    ASSERT_TRUE(pressKey(window, "Escape"));
    ASSERT_TRUE(m_process->waitFor(20));
    EXPECT_EQ(m_process->exitStatus(), 0) << m_process->err();
    // The normal teardown: nothing but the programs' logs, no assertion.
    expectOnlyShaderLogs(m_process->out());
}

TEST_F(Show, FullScreenChosenInTheDialogOpensAFullScreenWindow) {
    useBuiltArchive();
    start();
    confirmLauncher(true);
    unsigned long window = waitForShowWindow();
    ASSERT_NE(window, 0u);
    // The windowing library makes the window full screen just after it
    // appears under its title.
    const double end = monotonicSeconds() + slowed(10);
    while (!bypassesWindowManager(window) && monotonicSeconds() < end) usleep(20000);
    EXPECT_TRUE(bypassesWindowManager(window)) << "the show's window is not full screen";
    m_process->kill();
    // The server takes the ended program's window away when it sees the
    // connection close: the next window of that title must be the new one.
    const double gone = monotonicSeconds() + slowed(10);
    while (windowExists(window) && monotonicSeconds() < gone) usleep(20000);

    // And left clear, a window like any other.
    start();
    confirmLauncher(false);
    window = waitForShowWindow();
    ASSERT_NE(window, 0u);
    EXPECT_FALSE(bypassesWindowManager(window));
    m_process->kill();
}

TEST_F(Show, ClosingTheWindowEndsTheShowAtOnce) {
    unsigned long window = startShow();
    ASSERT_NE(window, 0u);
    // Well into the timeline: past the intro and the second loading.
    usleep(useconds_t(slowed(12) * 1e6));
    ASSERT_TRUE(m_process->running());
    saveScreen("before-close");
    ASSERT_TRUE(requestClose(window));
    const double asked = monotonicSeconds();
    ASSERT_TRUE(m_process->waitFor(20)) << m_process->report();
    EXPECT_LT(monotonicSeconds() - asked, slowed(5.0));
    EXPECT_EQ(m_process->exitStatus(), 0) << m_process->err();
    expectOnlyShaderLogs(m_process->out());
}

TEST_F(Show, ClosingTheWindowDuringTheIntroEndsItToo) {
    unsigned long window = startShow();
    ASSERT_NE(window, 0u);
    usleep(1000000);
    ASSERT_TRUE(requestClose(window));
    const double asked = monotonicSeconds();
    ASSERT_TRUE(m_process->waitFor(20)) << m_process->report();
    EXPECT_LT(monotonicSeconds() - asked, slowed(4.0)) << "the intro was not cut short";
    EXPECT_EQ(m_process->exitStatus(), 0) << m_process->err();
}

// The whole show, about three minutes: it ends by itself after 165 s of
// playback. Screenshots at known moments go to the test output folder.
TEST_F(Show, PlaysToTheTimeLimitAndEndsByItself) {
    unsigned long window = startShow();
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(waitForIntro(20)) << "the intro plays on white\n" << m_process->report();
    const double opened = monotonicSeconds();
    // The intro takes about 6 s and the second batch about a second, so
    // playback time is roughly the time since the intro began minus 7 s.
    struct Moment { double at; const char* name; };
    const Moment moments[] = {{1.0, "intro"},          {16.5, "cloud"},
                              {44.0, "lattice"},       {64.0, "credits-scene"},
                              {79.0, "credits"},       {98.0, "column-lyrics"},
                              {126.0, "noisy-lyrics"}, {152.0, "cloud-again"}};
    for (const Moment& m : moments) {
        double wait = opened + m.at - monotonicSeconds();
        if (wait > 0) usleep(useconds_t(wait * 1e6));
        ASSERT_TRUE(m_process->running()) << "ended early at " << m.name;
        Image screen = grabScreen();
        writePng(m_outputs + "/" + m.name + ".png", screen);
        if (std::string(m.name) == "intro") EXPECT_GT(whiteShare(screen), 0.5);
        else EXPECT_LT(whiteShare(screen), 0.5) << m.name;
    }
    ASSERT_TRUE(m_process->waitFor(60)) << "the show did not end after 165 s";
    EXPECT_GT(monotonicSeconds() - opened, 165.0);
    EXPECT_EQ(m_process->exitStatus(), 0) << m_process->err();
    expectOnlyShaderLogs(m_process->out());
}

TEST_F(Show, MissingArchiveStopsWithTheAssertionBlock) {
    // A copy of the program where no archive lies beside it either.
    TempDir bin;
    const std::string program = bin / "tidewane";
    ASSERT_EQ(runCommand("cp '" + builtProgram("tidewane") + "' '" + program + "'").exitStatus, 0);
    start({program});
    confirmLauncher();
    ASSERT_TRUE(m_process->waitFor(30));
    EXPECT_EQ(m_process->exitStatus(), 128 + SIGABRT);
    const char* source = "src/bx/archive.cpp";
    EXPECT_EQ(m_process->out(), assertionBlock("0", source,
                                               sourceLineOf(source, "\"Cannot open archive \\\"\""),
                                               "Cannot open archive \"tidewane.velk\""));
}

TEST_F(Show, MissingImageStopsWhenItsBatchLoads) {
    // The production's archive without "lyrics/05.png" and "lyrics/12.png",
    // repacked: the first missing name in load order is the one reported,
    // though the batch's images are decoded in parallel.
    TempDir unpacked;
    std::string velkpack = builtProgram("velkpack");
    std::string archive = std::string(TIDEWANE_BINARY_DIR) + "/tidewane.velk";
    CommandResult r = runCommand("'" + velkpack + "' extract '" + archive + "' '" +
                                 unpacked.path() + "' && cd '" + unpacked.path() +
                                 "' && '" + velkpack + "' list '" + archive + "' | cut -f1 | "
                                 "grep -vx -e 'lyrics/05.png' -e 'lyrics/12.png' > names && "
                                 "{ wc -l < names; cat names; } > list && '" + velkpack +
                                 "' pack list '" + (m_folder / "tidewane.velk") + "'");
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    start();
    confirmLauncher();
    // The second batch is decoded during the intro, but a missing image still
    // stops the show only when the intro has played (52 steps of more than a
    // tenth of a second).
    ASSERT_TRUE(waitForIntro(20)) << m_process->out();
    const double introSeen = monotonicSeconds();
    ASSERT_TRUE(m_process->waitFor(60));
    EXPECT_GT(monotonicSeconds() - introSeen, 4.0);
    EXPECT_EQ(m_process->exitStatus(), 128 + SIGABRT);
    std::string out = m_process->out();
    EXPECT_NE(out.find("\n   * message: Cannot find specified file lyrics/05.png\n"),
              std::string::npos) << out;
    EXPECT_EQ(out.find("lyrics/12.png"), std::string::npos) << out;
}

TEST_F(Show, StartedWithASizeItSkipsTheDialogAndFindsTheArchiveBesideIt) {
    // The working folder has no archive; the built one lies beside the program.
    start({builtProgram("tidewane"), "--windowed", "--size",
           std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight)});
    EXPECT_NE(waitForShowWindow(), 0u);
    EXPECT_EQ(waitForWindow(kLauncherTitle, 0), 0u) << "the dialog opened";
    EXPECT_TRUE(waitForIntro(30)) << "the intro did not come";
    m_process->kill();
}

TEST_F(Show, LoosePreloadPictureIsTheOneShown) {
    useBuiltArchive();
    Image magenta(16, 9, Rgba{255, 0, 255, 255});
    ASSERT_TRUE(writePng(m_folder / "preload.png", magenta, PngKind::Rgb));
    start();
    confirmLauncher();
    // The preload picture stays up while the intro's images load; watch for
    // it until the intro's white appears.
    bool seen = false;
    const double end = monotonicSeconds() + slowed(30);
    while (!seen && monotonicSeconds() < end) {
        Image screen = grabScreen();
        const int pixels = screen.width * screen.height;
        if (screen.count(Rgba{255, 0, 255, 255}, 8) > pixels / 2) seen = true;
        else if (whiteShare(screen) > 0.5) break;
        usleep(5000);
    }
    EXPECT_TRUE(seen) << "the loose preload.png was not shown";
    m_process->kill();
}

TEST_F(Show, DamagedLoosePicturesAreNamedAndTheShowGoesOn) {
    useBuiltArchive();
    std::string png = encodePng(Image(16, 9, Rgba{255, 0, 255, 255}), PngKind::Rgb);
    writeFile(m_folder / "preload.png", png.substr(0, png.size() / 2));
    writeFile(m_folder / "us/03.png", png.substr(0, png.size() - 1));
    start({builtProgram("tidewane"), "--windowed", "--size",
           std::to_string(kScreenWidth) + "x" + std::to_string(kScreenHeight)});
    unsigned long window = waitForShowWindow();
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(waitForIntro(30)) << "the intro did not come";
    ASSERT_TRUE(requestClose(window));
    ASSERT_TRUE(m_process->waitFor(20));
    EXPECT_EQ(m_process->exitStatus(), 0) << m_process->err();
    // One line for each, naming it, and nothing else.
    EXPECT_EQ(m_process->err(),
              "image: preload.png: damaged PNG: file ends early; shown without it\n"
              "image: us/03.png: damaged PNG: file ends early; shown without it\n");
}
