#include "audio/position.h"

#include <algorithm>
#include <cmath>

namespace Audio {

PlayPosition::PlayPosition(int rate, int64_t length, bool followsClock, int64_t latency)
    : m_rate(rate > 0 ? rate : 1), m_length(std::max<int64_t>(length, 0)),
      m_followsClock(followsClock), m_latency(followsClock ? 0 : std::max<int64_t>(latency, 0)) {}

void PlayPosition::start(double now) {
    m_started = true;
    m_skipped = 0;
    m_leadCount = 0;
    seek(0, now);
}

int64_t PlayPosition::take(int64_t want, double now, int64_t* from) {
    *from = m_cursor;
    if (!m_started || m_paused || want <= 0)
        return 0;
    // How far ahead of the clock this block comes. The first blocks set the
    // reference; a block that comes much later than that starts where the
    // music should be by now. Until the reference is known, only a block
    // late by more than a whole block is moved on.
    const int64_t clock = m_anchorFrame + static_cast<int64_t>(std::floor((now - m_anchorTime) * m_rate));
    const int64_t lead = m_cursor - clock;
    int64_t behind = 0;
    if (m_leadCount < kLeadBlocks) {
        if (m_latency - lead > want)
            behind = m_latency - lead;
        m_leads[m_leadCount++] = lead + behind;
        if (m_leadCount == kLeadBlocks) {
            int64_t sorted[kLeadBlocks];
            std::copy(m_leads, m_leads + kLeadBlocks, sorted);
            std::nth_element(sorted, sorted + kLeadBlocks / 2, sorted + kLeadBlocks);
            m_leadRef = sorted[kLeadBlocks / 2];
        }
    } else if (m_leadRef - lead > static_cast<int64_t>(kLateTolerance * m_rate)) {
        behind = m_leadRef - lead;
    }
    if (behind > 0) {
        const int64_t to = std::min(m_cursor + behind, m_length);
        m_skipped += to - m_cursor;
        m_cursor = to;
        *from = m_cursor;
    }
    int64_t count = std::min(want, m_length - m_cursor);
    if (count <= 0)
        return 0;
    // The block now handed over starts playing about now.
    m_stampFrame = m_cursor;
    m_stampTime = now;
    m_cursor += count;
    m_limit = m_cursor;
    return count;
}

int64_t PlayPosition::at(double now) {
    if (!m_started)
        return 0;
    if (m_paused)
        return m_reported;
    // What is heard: the stamped block started playing its first frame
    // the latency after it was handed over.
    double elapsed = std::max(0.0, now - m_stampTime);
    double moved = std::floor(elapsed * m_rate) - static_cast<double>(m_latency);
    int64_t position = m_limit;
    if (moved < static_cast<double>(m_limit - m_stampFrame))
        position = std::max<int64_t>(m_stampFrame + static_cast<int64_t>(moved), 0);
    position = std::min(position, m_length);
    m_reported = std::max(m_reported, position);
    return m_reported;
}

void PlayPosition::pause(double now) {
    if (m_paused)
        return;
    at(now); // freezes the position at m_reported
    m_paused = true;
}

void PlayPosition::resume(double now) {
    if (!m_paused)
        return;
    m_paused = false;
    m_stampFrame = m_reported + m_latency;
    m_stampTime = now;
    m_limit = m_followsClock ? m_length : std::max(m_cursor, m_reported);
    // The clock goes on from where the music stood.
    m_anchorFrame = m_reported;
    m_anchorTime = now;
}

void PlayPosition::seek(int64_t frame, double now) {
    frame = std::clamp<int64_t>(frame, 0, m_length);
    m_anchorFrame = frame;
    m_anchorTime = now;
    m_reported = frame;
    // Following a device, the next block starts where the music will be
    // when it is heard, and the position waits for the device to take it.
    m_cursor = std::min(frame + m_latency, m_length);
    m_stampFrame = m_cursor;
    m_stampTime = now;
    m_limit = m_followsClock ? m_length : frame;
}

bool PlayPosition::handedOut(double now) {
    if (m_followsClock)
        return ended(now);
    return m_started && m_cursor >= m_length;
}

} // namespace Audio
