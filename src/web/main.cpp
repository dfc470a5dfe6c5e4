// The browser's host of the show. The page (web/page) downloads the archive,
// which this file reads as it arrives, lets the viewer choose a size and
// starts the show from a click; this file drives the core frame by frame from the
// browser's animation frames. Its clock is the audio clock of the page's
// Web Audio context, so the pictures follow the music it plays; the page's
// decoders decode the music as the desktop does, the page plays it, and the
// samples come here too, where the desktop's analyser takes the spectrum at
// the play position.
//
// The page calls the functions marked EMSCRIPTEN_KEEPALIVE; the EM_JS
// functions call the page's window.Tidewane object.

#include "audio/decoder.h"
#include "bx/archive.h"
#include "core.h"
#include "gl/api.h"
#include "gl/context.h"
#include "launcher.h"
#include "manifest.h"
#include "scenes.h"
#include "sequence.h"
#include "timeline.h"

#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

EM_JS(double, twAudioTime, (), { return window.Tidewane.audioTime(); });
EM_JS(void, twDecodeMusic, (const unsigned char* bytes, int size),
      { window.Tidewane.decodeMusic(HEAPU8.slice(bytes, bytes + size)); });
EM_JS(void, twPixelsRead, (const unsigned char* bytes, int count),
      { window.Tidewane.pixelsRead(HEAPU8.slice(bytes, bytes + count)); });
EM_JS(void, twMark, (const char* name), { window.Tidewane.mark(UTF8ToString(name)); });
EM_JS(void, twPlayMusic, (), { window.Tidewane.playMusic(); });
// Seconds of the audio clock since the music started; 0 until it has.
EM_JS(double, twMusicTime, (), { return window.Tidewane.musicTime(); });
EM_JS(int, twQuitPressed, (), { return window.Tidewane.takeQuit() ? 1 : 0; });
EM_JS(void, twShowEnded, (), { window.Tidewane.showEnded(); });
// Copies up to `room` bytes of the archive that the page has received into
// `into`: the count, or 0 when none are waiting, -1 once the file has ended.
EM_JS(int, twTakeArchiveBytes, (unsigned char* into, int room),
      { return window.Tidewane.takeArchiveBytes(into, room); });
// Resumes when more of the archive, or its end, has arrived.
EM_ASYNC_JS(void, twArchiveArrival, (), { await window.Tidewane.archiveArrival(); });
// Whether the page shows the download's progress on the stage.
EM_JS(void, twShowProgress, (int on), { window.Tidewane.showProgress(on !== 0); });
EM_JS(void, twNoMusic, (), { window.Tidewane.noMusic(); });
// Whether the music is decoded, or known not to play.
EM_JS(int, twMusicSettled, (), { return window.Tidewane.musicSettled() ? 1 : 0; });
// Lets the browser run what waits (input, the workers' messages) between
// two steps of the set-up, so that no task of the page takes long.
EM_ASYNC_JS(void, twYield, (), { await new Promise(function(resolve) { setTimeout(resolve, 0); }); });
// Lets the browser show what was drawn: resumes at its next animation frame.
EM_ASYNC_JS(void, twNextAnimationFrame, (),
            { await new Promise(function(resolve) { requestAnimationFrame(resolve); }); });

