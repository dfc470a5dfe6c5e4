// tidewane-studio: the show in a window for working on it live. Starts at
// any playback time in exactly the state a run from the start reaches there
// (stepped as the capture tool steps it), pauses, jumps, loops, saves
// frames, shows its numbers, and rebuilds the GLSL programs when their files
// change. See usage().

#include "controls.h"
#include "hud.h"
#include "reload.h"
#include "stepper.h"

#include "gltimer.h"
#include "output.h"
#include "renderer.h"

#include "bx/archive.h"
#include "bx/music.h"
#include "commandline.h"
#include "core.h"
#include "gl/context.h"
#include "locate.h"
#include "size.h"
#include "timeline.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

struct StudioOptions {
    int width = 1280;
    int height = 720;
    double at = 0;
    int rate = 60;
    bool paused = false;
    std::string shaders;
    std::string archive;
};

void usage(FILE* to) {
    std::fprintf(to,
        "usage: tidewane-studio [--size WxH] [--at S] [--rate N] [--paused]\n"
        "                       [--shaders DIR] [--archive PATH]\n"
        "       tidewane-studio --help | --version\n"
        "\n"
        "Plays the show in a window for working on it: from any moment, paused,\n"
        "looped, with its numbers on screen and its GLSL rebuilt when a file changes.\n"
        "\n"
        "  --size WxH     window size (default 1280x720)\n"
        "  --at S         start at S seconds of playback (default 0)\n"
        "  --rate N       the steady frame rate the state is stepped at (default 60);\n"
        "                 the frame at S is the capture tool's frame at S at that rate\n"
        "  --paused       start paused\n"
        "  --shaders DIR  read the GLSL programs from DIR (e.g. src/shaders) and rebuild\n"
        "                 them when a file changes; a broken one keeps the last good one\n"
        "  --archive P    the data archive (default: found as the show finds it)\n"
        "\n"
        "Keys: Space pause/resume; Left/Right 1 s back/on, with Shift 10 s; Home to 0;\n"
        "[ and ] loop start and end; L loop on/off; F1 numbers on/off; S save the frame\n"
        "as frame-NNNNNN.png (numbered as the capture tool numbers it); Escape quits.\n");
}

bool parse(const std::vector<std::string>& args, StudioOptions& o, std::string& error,
           bool& help, bool& version) {
    help = false;
    version = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            help = true;
            return true;
        }
        if (a == "--version") {
            version = true;
            return true;
        }
        if (a == "--paused") {
            o.paused = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = (a.rfind("--", 0) == 0 ? a + " needs a value" : "unknown option '" + a + "'");
            return false;
        }
        const std::string& v = args[++i];
        char* end = nullptr;
        if (a == "--size") {
            if (!parseSize(v, o.width, o.height)) {
                error = sizeError("--size", v);
                return false;
            }
        } else if (a == "--at") {
            o.at = std::strtod(v.c_str(), &end);
            if (v.empty() || *end || !std::isfinite(o.at) || o.at < 0 ||
                o.at > TimelineTables::kTimeLimit) {
                error = "--at wants seconds of playback, 0 to 165 (got '" + v + "')";
                return false;
            }
        } else if (a == "--rate") {
            const long rate = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end || rate < 1 || rate > 1000) {
                error = "--rate wants frames a second, 1 to 1000 (got '" + v + "')";
                return false;
            }
            o.rate = int(rate);
        } else if (a == "--shaders") {
            o.shaders = v;
        } else if (a == "--archive") {
            o.archive = v;
        } else {
            error = "unknown option '" + a + "'";
            return false;
        }
    }
    return true;
}

// Keys pressed since the last frame, from the window library's callback.
std::vector<StudioKey> g_keys;

void onKey(GLFWwindow*, int key, int, int action, int mods) {
    if (action != GLFW_PRESS && action != GLFW_REPEAT) return;
    const bool shift = (mods & GLFW_MOD_SHIFT) != 0;
    switch (key) {
    case GLFW_KEY_SPACE: if (action == GLFW_PRESS) g_keys.push_back(StudioKey::Space); break;
    case GLFW_KEY_LEFT: g_keys.push_back(shift ? StudioKey::ShiftLeft : StudioKey::Left); break;
    case GLFW_KEY_RIGHT: g_keys.push_back(shift ? StudioKey::ShiftRight : StudioKey::Right); break;
    case GLFW_KEY_HOME: g_keys.push_back(StudioKey::Home); break;
    case GLFW_KEY_LEFT_BRACKET: g_keys.push_back(StudioKey::LoopStart); break;
    case GLFW_KEY_RIGHT_BRACKET: g_keys.push_back(StudioKey::LoopEnd); break;
    case GLFW_KEY_L: if (action == GLFW_PRESS) g_keys.push_back(StudioKey::ToggleLoop); break;
    case GLFW_KEY_F1: if (action == GLFW_PRESS) g_keys.push_back(StudioKey::Hud); break;
    case GLFW_KEY_S: if (action == GLFW_PRESS) g_keys.push_back(StudioKey::Save); break;
    case GLFW_KEY_ESCAPE: g_keys.push_back(StudioKey::Escape); break;
    default: break;
    }
}

