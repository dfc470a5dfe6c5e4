#include "launcher.h"

LaunchSettings defaultLaunchSettings() {
    LaunchSettings s;
    s.width = 640;
    s.height = 400;
    s.bitsPerPixel = 32;
    s.windowed = 1;
    s.optionA = 1;
    s.optionB = 0;
    s.windowedOption = 0;
    s.instance = nullptr;
    return s;
}

// Until the dialog exists, the launcher confirms the defaults.
int runLauncher(LaunchSettings*) {
    return 1;
}