namespace {

// The music as the page plays it. A decoder decodes the MP3 off the main
// thread and Web Audio plays it; the samples come back here for the
// spectrum, which the project's own analyser takes at the audio clock's
// play position, as the capture tool does at its frames' positions.
class WebMusic : public ShowMusic {
public:
    WebMusic() : m_spectrum(m_decoded) {}
    // Hands "music.mp3" to the browser for decoding once it has arrived (the
    // archive packs it last).
    void poll(Bx::Archive& archive) {
        if (m_handedOver || !archive.arrived(Manifest::kMusic)) return;
        m_handedOver = true;
        const Bx::ArchiveFile& mp3 = *archive.getFile(Manifest::kMusic);
        // Music that does not decode at its start goes no further.
        const Audio::DecodedAudio head = Audio::decodeMp3(mp3.data, std::min<size_t>(mp3.size, 16384));
        if (!head.ok()) {
            std::fprintf(stderr, "music: music.mp3: %s; the show goes on silent\n", head.error.c_str());
            twNoMusic();
            return;
        }
        twDecodeMusic(mp3.data, int(mp3.size));
    }
    void play() override { twPlayMusic(); }
    // Until the samples have come back, the spectrum is silent.
    const float* update() override {
        const double position = twMusicTime() * m_decoded.sampleRate;
        m_spectrum.setPosition(int64_t(std::llround(std::max(0.0, position))));
        return m_spectrum.update();
    }
    // Room for the browser's decoded samples, then their arrival.
    // The room is reserved at once and taken a slice at a time (extend),
    // so that no task touches all of its memory.
    float* reserve(int frames, int channels, int rate) {
        m_decoded.samples.clear();
        m_decoded.samples.reserve(size_t(frames) * size_t(channels));
        m_pending = {rate, channels};
        m_room = size_t(frames) * size_t(channels);
        return m_decoded.samples.data();
    }
    void extend(int frames) {
        m_decoded.samples.resize(std::min(m_room, size_t(frames) * size_t(m_pending.second)));
    }
    void arrived() {
        m_decoded.sampleRate = m_pending.first;
        m_decoded.channels = m_pending.second;
        m_spectrum.setPosition(-1);
    }
    const Audio::DecodedAudio& decoded() const { return m_decoded; }

private:
    Audio::DecodedAudio m_decoded;
    bool m_handedOver = false;
    std::pair<int, int> m_pending;
    size_t m_room = 0;
    CaptureSpectrum m_spectrum;
};

// The page as the core's host: the audio clock, the music, Escape.
class PageHost : public ShowHost {
public:
    // The intro runs on the audio clock; the timeline on the music's own
    // time, which stands at 0 until the music plays.
    double clock() override { return m_timeline ? twMusicTime() : twAudioTime() - m_base; }
    void restartClock() override { m_base = twAudioTime(); }
    void startMusic() override {
        m_timeline = true;
        if (m_music) m_music->play();
    }
    SpectrumSource& spectrum() override { return *m_music; }
    bool quitPressed() override { return twQuitPressed() != 0; }
    // The browser shows the frame when the frame's callback returns.
    bool present() override { return true; }

    WebMusic* m_music = nullptr;

private:
    double m_base = 0;
    bool m_timeline = false;
};

struct Page {
    std::unique_ptr<Bx::Archive> archive; // until the production takes it
    std::unique_ptr<Context> context;
    std::unique_ptr<Production> production;
    WebMusic music;
    PageHost host;
    std::unique_ptr<ShowCore> core;
    DrawTarget target;
    std::string sizes;
    std::string frameInfo;
    ShowFrame drawn; // the frame tw_draw_at drew
    std::vector<unsigned char> pixels;
};

Page& page() {
    static Page p;
    return p;
}

// The archive, wherever it is held now (the page's, then the production's).
Bx::Archive& archive() {
    return *Bx::Archive::ms_archive;
}

// Moves what the page has received of the archive into it; true when
// anything came. A malformed archive stops here, with the desktop's block.
bool pullArchive() {
    static unsigned char buffer[1 << 16];
    bool any = false;
    for (;;) {
        const int n = twTakeArchiveBytes(buffer, int(sizeof(buffer)));
        if (n > 0) {
            archive().feed(buffer, size_t(n));
            any = true;
            continue;
        }
        if (n < 0 && !archive().fed()) {
            archive().feedEnd();
            any = true;
        }
        return any;
    }
}

// What a lookup of an entry that has not arrived does during the set-up:
// waits for the page's next bytes.
void waitForArchive() {
    while (!pullArchive()) twArchiveArrival();
}

void playOneFrame() {
    Page& p = page();
    p.music.poll(archive());
    // The intro's last frame stays on screen until the timeline's images
    // are prepared and the music decoded: loading them must not wait on the
    // browser's thread. Where data is still coming, its progress shows.
    if (p.core->introOver() && !(p.production->timelineReady() && twMusicSettled())) {
        p.production->uploadAhead();
        twShowProgress(!archive().fed());
        return;
    }
    twShowProgress(0);
    const bool played = p.core->playFrame(&p.target);
    if (played && p.core->frame().index == 0) twMark("first intro frame");
    if (!played || p.core->ended()) {
        emscripten_cancel_main_loop();
        twShowEnded();
    }
}

} // namespace

