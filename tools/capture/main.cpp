// tidewane-capture: renders the show offline, frame by frame at a fixed
// rate, into numbered PNG frames or a video with the music; or measures what
// each scene costs (--bench). See usage() for the options and the show's
// clock.

#include "bench.h"
#include "options.h"
#include "output.h"
#include "renderer.h"
#include "sequence.h"

#include "bx/archive.h"
#include "commandline.h"
#include "locate.h"
#include "scenes.h"

#include "gltimer.h"
#include "toolcontext.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::atomic<bool> g_interrupted(false);

void onSignal(int) {
    g_interrupted = true;
}

void installSignals() {
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A dead ffmpeg shows as a failed write, not as a killed capture, and a
    // file-size limit as a failed write too.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

std::string clockText(double seconds) {
    const long s = long(seconds + 0.5);
    char text[32];
    if (s >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

void usage(const CaptureOptions& o) {
    const ShowLayout layout(o.fps);
    std::printf("usage: tidewane-capture [--size WxH] [--fps N] [--from S] [--to S] --out PATH\n"
                "                        [--archive PATH] [--headless] [--gpu N]\n"
                "       tidewane-capture --bench [--size WxH] [--frames N] [--archive PATH]\n"
                "                        [--headless] [--gpu N]\n"
                "       tidewane-capture --help | --version\n"
                "\n"
                "Renders the show offline from tidewane.velk (found as the show finds it, or\n"
                "--archive PATH), every frame at a fixed rate whatever the machine's speed,\n"
                "with the live show's own clock, intro, timeline and post pass. Nothing is\n"
                "shown on screen.\n"
                "\n"
                "  --size WxH   picture size (default 1920x1080)\n"
                "  --fps N      frames per second (default 60)\n"
                "  --from S     first second of the show to render (default 0)\n"
                "  --to S       second of the show to stop before (default: to the end)\n"
                "  --out PATH   a folder: numbered PNG frames, frame-NNNNNN.png, numbered by\n"
                "               their frame in the whole show; a .mp4 or .mkv file: a video\n"
                "               (H.264 and AAC) with the show's sound, made by ffmpeg\n"
                "  --bench      draw each scene and the post pass --frames times (default 20)\n"
                "               at --size and print the milliseconds a frame\n"
                "  --archive P  the data archive (default: tidewane.velk in the working folder,\n"
                "               else beside the program, else in the installed data folder)\n"
                "  --headless   draw without a window or X display, through EGL; the\n"
                "               default when DISPLAY is not set\n"
                "  --gpu N      draw headless on GPU N of those EGL lists (default the first;\n"
                "               Mesa's surfaceless platform where none is listed)\n"
                "\n"
                "The show's clock: frame k is shown at k/fps seconds. The silent intro comes\n"
                "first, then the music starts with the timeline, whose playback time is counted\n"
                "from there; the show ends with the first frame past 165 s of playback. The\n"
                "live show's loading pauses take no time here. The intro's steps come at most\n"
                "one a frame, so its length depends on the frame rate.\n"
                "\n"
                "At %d fps (pick another with --fps N --help):\n",
                o.fps);
    std::printf("  %-12s from %8.3f s  (frame %lld)\n", "intro", 0.0, 0LL);
    for (const SceneStretch& p : kSchedule) {
        const int64_t frame = layout.timelineFrameAt(p.start);
        std::printf("  %-12s from %8.3f s  (frame %lld, playback %.3f s)\n",
                    programInfo(p.program).name, layout.showTime(frame),
                    static_cast<long long>(frame), double(p.start));
    }
    std::printf("  %-12s at   %8.3f s  (%lld frames)\n", "end",
                layout.showTime(layout.totalFrames()),
                static_cast<long long>(layout.totalFrames()));
}

int fail(const std::string& message, int status = 1) {
    std::fprintf(stderr, "tidewane-capture: %s\n", message.c_str());
    return status;
}

// Progress on standard error: on a terminal one line kept up to date,
// elsewhere a line every few seconds.
class Progress {
public:
    explicit Progress(int64_t total) : m_total(total), m_tty(isatty(2)) {}

    void update(int64_t done) {
        const auto now = std::chrono::steady_clock::now();
        const double elapsed = std::chrono::duration<double>(now - m_start).count();
        const double sinceLast = std::chrono::duration<double>(now - m_last).count();
        const bool last = done == m_total;
        if (!last && sinceLast < (m_tty ? 0.25 : 5.0)) return;
        m_last = now;
        const double rate = elapsed > 0 ? double(done) / elapsed : 0.0;
        const double left = rate > 0 ? double(m_total - done) / rate : 0.0;
        std::fprintf(stderr, "%sframe %lld of %lld (%.1f%%)  %.2f fps  %s left%s",
                     m_tty ? "\r" : "", static_cast<long long>(done),
                     static_cast<long long>(m_total), 100.0 * double(done) / double(m_total), rate,
                     clockText(left).c_str(), m_tty ? "   " : "\n");
        if (m_tty && last) std::fprintf(stderr, "\n");
        std::fflush(stderr);
    }

private:
    int64_t m_total;
    bool m_tty;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point m_last = m_start;
};

Audio::DecodedAudio decodeMusic(const ShowRenderer& renderer) {
    const Bx::ArchiveFile& music = renderer.music();
    return Audio::decodeMp3(music.data, music.size);
}

// The renderer with the context the options ask for, and the archive's
// music decoded; says on standard error what draws, before the first frame.
// Null with the reason in `error` when either cannot be had.
std::unique_ptr<ShowRenderer> openShow(const CaptureOptions& o, Audio::DecodedAudio& music,
                                       std::string& error) {
    if (!checkArchive(o.archive, error)) return nullptr;
    std::unique_ptr<ShowRenderer> renderer;
    try {
        renderer.reset(new ShowRenderer(o.archive, o.width, o.height,
                                        wantHeadless(o.headless) ? ShowRenderer::Surface::Headless
                                                                 : ShowRenderer::Surface::Hidden,
                                        o.gpu));
    } catch (const CaptureError& e) {
        error = e.what();
        return nullptr;
    }
    std::fprintf(stderr, "renderer: %s\n", renderer->rendererLine().c_str());
    music = decodeMusic(*renderer);
    if (!music.ok()) {
        error = "the archive's music cannot be decoded: " + music.error;
        return nullptr;
    }
    return renderer;
}

int runBench(const CaptureOptions& o) {
    std::string error;
    Audio::DecodedAudio music;
    std::unique_ptr<ShowRenderer> renderer = openShow(o, music, error);
    if (!renderer) return fail(error);

    const std::string name = renderer->rendererName();
    const ShowLayout layout(o.fps);
    std::string method;
    const std::vector<PassTiming> timings =
        runBenchmark(*renderer, layout, music, o.benchFrames, !isSoftwareRenderer(name), method);
    std::printf("renderer: %s\n", name.c_str());
    std::printf("size %dx%d, %d frames a pass, timed by %s\n\n", o.width, o.height, o.benchFrames,
                method.c_str());
    std::printf("%s", formatBenchmark(timings).c_str());
    return 0;
}

int runCapture(const CaptureOptions& o) {
    const ShowLayout layout(o.fps);
    FrameRange range;
    std::string error;
    if (!selectFrames(layout, o.hasFrom, o.from, o.hasTo, o.to, range, error)) return fail(error);
    const bool video = o.output == CaptureOptions::Output::Video;
    if (video && findProgram("ffmpeg").empty())
        return fail("ffmpeg is not installed (Debian package ffmpeg), so no video can be made; "
                    "write PNG frames instead with --out FOLDER");
    Audio::DecodedAudio music;
    std::unique_ptr<ShowRenderer> renderer = openShow(o, music, error);
    if (!renderer) return fail(error);

    std::unique_ptr<FrameSink> sink;
    if (video) {
        std::unique_ptr<VideoSink> v(new VideoSink(o.out, o.container, o.width, o.height, o.fps,
                                                   soundtrack(layout, range, music),
                                                   music.sampleRate, music.channels));
        if (!v->open(error)) return fail(error);
        sink = std::move(v);
    } else {
        std::unique_ptr<PngFolderSink> p(new PngFolderSink(o.out, o.width, o.height));
        if (!p->open(error)) return fail(error);
        sink = std::move(p);
    }

    std::fprintf(
        stderr, "capturing frames %lld to %lld (%.3f to %.3f s of the show) at %dx%d, %d fps\n",
        static_cast<long long>(range.first), static_cast<long long>(range.end - 1),
        layout.showTime(range.first), layout.showTime(range.end), o.width, o.height, o.fps);
    ShowSequence sequence(layout, music, &renderer->production());
    sequence.skipTo(range.first);
    Progress progress(range.count());
    std::vector<uint8_t> pixels;
    const DrawTarget target = renderer->target();
    for (int64_t k = range.first; k < range.end; ++k) {
        if (g_interrupted) return fail("interrupted; nothing more was written", 130);
        const ShowSequence::Frame frame = sequence.next(&target);
        renderer->read(pixels);
        if (!sink->write(frame.index, pixels, error)) return fail(error);
        progress.update(k - range.first + 1);
    }
    if (!sink->finish(error)) return fail(error);
    std::fprintf(stderr, "wrote %lld frame%s to %s\n", static_cast<long long>(range.count()),
                 range.count() == 1 ? "" : "s", o.out.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CaptureOptions options;
    std::string error;
    if (!parseCaptureOptions(std::vector<std::string>(argv + 1, argv + argc), options, error))
        return fail(error + " (see --help)", 2);
    if (options.help) {
        usage(options);
        return 0;
    }
    if (options.version) {
        std::printf("%s\n", versionText("tidewane-capture").c_str());
        return 0;
    }
    if (!options.archiveGiven) options.archive = locateArchive();
    installSignals();
    return options.bench ? runBench(options) : runCapture(options);
}
