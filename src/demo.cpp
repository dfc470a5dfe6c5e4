#include "demo.h"

#include "commandline.h"
#include "bx/archive.h"
#include "bx/music.h"
#include "gl/context.h"
#include "gl/framebuffer.h"
#include "gl/shader.h"
#include "gl/texture.h"
#include "dialog.h"
#include "locate.h"
#include "show.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <iostream>

namespace {

bool escapePressed(Context& context) {
    return glfwGetKey(context.window(), GLFW_KEY_ESCAPE) == GLFW_PRESS;
}

// Plays the silent intro to its end. Escape is remembered but does not
// shorten it; a closed window ends it at once (returns false).
bool playIntro(Context& context, const IntroImages& images, bool& quitRequested) {
    setIntroState();
    glfwSetTime(0.0);
    Intro intro;
    while (!intro.done()) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        const double clock = glfwGetTime();
        const double reading = glfwGetTime();
        drawIntroFrame(images, intro.beginFrame(clock, reading));
        if (escapePressed(context)) quitRequested = true;
        context.swapBuffers();
        if (context.closeRequested()) return false;
        intro.endFrame();
    }
    return true;
}

// The frame loop: runs until Escape, the time limit, or a closed window.
void playTimeline(Context& context, Programs& programs, FrameBuffer& frameBuffer,
                  TimelineImages& images, Bx::Music& music) {
    MusicSpectrum spectrum(music);
    Timeline timeline;
    for (;;) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        const float t = float(glfwGetTime());
        const TimelineFrame frame = timeline.step(t, spectrum);
        drawTimelineFrame(frame, programs, frameBuffer, images);
        timeline.endFrame(t, escapePressed(context));
        context.swapBuffers();
        if (context.closeRequested()) return;
        timeline.decayWhite(glfwGetTime());
        const float reading = float(glfwGetTime());
        if (timeline.quitRequested()) return;
        timeline.setLastTime(reading);
    }
}

} // namespace

void runDemo(int width, int height, bool fullscreen) {
    // Objects scoped to the run are declared so that they are destroyed in
    // the teardown order: the production (post pass, music, archive with the
    // rest it made), then the context.
    Context context(width, height, fullscreen);
    // A press of Escape is remembered until it is read, so a quick tap is not
    // lost between two slow frames.
    glfwSetInputMode(context.window(), GLFW_STICKY_KEYS, GLFW_TRUE);
    Production show(locateArchive(), true, [&] { context.swapBuffers(); });

    // A window closed by the user ends the show at once.
    bool quitRequested = false;
    if (context.closeRequested() || !playIntro(context, show.intro(), quitRequested)) return;

    // The intro's last frame stays on screen while the rest loads.
    show.loadTimeline(width, height);

    Bx::Music& music = *show.music();
    glfwSetTime(0.0);
    music.play();
    if (!quitRequested)
        playTimeline(context, show.programs(), show.frameBuffer(), show.images(), music);
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
