#pragma once
// The launcher's dialog window, built with GTK 3. It only shows a
// `LauncherState` and passes the user's actions to it; the rules of the
// launcher are in launcher.h.

#include "launcher.h"

#include <vector>

// Caption of the dialog window.
extern const char* const kLauncherTitle;

// Starts the toolkit (once per process; later calls give the first answer).
// False when it cannot start, for example when no display is available.
// The process locale is left as it is.
bool startDialogToolkit();

// Shows the dialog modally, centred on the screen, and returns when the user
// closes it: 1 after "Run" (or Enter), 0 after "Cancel", Escape or the
// window's close box. The item the user selects and the state of the
// full-screen box go into `state` as they change; the window is gone from
// the screen when this returns. Returns -1, showing nothing, when the
// toolkit has not been started.
int runLauncherDialog(LauncherState& state);

// The primary monitor's modes in the order the windowing library gives them;
// empty when it cannot start. Starts and stops the windowing library itself.
std::vector<DisplayMode> primaryDisplayModes();

// Shows the launcher and edits `settings` in place. Returns 1 when the user
// confirmed, 0 when the user cancelled, -1 when no dialog could be shown
// (then `settings` is untouched).
int runLauncher(LaunchSettings* settings);
