#include "commandline.h"

#include <cctype>
#include <cstdlib>

#ifndef TIDEWANE_VERSION
#define TIDEWANE_VERSION "unknown"
#endif

namespace {

// Largest side of a window or display mode accepted on the command line.
const int kMaxSide = 16384;

bool parseSide(const std::string& text, int32_t& value) {
    if (text.empty() || text.size() > 5) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    const long v = std::strtol(text.c_str(), nullptr, 10);
    if (v < 1 || v > kMaxSide) return false;
    value = int32_t(v);
    return true;
}

} // namespace

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
            const size_t x = v.find('x');
            int32_t w = 0, h = 0;
            if (x == std::string::npos || !parseSide(v.substr(0, x), w) ||
                !parseSide(v.substr(x + 1), h))
                return fail("--size wants WIDTHxHEIGHT, each 1 to " + std::to_string(kMaxSide) +
                            " (got '" + v + "')");
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
