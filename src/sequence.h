#pragma once
// The show on a virtual clock: which frame shows what, frame by frame, at a
// fixed rate. Nothing here touches OpenGL, so the tests drive it directly.
//
// The show's own time runs from 0 at the intro's first frame; frame k is
// shown at k / fps seconds. The intro comes first: its step clock reads
// k / fps. The timeline follows at once: timeline frame j (show frame
// introFrames + j) has playback time j / fps, and the music starts there at
// its first sample. The loading pauses of the live show (the preload
// picture, the second batch of images behind the intro's last frame) take
// no time here. The show ends with the first timeline frame whose playback
// time is past the time limit, as live.

#include "audio/analyser.h"
#include "audio/decoder.h"
#include "bx/smoothing.h"
#include "core.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class ShowLayout {
public:
    explicit ShowLayout(int fps);

    int fps() const { return m_fps; }
    int64_t introFrames() const { return m_introFrames; }
    int64_t timelineFrames() const { return m_timelineFrames; }
    int64_t totalFrames() const { return m_introFrames + m_timelineFrames; }

    // Show time of frame k, in seconds.
    double showTime(int64_t frame) const { return double(frame) / m_fps; }
    // Show time of the music's start (timeline frame 0).
    double musicStart() const { return showTime(m_introFrames); }
    // The first frame shown at or after `seconds` of show time.
    int64_t frameAtOrAfter(double seconds) const;
    // The first show frame whose playback time is at least `playback`
    // seconds (for the tables of scene starts).
    int64_t timelineFrameAt(double playback) const;

private:
    int m_fps;
    int64_t m_introFrames;
    int64_t m_timelineFrames;
};

// Frames [first, end) of the show.
struct FrameRange {
    int64_t first = 0;
    int64_t end = 0;
    int64_t count() const { return end - first; }
};

// The frames from --from to --to: the first frame shown at or after `from`
// up to, not including, the first frame at or after `to`. Without `from` the
// range starts at the first frame; without `to`, or with one past the end,
// it runs to the show's last frame. Returns false with the reason when no
// frame is left.
bool selectFrames(const ShowLayout& layout, bool hasFrom, double from, bool hasTo, double to,
                  FrameRange& range, std::string& error);

// The music's play position, in frames at `rate`, of the moment `frame` /
// `fps` seconds after its start: the nearest whole frame (halves round up).
int64_t playPosition(int64_t frame, int fps, int rate);

// The timeline's spectrum source offline: every call is one analysis step of
// the decoded music at the play position of the current frame, smoothed
// with the live player's smoother. Within a frame the position stands still,
// so the raw spectrum is computed once and each call only moves the
// smoothing history on.
class CaptureSpectrum : public SpectrumSource {
public:
    explicit CaptureSpectrum(const Audio::DecodedAudio& music);
    void setPosition(int64_t frame);
    const float* update() override;
    const Bx::SpectrumSmoother& smoother() const { return m_smoother; }

private:
    const Audio::DecodedAudio& m_music;
    Audio::SpectrumAnalyser m_analyser;
    Bx::SpectrumSmoother m_smoother;
    int64_t m_position = -1;
    bool m_fresh = false;
    float m_raw[Audio::kSpectrumBands];
    float m_smoothed[Audio::kSpectrumBands];
};

// The virtual clock of a fixed frame rate as a host of the core: frame k of
// the show is shown at k / fps seconds. The clock reads the frame's start
// until the frame is presented, then the next frame's start; the music's
// start restarts it, so timeline frame j reads j / fps. With music, the
// spectrum of timeline frame j analyses it at play position
// round(j * rate / fps); without, the spectrum is silent.
class VirtualClock : public ShowHost {
public:
    VirtualClock(int fps, const Audio::DecodedAudio* music);
    double clock() override { return double(m_frame - m_base) / m_fps; }
    void restartClock() override { m_base = m_frame; }
    SpectrumSource& spectrum() override;
    bool present() override;

    const CaptureSpectrum* captureSpectrum() const { return m_spectrum.get(); }

private:
    int m_fps;
    const Audio::DecodedAudio* m_music;
    std::unique_ptr<CaptureSpectrum> m_spectrum;
    int64_t m_frame = 0;
    int64_t m_base = 0;
};

// The show frame by frame on the virtual clock, as the live driver plays it.
// With a production, a frame can be drawn as it is played.
class ShowSequence {
public:
    using Frame = ShowFrame;

    ShowSequence(const ShowLayout& layout, const Audio::DecodedAudio& music,
                 Production* production = nullptr);

    // The next frame's decisions; the intro's or the timeline's state moves
    // past it (the end-of-frame steps included). Drawn into `target` when
    // one is given (and the sequence has a production). Must not be called
    // once done().
    Frame next(const DrawTarget* target = nullptr);
    // Runs the state through the frames before `frame` without drawing.
    void skipTo(int64_t frame);

    int64_t position() const { return m_next; }
    bool done() const { return m_next >= m_layout.totalFrames() || m_core.ended(); }
    // True once the timeline asked to stop (after the show's last frame).
    bool ended() const { return m_core.timeline().quitRequested(); }
    const Timeline& timeline() const { return m_core.timeline(); }
    const CaptureSpectrum& spectrum() const { return *m_clock.captureSpectrum(); }

private:
    const ShowLayout& m_layout;
    VirtualClock m_clock;
    ShowCore m_core;
    int64_t m_next = 0;
};

// One line saying what a frame is made of, as the browser's test hook and
// its native counterpart print it:
//   "frame K intro|timeline program P bass B lowFreq L white W"
std::string describeFrame(const ShowFrame& frame);

// The sound of frames [first, end) as interleaved float samples at the
// music's rate and channel count: silence during the intro, then the music
// from its first sample at the first timeline frame, silence past its end.
// Frame k starts at sample round(k * rate / fps) of the show, so the sound
// and the pictures line up to the sample at every frame.
std::vector<float> soundtrack(const ShowLayout& layout, const FrameRange& range,
                              const Audio::DecodedAudio& music);
