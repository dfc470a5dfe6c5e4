#include "demo.h"

#include "bx/archive.h"
#include "gl/context.h"
#include "launcher.h"

#include <iostream>

void runDemo(int width, int height, bool fullscreen) {
    // Objects scoped to the run, declared so that they are destroyed in
    // the teardown order: post pass, music, archive, context.
    Context context(width, height, fullscreen);
    Bx::Archive archive("tidewane.velk");

    bool quitRequested = false;
    (void)quitRequested;
}

int runProgram() {
    LaunchSettings settings = defaultLaunchSettings();
    if (runLauncher(&settings) == 0) return 1;
    try {
        runDemo(settings.width, settings.height, settings.windowed == 0);
    } catch (const ContextError& e) {
        std::cerr << "tidewane: " << e.what() << std::endl;
        return 1;
    }
    return 0;
}
