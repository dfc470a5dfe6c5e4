#pragma once
// The launcher's dialog window, built with GTK 3. It only shows a
// `LauncherState` and passes the user's actions to it; the rules of the
// launcher are in launcher.h.

class LauncherState;

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
