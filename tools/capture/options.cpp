#include "options.h"

#include "size.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace {

std::string lowerCase(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool endsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() &&
           s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A whole decimal integer in [low, high]; no sign, no spaces, no suffix.
bool parseInt(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    const long v = std::strtol(text.c_str(), nullptr, 10);
    if (v < low || v > high) return false;
    value = int(v);
    return true;
}

// A finite, non-negative number of seconds, e.g. "66", "13.5".
bool parseSeconds(const std::string& text, double& value) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(v) || v < 0.0) return false;
    value = v;
    return true;
}

} // namespace

CaptureOptions::Output outputKind(const std::string& path, std::string* container) {
    const std::string lower = lowerCase(path);
    if (endsWith(lower, ".mp4")) {
        if (container) *container = "mp4";
        return CaptureOptions::Output::Video;
    }
    if (endsWith(lower, ".mkv")) {
        if (container) *container = "matroska";
        return CaptureOptions::Output::Video;
    }
    return CaptureOptions::Output::Folder;
}

bool parseCaptureOptions(const std::vector<std::string>& args, CaptureOptions& o,
                         std::string& error) {
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") o.help = true;
        if (a == "--version") o.version = true;
    }
    // With --help or --version a mistake elsewhere does not matter: the
    // answer is given.
    auto fail = [&](const std::string& why) {
        error = why;
        return o.help || o.version;
    };

    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h" || a == "--version") continue;
        if (a == "--bench" || a == "--headless") {
            (a == "--bench" ? o.bench : o.headless) = true;
            continue;
        }
        const bool takesValue = a == "--size" || a == "--fps" || a == "--from" || a == "--to" ||
                                a == "--out" || a == "--archive" || a == "--frames" ||
                                a == "--gpu";
        if (!takesValue) return fail("unknown option '" + a + "'");
        if (i + 1 >= args.size()) return fail(a + " needs a value");
        const std::string& v = args[++i];
        if (a == "--size") {
            if (!parseSize(v, o.width, o.height)) return fail(sizeError("--size", v));
        } else if (a == "--fps") {
            if (!parseInt(v, 1, kMaxCaptureFps, o.fps))
                return fail("--fps wants a whole number of frames per second, 1 to " +
                            std::to_string(kMaxCaptureFps) + " (got '" + v + "')");
        } else if (a == "--from" || a == "--to") {
            double seconds = 0.0;
            if (!parseSeconds(v, seconds))
                return fail(a + " wants seconds of the show, 0 or more (got '" + v + "')");
            if (a == "--from") {
                o.hasFrom = true;
                o.from = seconds;
            } else {
                o.hasTo = true;
                o.to = seconds;
            }
        } else if (a == "--out") {
            if (v.empty()) return fail("--out wants a folder or a .mp4 or .mkv file");
            o.out = v;
            o.output = outputKind(v, &o.container);
        } else if (a == "--archive") {
            o.archive = v;
            o.archiveGiven = true;
        } else if (a == "--gpu") {
            if (!parseInt(v, 0, 1000, o.gpu))
                return fail("--gpu wants the number of a GPU, from 0 (got '" + v + "')");
            o.headless = true;
        } else if (a == "--frames") {
            if (!parseInt(v, 1, 100000, o.benchFrames))
                return fail("--frames wants a whole number of frames, 1 to 100000 (got '" + v +
                            "')");
        }
    }
    if (o.help || o.version) return true;

    if (o.bench) {
        if (!o.out.empty() || o.hasFrom || o.hasTo)
            return fail("--bench renders nothing to keep: it takes no --out, --from or --to");
        return true;
    }
    if (o.output == CaptureOptions::Output::None)
        return fail("say where the frames go: --out FOLDER for PNG frames, or --out FILE.mp4 / "
                    "FILE.mkv for a video");
    if (o.hasFrom && o.hasTo && !(o.from < o.to)) return fail("--from must come before --to");
    if (o.output == CaptureOptions::Output::Video && (o.width % 2 || o.height % 2)) {
        return fail("a video needs an even width and height (H.264 with 4:2:0 colour); got " +
                    std::to_string(o.width) + "x" + std::to_string(o.height));
    }
    return true;
}