extern "C" {

// The sizes the start page lists for a screen of `width` x `height` device
// pixels, by the launcher's rules over the usual display modes that fit it
// and the screen's own: "W H" items joined by ";", then "|" and the index
// of the preselected item (-1: none), then "|" and 1 when full screen is
// preselected.
EMSCRIPTEN_KEEPALIVE const char* tw_sizes(int width, int height) {
    static const int kModes[][2] = {{640, 400},   {640, 480},   {800, 600},   {1024, 768},
                                    {1280, 720},  {1280, 800},  {1280, 1024}, {1366, 768},
                                    {1600, 900},  {1920, 1080}, {1920, 1200}, {2560, 1440},
                                    {3840, 2160}};
    std::vector<DisplayMode> modes;
    for (const auto& m : kModes)
        if (m[0] <= width && m[1] <= height && !(m[0] == width && m[1] == height))
            modes.push_back({m[0], m[1], 32});
    if (width > 0 && height > 0) modes.push_back({width, height, 32});
    LauncherState state(defaultLaunchSettings(), modes);
    std::string& out = page().sizes;
    out.clear();
    for (size_t i = 0; i < state.sizes().size(); ++i)
        out += (i ? ";" : "") + std::to_string(state.sizes()[i].width) + " " +
               std::to_string(state.sizes()[i].height);
    out += "|" + std::to_string(state.selected()) + "|" + (state.fullscreen() ? "1" : "0");
    return out.c_str();
}

// The scene table for the page's tools: each scene program's name and the
// middle of its first stretch in show seconds, "name@seconds" items joined
// by ";".
EMSCRIPTEN_KEEPALIVE const char* tw_scenes() {
    static std::string out;
    out.clear();
    for (int p = 0; p < kSceneCount; ++p) {
        for (int i = 0; i < kStretchCount; ++i) {
            if (int(kSchedule[i].program) != p) continue;
            const float end = i + 1 < kStretchCount ? kSchedule[i + 1].start
                                                   : TimelineTables::kTimeLimit;
            out += (out.empty() ? "" : ";") + std::string(kPrograms[p].name) + "@" +
                   std::to_string(0.5 * double(kSchedule[i].start + end));
            break;
        }
    }
    return out.c_str();
}

// The archive "tidewane.velk" as its download starts: `length` bytes, or
// less than 0 where the length is not known; `found` 0 where it cannot be
// had, which stops with the desktop's assertion block on the start page.
// The page calls tw_archive_pull as its bytes come in (not during
// tw_prepare, which takes them itself), so that a damaged archive stops as
// soon as it is known.
EMSCRIPTEN_KEEPALIVE void tw_archive_open(int found, double length) {
    if (!found) Bx::Archive::cannotOpen("tidewane.velk");
    page().archive.reset(new Bx::Archive(
        "tidewane.velk", length < 0 ? Bx::ArchiveReader::kUnknownLength : uint64_t(length),
        waitForArchive));
}

EMSCRIPTEN_KEEPALIVE void tw_archive_pull() {
    pullArchive();
}

// The context at `width` x `height` and the production's set-up, up to the
// intro, as on the desktop: the preload picture shows as soon as its bytes
// are in, the intro once its images are; the set-up waits for the archive's
// bytes where it needs them. After tw_archive_open. Returns 0, or 1 when no
// WebGL 2 context could be made.
EMSCRIPTEN_KEEPALIVE int tw_prepare(int width, int height) {
    Page& p = page();
    twMark("prepare");
    try {
        p.context.reset(new Context(width, height, false));
    } catch (const ContextError& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    p.target = DrawTarget{0, width, height};
    // The music is the page's own: it arrives last and is handed to the
    // browser as soon as it has.
    p.production.reset(new Production(std::move(p.archive), width, height, MusicOpener(),
                                      [] {
                                          twMark("preload picture");
                                          twNextAnimationFrame();
                                      },
                                      [](const char* step) {
                                          twMark(step);
                                          twYield();
                                      }));
    p.host.m_music = &p.music;
    p.music.poll(archive());
    return 0;
}

// Plays the show from the intro's first frame, one frame each animation
// frame, until Escape or its end; then tells the page.
EMSCRIPTEN_KEEPALIVE void tw_play() {
    Page& p = page();
    p.core.reset(new ShowCore(p.host, p.production.get()));
    emscripten_set_main_loop(playOneFrame, 0, 0);
}

// Whether the timeline's images are prepared, so that drawing a timeline
// frame does not wait for them.
EMSCRIPTEN_KEEPALIVE int tw_timeline_ready() {
    return page().production->timelineReady() ? 1 : 0;
}

// Room for `frames` of the decoded music, which the page fills in slices,
// each after tw_music_extend has made the room up to its end valid, then
// calls tw_music_decoded.
EMSCRIPTEN_KEEPALIVE float* tw_music_buffer(int frames, int channels, int rate) {
    return page().music.reserve(frames, channels, rate);
}

EMSCRIPTEN_KEEPALIVE void tw_music_extend(int frames) {
    page().music.extend(frames);
}

EMSCRIPTEN_KEEPALIVE void tw_music_decoded() {
    page().music.arrived();
}

// Draws the frame that the capture tool draws at `seconds` of the show at
// `fps` frames a second (the virtual clock, the music analysed at the
// frame's play position), and describes it in one line (describeFrame).
// After tw_prepare, once tw_timeline_ready; not while the show plays.
EMSCRIPTEN_KEEPALIVE const char* tw_draw_at(double seconds, int fps) {
    Page& p = page();
    ShowLayout layout(fps);
    ShowSequence sequence(layout, p.music.decoded(), p.production.get());
    sequence.skipTo(layout.frameAtOrAfter(seconds));
    // An earlier call may have left the intro's drawing state behind.
    if (sequence.position() >= layout.introFrames()) {
        p.production->loadTimeline();
        setTimelineState();
    }
    const ShowFrame f = sequence.next(&p.target);
    p.drawn = f;
    p.frameInfo = describeFrame(f);
    return p.frameInfo.c_str();
}

// Draws the frame tw_draw_at drew again, as it was drawn: for timing the
// drawing alone.
EMSCRIPTEN_KEEPALIVE void tw_redraw() {
    Page& p = page();
    drawShowFrame(*p.production, p.drawn, p.target);
}

// Waits until what was drawn is done, by reading one pixel back.
EMSCRIPTEN_KEEPALIVE void tw_finish() {
    unsigned char pixel[4];
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
}

// Hands the page the frame last drawn, RGBA rows from the top, width x
// height x 4 bytes.
EMSCRIPTEN_KEEPALIVE void tw_read_pixels() {
    Page& p = page();
    const int w = p.target.width, h = p.target.height;
    std::vector<unsigned char> rows(size_t(w) * size_t(h) * 4);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    p.pixels.resize(rows.size());
    const size_t rowBytes = size_t(w) * 4;
    for (int y = 0; y < h; ++y)
        std::copy_n(rows.begin() + std::ptrdiff_t(size_t(y) * rowBytes), rowBytes,
                    p.pixels.begin() + std::ptrdiff_t(size_t(h - 1 - y) * rowBytes));
    twPixelsRead(p.pixels.data(), int(p.pixels.size()));
}

} // extern "C"
