#pragma once
// The launcher's record and the launcher itself: the user picks a display
// resolution and window or full screen before anything else happens.

#include <cstdint>

struct LaunchSettings {
    int32_t width;
    int32_t height;
    int32_t bitsPerPixel;
    int32_t windowed;
    int32_t optionA;
    int32_t optionB;
    int32_t windowedOption;
    void* instance;
};

// The record as the entry point fills it before the launcher sees it.
LaunchSettings defaultLaunchSettings();

// Shows the launcher and edits `settings` in place. Returns 1 when the user
// confirmed, 0 when the user cancelled, -1 when no dialog could be shown.
int runLauncher(LaunchSettings* settings);
