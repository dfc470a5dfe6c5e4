#pragma once
// The smoothing of the music's spectrum: the weighted mean of the last five
// raw spectra, newest weighted most. The music player and the offline
// capture both smooth through it, so the shaders get the same values.

namespace Bx {

class SpectrumSmoother {
public:
    static constexpr int kBands = 256;

    SpectrumSmoother();

    // Begins a step: the oldest spectrum (h4) is dropped, the others move one
    // place back, and h0 becomes a fresh zeroed array, returned so that the
    // caller fills it with the new raw spectrum.
    float* shift();
    // The smoothed spectrum of the current history, written to `out`.
    void combine(float* out) const;

    // Spectrum `age` steps old (0 = newest), for inspection.
    const float* history(int age) const { return m_history[age]; }

private:
    float m_storage[5][kBands];
    float* m_history[5]; // h0 .. h4, newest first
};

} // namespace Bx
