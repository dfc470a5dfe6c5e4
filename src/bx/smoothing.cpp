#include "bx/smoothing.h"

#include <cstring>

namespace Bx {

namespace {
// Newest first; they add up to 2.1625.
constexpr float kWeight1 = 0.6f;
constexpr float kWeight2 = 0.3375f;
constexpr float kWeight3 = 0.15f;
constexpr float kWeight4 = 0.075f;
// 1 / 2.1625 to eight digits.
constexpr float kNormalise = 0.46242777f;
} // namespace

// ------------------------------------------------------- SpectrumSmoother

SpectrumSmoother::SpectrumSmoother() {
    std::memset(m_storage, 0, sizeof m_storage);
    for (int i = 0; i < 5; ++i)
        m_history[i] = m_storage[i];
}

float* SpectrumSmoother::shift() {
    float* fresh = m_history[4];
    for (int i = 4; i > 0; --i)
        m_history[i] = m_history[i - 1];
    m_history[0] = fresh;
    std::memset(fresh, 0, sizeof(float) * kBands);
    return fresh;
}

void SpectrumSmoother::combine(float* out) const {
    const float* h0 = m_history[0];
    const float* h1 = m_history[1];
    const float* h2 = m_history[2];
    const float* h3 = m_history[3];
    const float* h4 = m_history[4];
    for (int i = 0; i < kBands; ++i)
        out[i] = (h0[i] + kWeight1 * h1[i] + kWeight2 * h2[i] + kWeight3 * h3[i] +
                  kWeight4 * h4[i]) *
                 kNormalise;
}

} // namespace Bx
