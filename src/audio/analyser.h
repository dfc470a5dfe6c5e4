#pragma once
// The magnitude spectrum of what is playing, on the scale the shaders were
// tuned for.
//
// At play position p (in frames) the analysis takes the N = 512 newest
// samples of one channel, frames p-512 .. p-1 (zeros for frames before the
// start), multiplies them by the triangle window w[n] = 1 - |2n/N - 1| and
// divides by N, runs a real FFT and reports 2.5 * |X[k]| for k = 0..255,
// clamped to at most 1. Band k is centred on k * rate / 512 Hz. A full-scale
// sine on a band centre reads 0.625 in that band and a constant offset of 1
// reads 1 (clamped from 1.25) in band 0. At or past the end of the stream
// (p >= frames()) and at p <= 0 every band is 0.

#include "audio/decoder.h"

#include <cstdint>

struct kiss_fftr_state;

namespace Audio {

constexpr int kSpectrumSize = 512;            // samples per analysis
constexpr int kSpectrumBands = kSpectrumSize / 2; // values reported

// Reusable analyser: owns the FFT plan and scratch buffers, so one analysis
// allocates nothing. Not thread-safe; use one analyser per thread.
class SpectrumAnalyser {
public:
    SpectrumAnalyser();
    ~SpectrumAnalyser();
    SpectrumAnalyser(const SpectrumAnalyser&) = delete;
    SpectrumAnalyser& operator=(const SpectrumAnalyser&) = delete;

    // Spectrum of channel `channel` of `audio` at play position `frame`,
    // written to out[0..255]. A channel the stream does not have gives zeros.
    void analyse(const DecodedAudio& audio, int64_t frame, int channel, float* out);

private:
    kiss_fftr_state* m_plan;
    float* m_input;  // kSpectrumSize windowed samples
    void* m_output;  // kSpectrumSize / 2 + 1 complex values
};

// Spectrum of channel 0 (the left channel, no downmix) of `audio` at play
// position `frame`, into out[0..255]. Pure; safe to call from any thread.
void spectrumAt(const DecodedAudio& audio, int64_t frame, float out[kSpectrumBands]);

} // namespace Audio