std::string format(const char* pattern, double a = 0, double b = 0, double c = 0) {
    char text[160];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    StudioOptions o;
    std::string error;
    bool help = false, version = false;
    if (!parse(std::vector<std::string>(argv + 1, argv + argc), o, error, help, version)) {
        std::fprintf(stderr, "tidewane-studio: %s\n\n", error.c_str());
        usage(stderr);
        return 2;
    }
    if (help) {
        usage(stdout);
        return 0;
    }
    if (version) {
        std::printf("%s\n", versionText("tidewane-studio").c_str());
        return 0;
    }
    if (o.archive.empty()) o.archive = locateArchive();
    if (!checkArchive(o.archive, error)) {
        std::fprintf(stderr, "tidewane-studio: %s\n", error.c_str());
        return 1;
    }

    std::unique_ptr<ShowRenderer> renderer;
    try {
        renderer.reset(new ShowRenderer(o.archive, o.width, o.height, ShowRenderer::Surface::Window));
    } catch (const CaptureError& e) {
        std::fprintf(stderr, "tidewane-studio: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "renderer: %s\n", renderer->rendererLine().c_str());
    const Bx::ArchiveFile& musicFile = renderer->music();
    const Audio::DecodedAudio music = Audio::decodeMp3(musicFile.data, musicFile.size);
    if (!music.ok()) {
        std::fprintf(stderr, "tidewane-studio: the archive's music cannot be decoded: %s\n",
                     music.error.c_str());
        return 1;
    }
    GLFWwindow* window = renderer->context().window();
    glfwSetWindowTitle(window, "Tidewane studio");
    glfwSetKeyCallback(window, onKey);

    // The music as it is heard; the picture's spectrum comes from the
    // stepped state, as in the capture.
    Bx::Music player(musicFile);

    std::unique_ptr<ShaderReloader> reloader;
    Production& show = renderer->production();
    if (!o.shaders.empty()) reloader.reset(new ShaderReloader(o.shaders, show.programs()));

    ShowStepper stepper(o.rate, music);
    StudioControls controls(o.at, TimelineTables::kTimeLimit, o.paused);
    Hud hud;
    const bool trustQueries = !isSoftwareRenderer(renderer->rendererName());
    std::unique_ptr<GlTimer> timer(trustQueries ? new GlTimer(true) : nullptr);

    player.play();
    player.seek(float(controls.time()));
    bool musicPaused = false;
    auto syncMusicPause = [&] {
        if (musicPaused != controls.paused()) {
            player.togglePause();
            musicPaused = controls.paused();
        }
    };
    syncMusicPause();

    using Clock = std::chrono::steady_clock;
    Clock::time_point last = Clock::now();
    FrameRate rate;
    std::vector<uint8_t> pixels;
    const DrawTarget target = renderer->target();
    while (!controls.quit() && !renderer->context().closeRequested()) {
        const Clock::time_point now = Clock::now();
        const double dt = std::chrono::duration<double>(now - last).count();
        last = now;
        rate.add(dt);
        for (StudioKey key : g_keys) controls.press(key);
        g_keys.clear();
        controls.advance(dt);
        if (controls.takeJump()) player.seek(float(controls.time()));
        syncMusicPause();
        if (reloader) reloader->poll();

        const ShowSequence::Frame& frame = stepper.frameAt(controls.time());
        double sceneMs = 0, postMs = 0;
        if (timer && !frame.intro) {
            // The two passes timed apart; drawShowFrame draws them in this order.
            show.loadTimeline();
            beginTarget(target);
            sceneMs = timer->measure([&] { show.drawScenePass(frame.timelineFrame, target); });
            postMs = timer->measure([&] { show.drawPostPass(frame.timelineFrame, target); });
        } else {
            drawShowFrame(show, frame, target);
        }
        if (controls.takeSave()) {
            renderer->read(pixels);
            PngFolderSink sink(".", o.width, o.height);
            if (!sink.open(error) || !sink.write(frame.index, pixels, error) || !sink.finish(error))
                std::fprintf(stderr, "tidewane-studio: %s\n", error.c_str());
            else
                std::fprintf(stderr, "saved %s\n", frameFileName(frame.index).c_str());
        }

        // The picture to the window, the numbers over it.
        glBindFramebuffer(GL_READ_FRAMEBUFFER, target.framebuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glBlitFramebuffer(0, 0, o.width, o.height, 0, 0, o.width, o.height, GL_COLOR_BUFFER_BIT,
                          GL_NEAREST);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        if (controls.hud()) {
            const TimelineFrame& f = frame.timelineFrame;
            const Timeline& state = stepper.sequence().timeline();
            const double fps = rate.fps();
            std::vector<std::string> lines = {
                format("playback %7.3f s   scene clock %8.3f", f.t, f.time) +
                    (controls.paused() ? "   paused" : ""),
                std::string("scene ") + programInfo(f.program).name +
                    (fps > 0 ? format("   %.1f fps (mean of the last %.0f frames)", fps,
                                      rate.frames())
                             : std::string()),
                timer ? format("GPU scene %.2f ms   post %.2f ms", sceneMs, postMs)
                      : std::string("GPU scene n/a   post n/a"),
                format("lowFreq %.3f   bass %.3f   white %.3f", f.lowFreq, f.bass, f.white),
                format("lyric %.0f (image %.0f)   flash %.0f", state.lyricCursor(), f.lyricsImage,
                       state.flashCursor()),
                std::string("loop ") + (controls.looping() ? "on " : "off") + "  [ " +
                    (controls.hasLoopStart() ? format("%.3f", controls.loopStart()) : "-") +
                    "  ] " + (controls.hasLoopEnd() ? format("%.3f", controls.loopEnd()) : "-"),
            };
            if (reloader) {
                const std::string errors = reloader->errors();
                size_t start = 0;
                while (start < errors.size()) {
                    const size_t end = errors.find('\n', start);
                    lines.push_back(errors.substr(start, end - start));
                    start = end == std::string::npos ? errors.size() : end + 1;
                }
                lines.push_back(format("shaders rebuilt in %.1f ms", reloader->lastRebuildMs()));
            }
            hud.draw(lines, o.width, o.height);
        }
        renderer->context().swapBuffers();
    }
    return 0;
}
