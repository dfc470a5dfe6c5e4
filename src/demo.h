#pragma once

#include "show.h"

#include <memory>
#include <string>
#include <vector>
// The demo driver: opens the window, loads the production, plays the intro
// and the timeline, and tears everything down again.

// The music player (a sound device through the audio layer) as the show's
// music.
std::unique_ptr<ShowMusic> openPlayerMusic(const Bx::ArchiveFile& mp3);

// Runs the whole show once at the given size.
void runDemo(int width, int height, bool fullscreen);

// The entry point's logic: the command line (the arguments after the
// program's name), the launcher unless the command line settled the choice,
// then the show. Returns the process exit status: 0 after a run of the show
// or after --help or --version, 1 after a cancelled launcher or when no
// window could be opened, 2 for a bad command line (nothing is opened).
int runProgram(const std::vector<std::string>& args = {});
