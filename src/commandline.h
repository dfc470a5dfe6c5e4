#pragma once
// The show's command line. Without arguments the launcher dialog opens as
// always; --fullscreen, --windowed and --size WxH start the show at once
// with those settings (the others from the defaults), for machines where
// nobody is there to click. Parsing opens nothing, so tests drive it
// directly.

#include "launcher.h"

#include <string>
#include <vector>

struct CommandLine {
    enum class Action {
        Dialog,  // no arguments: the launcher decides
        Direct,  // start the show with `settings`
        Help,    // print the usage and stop
        Version, // print the version and stop
        Error,   // `error` says what is wrong
    };
    Action action = Action::Dialog;
    LaunchSettings settings = defaultLaunchSettings();
    std::string error;
};

// The arguments after the program name.
CommandLine parseCommandLine(const std::vector<std::string>& args);

// The usage text, ending with a newline.
std::string commandLineUsage();

// The second line of every program's --version answer.
inline constexpr char kLicenceLine[] = "Copyright 2026 Velk. Released under the MIT licence.";

// The answer to --version of the production's programs, without a final
// newline: "PROGRAM VERSION" (the show's reads "tidewane 1.0.0"), then
// kLicenceLine.
std::string versionText(const char* program = "tidewane");
