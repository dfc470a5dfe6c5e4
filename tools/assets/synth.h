#pragma once
// Building blocks of the soundtrack's synthesizer: oscillators, filters,
// envelopes, effects and a stereo buffer to mix into. Everything is
// deterministic: the noise comes from a seeded generator, so two runs give
// the same samples.

#include <cmath>
#include <cstdint>
#include <vector>

namespace Synth {

constexpr int kRate = 44100;
constexpr float kPi = 3.14159265358979f;

// Constant-power panning gains for a position from -1 (left) to 1 (right),
// both 1 in the centre.
struct Pan {
    float l, r;
    explicit Pan(float position) {
        float a = (position + 1.0f) * 0.25f * kPi;
        l = std::cos(a) * 1.41421356f;
        r = std::sin(a) * 1.41421356f;
    }
};

// Two-channel float signal, left and right kept apart.
struct Stereo {
    std::vector<float> l, r;
    explicit Stereo(size_t frames = 0) : l(frames, 0.0f), r(frames, 0.0f) {}
    size_t frames() const { return l.size(); }
    // Adds `v` at frame `i` with the given panning; frames outside the
    // buffer are dropped.
    void add(long i, float v, const Pan& pan) { add2(i, v * pan.l, v * pan.r); }
    void add(long i, float v) { add2(i, v, v); }
    void add2(long i, float vl, float vr) {
        if (i < 0 || size_t(i) >= l.size()) return;
        l[i] += vl;
        r[i] += vr;
    }
};

// xorshift32: small, fast and the same on every machine.
class Noise {
public:
    explicit Noise(uint32_t seed) : m_state(seed ? seed : 0x9e3779b9u) {}
    uint32_t next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    // Uniform in [-1, 1).
    float white() { return float(next() >> 8) * (2.0f / 16777216.0f) - 1.0f; }
    // Uniform in [0, 1).
    float unit() { return float(next() >> 8) * (1.0f / 16777216.0f); }

private:
    uint32_t m_state;
};

inline float midiToHz(float note) { return 440.0f * std::pow(2.0f, (note - 69.0f) / 12.0f); }

// Band-limited step correction (polyBLEP) for a phase in [0, 1) that
// advances `dt` per sample.
inline float polyBlep(float t, float dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
        t = (t - 1.0f) / dt;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

// Alias-suppressed sawtooth, -1..1.
class Saw {
public:
    explicit Saw(float phase = 0.0f) : m_phase(phase) {}
    float next(float hz) {
        float dt = hz / kRate;
        float v = 2.0f * m_phase - 1.0f - polyBlep(m_phase, dt);
        m_phase += dt;
        if (m_phase >= 1.0f) m_phase -= 1.0f;
        return v;
    }

private:
    float m_phase;
};

// Alias-suppressed pulse with duty `width` (0..1).
class Pulse {
public:
    float next(float hz, float width = 0.5f) {
        float dt = hz / kRate;
        float v = m_phase < width ? 1.0f : -1.0f;
        v += polyBlep(m_phase, dt);
        float t2 = m_phase + 1.0f - width;
        if (t2 >= 1.0f) t2 -= 1.0f;
        v -= polyBlep(t2, dt);
        m_phase += dt;
        if (m_phase >= 1.0f) m_phase -= 1.0f;
        return v;
    }

private:
    float m_phase = 0.0f;
};

class Sine {
public:
    explicit Sine(double phase = 0.0) : m_phase(phase) {}
    float next(float hz) {
        float v = float(std::sin(2.0 * M_PI * m_phase));
        m_phase += double(hz) / kRate;
        if (m_phase >= 1.0) m_phase -= 1.0;
        return v;
    }

private:
    double m_phase;
};

// Two-pole state-variable filter (trapezoidal integration), stable under
// fast cutoff changes. Gives low, band and high outputs at once.
class Svf {
public:
    struct Out {
        float low, band, high;
    };
    void set(float cutoffHz, float q) {
        if (cutoffHz > kRate * 0.45f) cutoffHz = kRate * 0.45f;
        if (cutoffHz < 5.0f) cutoffHz = 5.0f;
        float g = std::tan(kPi * cutoffHz / kRate);
        m_k = 1.0f / q;
        m_a1 = 1.0f / (1.0f + g * (g + m_k));
        m_a2 = g * m_a1;
        m_a3 = g * m_a2;
    }
    Out process(float x) {
        float v3 = x - m_ic2;
        float v1 = m_a1 * m_ic1 + m_a2 * v3;
        float v2 = m_ic2 + m_a2 * m_ic1 + m_a3 * v3;
        m_ic1 = 2.0f * v1 - m_ic1;
        m_ic2 = 2.0f * v2 - m_ic2;
        return {v2, v1, x - m_k * v1 - v2};
    }
    float low(float x) { return process(x).low; }
    float band(float x) { return process(x).band; }
    float high(float x) { return process(x).high; }

private:
    float m_k = 1.0f, m_a1 = 0.0f, m_a2 = 0.0f, m_a3 = 0.0f;
    float m_ic1 = 0.0f, m_ic2 = 0.0f;
};

// Linear attack, exponential-ish decay to a sustain level, linear release
// after `gate` seconds. `at` is the time since the note started.
struct Adsr {
    float attack = 0.005f, decay = 0.1f, sustain = 1.0f, release = 0.05f;
    float at(float t, float gate) const {
        auto held = [&](float s) {
            if (s < attack) return s / attack;
            return sustain + (1.0f - sustain) * std::exp(-(s - attack) / decay);
        };
        if (t < 0.0f) return 0.0f;
        if (t < gate) return held(t);
        float r = (t - gate) / release;
        if (r >= 1.0f) return 0.0f;
        return held(gate) * (1.0f - r);
    }
    float length(float gate) const { return gate + release; }
};

// Stereo reverb: eight damped comb filters per side feeding four all-pass
// stages, the right side detuned by a few samples for width.
class Reverb {
public:
    Reverb(float roomSize, float damping);
    // Adds the reverberated `in` (mono send) into `out`, scaled by `wet`.
    void process(const std::vector<float>& in, Stereo& out, float wet);

private:
    struct Comb {
        std::vector<float> buf;
        size_t pos = 0;
        float store = 0.0f;
    };
    struct AllPass {
        std::vector<float> buf;
        size_t pos = 0;
    };
    Comb m_combs[2][8];
    AllPass m_allpasses[2][4];
    float m_feedback, m_damp;
};

// Look-ahead peak limiter: keeps every sample of `s` within +-`ceiling`.
// The gain each peak needs is reached through a 1.5 ms ramp before it and
// recovers over about 60 ms, so transients are tamed without clicks.
void limit(Stereo& s, float ceiling);

// Ping-pong echo with a low-passed feedback path.
void pingPong(const std::vector<float>& in, Stereo& out, float delaySeconds, float feedback,
              float wet);

} // namespace Synth
