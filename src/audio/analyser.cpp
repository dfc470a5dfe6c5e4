#include "audio/analyser.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>

namespace Audio {

namespace {

// The triangle window, divided by N: w[n] / N with w[n] = 1 - |2n/N - 1|.
struct ScaledWindow {
    float values[kSpectrumSize];
    ScaledWindow() {
        const double n = kSpectrumSize;
        for (int i = 0; i < kSpectrumSize; ++i)
            values[i] = static_cast<float>((1.0 - std::fabs(2.0 * i / n - 1.0)) / n);
    }
};

const ScaledWindow& scaledWindow() {
    static const ScaledWindow window;
    return window;
}

// Scale that puts a full-scale sine on a band centre at 0.625.
constexpr float kMagnitudeScale = 2.5f;

} // namespace

SpectrumAnalyser::SpectrumAnalyser() {
    m_plan = kiss_fftr_alloc(kSpectrumSize, 0, nullptr, nullptr);
    if (!m_plan)
        throw std::bad_alloc();
    m_input = new float[kSpectrumSize];
    m_output = new kiss_fft_cpx[kSpectrumSize / 2 + 1];
}

SpectrumAnalyser::~SpectrumAnalyser() {
    delete[] static_cast<kiss_fft_cpx*>(m_output);
    delete[] m_input;
    kiss_fftr_free(m_plan);
}

void SpectrumAnalyser::analyse(const DecodedAudio& audio, int64_t frame, int channel, float* out) {
    const int64_t frames = audio.frames();
    if (frame <= 0 || frame >= frames || channel < 0 || channel >= audio.channels) {
        std::fill(out, out + kSpectrumBands, 0.0f);
        return;
    }
    // Frames frame-512 .. frame-1; those before the start are silence.
    const float* window = scaledWindow().values;
    const int64_t first = frame - kSpectrumSize;
    const int stride = audio.channels;
    const float* samples = audio.samples.data();
    for (int n = 0; n < kSpectrumSize; ++n) {
        int64_t f = first + n;
        m_input[n] = f < 0 ? 0.0f : samples[f * stride + channel] * window[n];
    }
    kiss_fft_cpx* spectrum = static_cast<kiss_fft_cpx*>(m_output);
    kiss_fftr(m_plan, m_input, spectrum);
    for (int k = 0; k < kSpectrumBands; ++k) {
        float magnitude = kMagnitudeScale * std::sqrt(spectrum[k].r * spectrum[k].r +
                                                      spectrum[k].i * spectrum[k].i);
        out[k] = std::min(magnitude, 1.0f);
    }
}

void spectrumAt(const DecodedAudio& audio, int64_t frame, float out[kSpectrumBands]) {
    thread_local SpectrumAnalyser analyser;
    analyser.analyse(audio, frame, 0, out);
}

} // namespace Audio
