#include "controls.h"

#include <algorithm>

StudioControls::StudioControls(double start, double limit, bool paused)
    : m_time(std::min(std::max(start, 0.0), limit)), m_limit(limit), m_paused(paused) {}

void StudioControls::jumpTo(double time) {
    m_time = std::min(std::max(time, 0.0), m_limit);
    m_jumped = true;
}

bool StudioControls::loopActive() const {
    return m_looping && hasLoopStart() && hasLoopEnd() && m_loopStart < m_loopEnd;
}

void StudioControls::press(StudioKey key) {
    switch (key) {
    case StudioKey::Space: m_paused = !m_paused; break;
    case StudioKey::Left: jumpTo(m_time - 1.0); break;
    case StudioKey::Right: jumpTo(m_time + 1.0); break;
    case StudioKey::ShiftLeft: jumpTo(m_time - 10.0); break;
    case StudioKey::ShiftRight: jumpTo(m_time + 10.0); break;
    case StudioKey::Home: jumpTo(0.0); break;
    case StudioKey::LoopStart: m_loopStart = m_time; break;
    case StudioKey::LoopEnd: m_loopEnd = m_time; break;
    case StudioKey::ToggleLoop:
        m_looping = !m_looping;
        // Switched on outside its stretch, the loop starts over at once.
        if (loopActive() && (m_time < m_loopStart || m_time >= m_loopEnd)) jumpTo(m_loopStart);
        break;
    case StudioKey::Hud: m_hud = !m_hud; break;
    case StudioKey::Save: m_save = true; break;
    case StudioKey::Escape: m_quit = true; break;
    }
}

void StudioControls::advance(double seconds) {
    if (m_paused || seconds <= 0) return;
    const double next = m_time + seconds;
    if (loopActive() && m_time < m_loopEnd && next >= m_loopEnd) {
        jumpTo(m_loopStart);
    } else if (next >= m_limit) {
        m_time = m_limit;
        m_paused = true;
    } else {
        m_time = next;
    }
}

bool StudioControls::takeJump() {
    const bool jumped = m_jumped;
    m_jumped = false;
    return jumped;
}

bool StudioControls::takeSave() {
    const bool save = m_save;
    m_save = false;
    return save;
}

void FrameRate::add(double seconds) {
    if (!(seconds > 0)) return;
    m_times.push_back(seconds);
    m_sum += seconds;
    if (int(m_times.size()) > kFrames) {
        m_sum -= m_times.front();
        m_times.pop_front();
    }
}

double FrameRate::fps() const {
    return m_sum > 0 ? double(m_times.size()) / m_sum : 0.0;
}
