#include "sequence.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace {

// Playback time of timeline frame j as the live loop narrows the clock.
float playbackTime(int64_t j, int fps) {
    return float(double(j) / fps);
}

// The spectrum of silence, for counting frames without music.
class SilentSpectrum : public SpectrumSource {
public:
    const float* update() override { return m_zero; }

private:
    float m_zero[Audio::kSpectrumBands] = {};
};

} // namespace

ShowLayout::ShowLayout(int fps) : m_fps(fps), m_introFrames(0), m_timelineFrames(0) {
    // The core on the virtual clock, silent: the intro's length depends only
    // on the clock, and the timeline ends with the first frame past the time
    // limit, whatever the music.
    VirtualClock clock(fps, nullptr);
    ShowCore core(clock);
    while (core.playFrame(nullptr)) {
        if (core.frame().intro)
            ++m_introFrames;
        else
            ++m_timelineFrames;
    }
}

int64_t ShowLayout::frameAtOrAfter(double seconds) const {
    // A tolerance well below a frame keeps "66" at 4 fps on frame 264 even
    // when seconds * fps comes out a hair above the whole number.
    const double x = seconds * m_fps;
    return int64_t(std::ceil(x - 1e-6));
}

int64_t ShowLayout::timelineFrameAt(double playback) const {
    int64_t j = int64_t(std::floor(playback * m_fps));
    if (j < 0) j = 0;
    while (j > 0 && playbackTime(j - 1, m_fps) >= float(playback)) --j;
    while (playbackTime(j, m_fps) < float(playback)) ++j;
    return m_introFrames + j;
}

bool selectFrames(const ShowLayout& layout, bool hasFrom, double from, bool hasTo, double to,
                  FrameRange& range, std::string& error) {
    const int64_t total = layout.totalFrames();
    range.first = hasFrom ? layout.frameAtOrAfter(from) : 0;
    range.end = hasTo ? std::min(layout.frameAtOrAfter(to), total) : total;
    if (range.first >= total) {
        std::ostringstream why;
        why << "the show ends at " << layout.showTime(total) << " s at " << layout.fps()
            << " fps; --from " << from << " is past it";
        error = why.str();
        return false;
    }
    if (range.end <= range.first) {
        std::ostringstream why;
        why << "no frame between " << from << " and " << to << " s at " << layout.fps() << " fps";
        error = why.str();
        return false;
    }
    return true;
}

int64_t playPosition(int64_t frame, int fps, int rate) {
    // round(frame * rate / fps) in whole numbers, so no rounding error creeps
    // in over a long show.
    return (2 * frame * int64_t(rate) + fps) / (2 * int64_t(fps));
}

CaptureSpectrum::CaptureSpectrum(const Audio::DecodedAudio& music) : m_music(music) {
    std::memset(m_raw, 0, sizeof m_raw);
    std::memset(m_smoothed, 0, sizeof m_smoothed);
}

void CaptureSpectrum::setPosition(int64_t frame) {
    if (frame != m_position) m_fresh = false;
    m_position = frame;
}

const float* CaptureSpectrum::update() {
    if (!m_fresh) {
        m_analyser.analyse(m_music, m_position, 0, m_raw);
        m_fresh = true;
    }
    float* newest = m_smoother.shift();
    std::memcpy(newest, m_raw, sizeof m_raw);
    m_smoother.combine(m_smoothed);
    return m_smoothed;
}

VirtualClock::VirtualClock(int fps, const Audio::DecodedAudio* music)
    : m_fps(fps), m_music(music), m_spectrum(music ? new CaptureSpectrum(*music) : nullptr) {}

SpectrumSource& VirtualClock::spectrum() {
    if (!m_spectrum) {
        static SilentSpectrum silence;
        return silence;
    }
    m_spectrum->setPosition(playPosition(m_frame - m_base, m_fps, m_music->sampleRate));
    return *m_spectrum;
}

bool VirtualClock::present() {
    ++m_frame;
    return true;
}

ShowSequence::ShowSequence(const ShowLayout& layout, const Audio::DecodedAudio& music,
                           Production* production)
    : m_layout(layout), m_clock(layout.fps(), &music), m_core(m_clock, production) {}

ShowSequence::Frame ShowSequence::next(const DrawTarget* target) {
    m_core.playFrame(target);
    ++m_next;
    return m_core.frame();
}

void ShowSequence::skipTo(int64_t frame) {
    while (m_next < frame && !done()) next();
}

std::string describeFrame(const ShowFrame& f) {
    char line[160];
    std::snprintf(line, sizeof line, "frame %lld %s program %d bass %.6f lowFreq %.6f white %.6f",
                  static_cast<long long>(f.index), f.intro ? "intro" : "timeline",
                  int(f.timelineFrame.program), double(f.timelineFrame.bass),
                  double(f.timelineFrame.lowFreq), double(f.timelineFrame.white));
    return line;
}

std::vector<float> soundtrack(const ShowLayout& layout, const FrameRange& range,
                              const Audio::DecodedAudio& music) {
    const int rate = music.sampleRate;
    const int channels = music.channels;
    const int fps = layout.fps();
    const int64_t first = playPosition(range.first, fps, rate);
    const int64_t end = playPosition(range.end, fps, rate);
    const int64_t start = playPosition(layout.introFrames(), fps, rate);
    const int64_t length = music.frames();

    std::vector<float> out(size_t((end - first) * channels), 0.0f);
    // Show samples [first, end) hold music samples [first - start, end - start).
    const int64_t from = std::max<int64_t>(first, start);
    const int64_t to = std::min<int64_t>(end, start + length);
    for (int64_t n = from; n < to; ++n) {
        const float* src = &music.samples[size_t((n - start) * channels)];
        std::copy(src, src + channels, &out[size_t((n - first) * channels)]);
    }
    return out;
}
