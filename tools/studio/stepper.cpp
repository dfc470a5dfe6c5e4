#include "stepper.h"

#include <algorithm>
#include <cmath>

ShowStepper::ShowStepper(int rate, const Audio::DecodedAudio& music)
    : m_layout(rate), m_music(music), m_sequence(new ShowSequence(m_layout, music)) {}

const ShowSequence::Frame& ShowStepper::frameAt(double playback) {
    const int64_t last = m_layout.timelineFrames() - 1;
    const int64_t j = std::min(std::max<int64_t>(int64_t(std::floor(playback * m_layout.fps())), 0), last);
    const int64_t frame = m_layout.introFrames() + j;
    if (m_haveLast && m_last.index == frame) return m_last;
    if (frame < m_sequence->position()) m_sequence.reset(new ShowSequence(m_layout, m_music));
    m_sequence->skipTo(frame);
    m_last = m_sequence->next();
    m_haveLast = true;
    return m_last;
}
