#include "synth.h"

#include <algorithm>

namespace Synth {

namespace {
const int kCombLengths[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
const int kAllPassLengths[4] = {556, 441, 341, 225};
const int kStereoSpread = 23;
} // namespace

Reverb::Reverb(float roomSize, float damping) : m_feedback(roomSize), m_damp(damping) {
    for (int side = 0; side < 2; ++side) {
        int extra = side * kStereoSpread;
        for (int i = 0; i < 8; ++i) m_combs[side][i].buf.assign(kCombLengths[i] + extra, 0.0f);
        for (int i = 0; i < 4; ++i)
            m_allpasses[side][i].buf.assign(kAllPassLengths[i] + extra, 0.0f);
    }
}

void Reverb::process(const std::vector<float>& in, Stereo& out, float wet) {
    size_t n = std::min(in.size(), out.frames());
    const float inputGain = 0.015f;
    for (size_t i = 0; i < n; ++i) {
        float x = in[i] * inputGain;
        for (int side = 0; side < 2; ++side) {
            float acc = 0.0f;
            for (Comb& c : m_combs[side]) {
                float y = c.buf[c.pos];
                c.store = y * (1.0f - m_damp) + c.store * m_damp;
                c.buf[c.pos] = x + c.store * m_feedback;
                if (++c.pos == c.buf.size()) c.pos = 0;
                acc += y;
            }
            for (AllPass& a : m_allpasses[side]) {
                float b = a.buf[a.pos];
                a.buf[a.pos] = acc + b * 0.5f;
                if (++a.pos == a.buf.size()) a.pos = 0;
                acc = b - acc;
            }
            (side == 0 ? out.l : out.r)[i] += acc * wet;
        }
    }
}

void pingPong(const std::vector<float>& in, Stereo& out, float delaySeconds, float feedback,
              float wet) {
    size_t d = size_t(delaySeconds * kRate);
    std::vector<float> lineL(d, 0.0f), lineR(d, 0.0f);
    size_t pos = 0;
    float dampL = 0.0f, dampR = 0.0f;
    size_t n = std::min(in.size(), out.frames());
    for (size_t i = 0; i < n; ++i) {
        float yl = lineL[pos], yr = lineR[pos];
        // The left line is fed by the input and the right line's output, the
        // right line by the left's: the echo bounces between the sides.
        dampL += 0.35f * (yr - dampL);
        dampR += 0.35f * (yl - dampR);
        lineL[pos] = in[i] + dampL * feedback;
        lineR[pos] = dampR * feedback;
        if (++pos == d) pos = 0;
        out.l[i] += yl * wet;
        out.r[i] += yr * wet;
    }
}

void limit(Stereo& s, float ceiling) {
    size_t n = s.frames();
    const size_t ahead = size_t(0.0015 * kRate);
    std::vector<float> need(n);
    for (size_t i = 0; i < n; ++i) {
        float p = std::max(std::fabs(s.l[i]), std::fabs(s.r[i]));
        need[i] = p > ceiling ? ceiling / p : 1.0f;
    }
    // Smallest need over the look-ahead window (a sliding minimum).
    std::vector<float> window(n);
    std::vector<size_t> queue(n + 1);
    size_t head = 0, tail = 0;
    for (size_t i = n; i-- > 0;) {
        while (tail > head && need[queue[tail - 1]] >= need[i]) --tail;
        queue[tail++] = i;
        while (queue[head] > i + ahead) ++head;
        window[i] = need[queue[head]];
    }
    // Release towards 1, never above what the window asks for.
    const float release = 1.0f - std::exp(-1.0f / (0.06f * kRate));
    float g = 1.0f;
    for (size_t i = 0; i < n; ++i) {
        g = std::min(window[i], g + (1.0f - g) * release);
        window[i] = g;
    }
    // A moving average over the look-ahead length ramps into each reduction.
    double sum = 0.0;
    for (size_t i = 0; i < n; ++i) {
        sum += window[i];
        if (i >= ahead + 1) sum -= window[i - ahead - 1];
        float avg = float(sum / double(std::min(i + 1, ahead + 1)));
        s.l[i] *= avg;
        s.r[i] *= avg;
    }
}

} // namespace Synth
