#include "intro.h"

Intro::Frame Intro::beginFrame(double clock, double reading) {
    const float dt = float(clock - double(m_last));
    m_reading = float(reading);
    m_phaseEnds = false;

    m_acc = m_acc + dt;
    const bool step = m_acc > kStepInterval;
    if (step) {
        m_acc = 0.0f;
        switch (m_phase) {
        case Phase::Walk:
            if (m_steps < kWalkSteps) {
                m_walkFrame = (m_walkFrame + 1) % 8;
                m_x = m_x + kWalkAdvance;
                ++m_steps;
            }
            m_phaseEnds = m_steps == kWalkSteps;
            break;
        case Phase::Us:
            if (m_us < 6) ++m_us; else m_phaseEnds = true;
            break;
        case Phase::Logo:
            if (m_logo < 6) ++m_logo; else m_phaseEnds = true;
            break;
        case Phase::Done:
            break;
        }
    }
    return Frame{m_phase, step, m_walkFrame, m_x, m_us, m_logo};
}

void Intro::endFrame() {
    m_last = m_reading;
    if (!m_phaseEnds) return;
    m_phaseEnds = false;
    switch (m_phase) {
    case Phase::Walk: m_phase = Phase::Us; break;
    case Phase::Us: m_phase = Phase::Logo; break;
    case Phase::Logo: m_phase = Phase::Done; break;
    case Phase::Done: break;
    }
}
