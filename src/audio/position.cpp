#include "audio/position.h"

#include <algorithm>
#include <cmath>

namespace Audio {

PlayPosition::PlayPosition(int rate, int64_t length, bool followsClock)
    : m_rate(rate > 0 ? rate : 1), m_length(std::max<int64_t>(length, 0)),
      m_followsClock(followsClock) {}

void PlayPosition::start(double now) {
    m_started = true;
    m_cursor = 0;
    m_stampFrame = 0;
    m_stampTime = now;
    m_limit = m_followsClock ? m_length : 0;
    m_reported = 0;
}

int64_t PlayPosition::take(int64_t want, double now, int64_t* from) {
    *from = m_cursor;
    if (!m_started || m_paused || want <= 0)
        return 0;
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
    double elapsed = std::max(0.0, now - m_stampTime);
    double moved = std::floor(elapsed * m_rate);
    int64_t position = m_limit;
    if (moved < static_cast<double>(m_limit - m_stampFrame))
        position = m_stampFrame + static_cast<int64_t>(moved);
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
    m_stampFrame = m_reported;
    m_stampTime = now;
    m_limit = m_followsClock ? m_length : std::max(m_cursor, m_reported);
}

void PlayPosition::seek(int64_t frame, double now) {
    frame = std::clamp<int64_t>(frame, 0, m_length);
    m_cursor = frame;
    m_stampFrame = frame;
    m_stampTime = now;
    m_reported = frame;
    // Following a device, the position waits for the device to take the
    // block that starts there.
    m_limit = m_followsClock ? m_length : frame;
}

bool PlayPosition::handedOut(double now) {
    if (m_followsClock)
        return ended(now);
    return m_started && m_cursor >= m_length;
}

} // namespace Audio
