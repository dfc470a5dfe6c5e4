#include "commandline.h"

#include "size.h"

#ifndef TIDEWANE_VERSION
#define TIDEWANE_VERSION "unknown"
#endif

CommandLine parseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    auto fail = [&](const std::string& why) {
        line.action = CommandLine::Action::Error;
        line.error = why;
        return line;
    };
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") {
            line.action = CommandLine::Action::Help;
            return line;
        }
    for (const std::string& a : args)
        if (a == "--version") {
            line.action = CommandLine::Action::Version;
            return line;
        }
    bool fullscreen = false, windowed = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--fullscreen") {
            fullscreen = true;
            line.settings.windowed = 0;
        } else if (a == "--windowed") {
            windowed = true;
            line.settings.windowed = 1;
        } else if (a == "--size") {
            if (i + 1 >= args.size()) return fail("--size needs a value, WIDTHxHEIGHT");
            const std::string& v = args[++i];
            int w = 0, h = 0;
            if (!parseSize(v, w, h)) return fail(sizeError("--size", v));
            line.settings.width = w;
            line.settings.height = h;
        } else {
            return fail("unknown option '" + a + "'");
        }
        line.action = CommandLine::Action::Direct;
    }
    if (fullscreen && windowed) return fail("--fullscreen and --windowed cannot both be given");
    return line;
}

std::string commandLineUsage() {
    return "usage: tidewane [--fullscreen | --windowed] [--size WxH]\n"
           "       tidewane --help | --version\n"
           "\n"
           "Plays the Tidewane demo. Without options a dialog asks for the resolution and\n"
           "full screen first. With any of these the show starts at once:\n"
           "\n"
           "  --fullscreen   full screen (at --size, default 640x400)\n"
           "  --windowed     in a window (the default)\n"
           "  --size WxH     window or screen size in pixels, e.g. 1920x1080\n"
           "\n"
           "Escape ends the show. The data archive tidewane.velk is read from the working\n"
           "folder, else from beside the program, else from the installed data folder.\n";
}

std::string versionText(const char* program) {
    return std::string(program) + " " + TIDEWANE_VERSION + "\n" + kLicenceLine;
}
