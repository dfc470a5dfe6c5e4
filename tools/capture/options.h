#pragma once
// Command line of tidewane-capture. Parsing is kept apart from everything
// that opens windows or files so that the tests drive it directly.

#include <string>
#include <vector>

struct CaptureOptions {
    enum class Output { None, Folder, Video };

    int width = 1920;
    int height = 1080;
    int fps = 60;
    bool hasFrom = false;
    double from = 0.0; // seconds of the show, intro included
    bool hasTo = false;
    double to = 0.0;
    std::string out;
    Output output = Output::None;
    std::string container; // ffmpeg's format name for a video: "mp4" or "matroska"
    std::string archive = "tidewane.velk";
    bool archiveGiven = false; // without --archive the show's own search finds it
    bool bench = false;
    int benchFrames = 20;
    bool help = false;
    bool version = false;
    bool headless = false; // --headless, or --gpu
    int gpu = -1;          // --gpu N; -1: the first device
};

constexpr int kMaxCaptureFps = 1000;

// Parses the arguments after the program name. Returns false with a one-line
// reason in `error` for an unknown option, a missing or malformed value, or a
// combination that cannot work (an odd size for a video, --out with
// --bench, --from not before --to). --help, then --version, win over
// everything else.
// --gpu N asks for a headless context on that device.
bool parseCaptureOptions(const std::vector<std::string>& args, CaptureOptions& options,
                         std::string& error);

// What --out PATH asks for: a path ending in .mp4 or .mkv (any case) is a
// video, anything else a folder of PNG frames.
CaptureOptions::Output outputKind(const std::string& path, std::string* container = nullptr);
