#include "demo.h"

#include "bx/music.h"
#include "commandline.h"
#include "core.h"
#include "dialog.h"
#include "gl/context.h"
#include "locate.h"

#include <GLFW/glfw3.h>

#include <iostream>

namespace {

// The music player as the show's music.
class PlayerMusic : public ShowMusic {
public:
    explicit PlayerMusic(const Bx::ArchiveFile& mp3) : m_player(mp3) {}
    void play() override { m_player.play(); }
    const float* update() override { return m_player.update(); }

private:
    Bx::Music m_player;
};

// The live window as the core's host: the window library's clock, the
// music player, Escape, and the swap.
class WindowHost : public ShowHost {
public:
    WindowHost(Context& context, Production& show) : m_context(context), m_show(show) {}
    double clock() override { return glfwGetTime(); }
    void restartClock() override { glfwSetTime(0.0); }
    void startMusic() override { m_show.music()->play(); }
    SpectrumSource& spectrum() override { return *m_show.music(); }
    bool quitPressed() override {
        return glfwGetKey(m_context.window(), GLFW_KEY_ESCAPE) == GLFW_PRESS;
    }
    bool present() override {
        m_context.swapBuffers();
        return !m_context.closeRequested();
    }

private:
    Context& m_context;
    Production& m_show;
};

} // namespace

std::unique_ptr<ShowMusic> openPlayerMusic(const Bx::ArchiveFile& mp3) {
    return std::unique_ptr<ShowMusic>(new PlayerMusic(mp3));
}

void runDemo(int width, int height, bool fullscreen) {
    // Objects scoped to the run are declared so that they are destroyed in
    // the teardown order: the production (post pass, music, archive with the
    // rest it made), then the context.
    // The archive and the first pictures are read and decoded while the
    // window and its context are made.
    const std::string archive = locateArchive();
    Prefetch prefetch(archive);
    Context context(width, height, fullscreen);
    // A press of Escape is remembered until it is read, so a quick tap is not
    // lost between two slow frames.
    glfwSetInputMode(context.window(), GLFW_STICKY_KEYS, GLFW_TRUE);
    Production show(
        archive, width, height, openPlayerMusic, [&] { context.swapBuffers(); }, {}, &prefetch);

    // A window closed by the user ends the show at once.
    if (context.closeRequested()) return;
    WindowHost host(context, show);
    ShowCore core(host, &show);
    // The window's framebuffer, drawn at the viewport the context was made
    // with.
    const DrawTarget window;
    while (core.playFrame(&window)) {
    }
}

int runProgram(const std::vector<std::string>& args) {
    const CommandLine line = parseCommandLine(args);
    switch (line.action) {
    case CommandLine::Action::Help:
        std::cout << commandLineUsage();
        return 0;
    case CommandLine::Action::Version:
        std::cout << versionText() << std::endl;
        return 0;
    case CommandLine::Action::Error:
        std::cerr << "tidewane: " << line.error << "\n\n" << commandLineUsage();
        return 2;
    case CommandLine::Action::Dialog:
    case CommandLine::Action::Direct:
        break;
    }
    LaunchSettings settings = line.settings;
    if (line.action == CommandLine::Action::Dialog && runLauncher(&settings) == 0) return 1;
    try {
        runDemo(settings.width, settings.height, settings.windowed == 0);
    } catch (const ContextError& e) {
        std::cerr << "tidewane: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
