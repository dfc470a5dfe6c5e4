#pragma once
// The demo driver: opens the window, loads the production, plays the intro
// and the timeline, and tears everything down again.

// Runs the whole show once at the given size.
void runDemo(int width, int height, bool fullscreen);

// The entry point's logic: launcher, then the show. Returns the process exit
// status: 1 after a cancelled launcher or when no window could be opened,
// 0 after a run of the show.
int runProgram();
