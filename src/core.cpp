#include "core.h"

namespace {

void drawDecisions(Production& production, const ShowFrame& frame, const DrawTarget& target) {
    if (frame.intro) {
        drawIntroFrame(production.intro(), frame.introFrame);
        return;
    }
    production.drawScenePass(frame.timelineFrame, target);
    production.drawPostPass(frame.timelineFrame, target);
}

} // namespace

void drawShowFrame(Production& production, const ShowFrame& frame, const DrawTarget& target) {
    if (!frame.intro) production.loadTimeline();
    beginTarget(target);
    drawDecisions(production, frame, target);
}

ShowCore::ShowCore(ShowHost& host, Production* production)
    : m_host(host), m_production(production) {}

bool ShowCore::enterTimeline() {
    if (m_production) m_production->loadTimeline();
    m_host.restartClock();
    m_host.startMusic();
    if (m_quitDuringIntro) {
        m_stage = Stage::Ended;
        return false;
    }
    m_stage = Stage::Timeline;
    return true;
}

bool ShowCore::presented() {
    if (m_host.present()) return true;
    // The viewer closed the window: the show ends at once.
    m_closed = true;
    m_stage = Stage::Ended;
    return false;
}

bool ShowCore::playFrame(const DrawTarget* target) {
    if (m_stage == Stage::Start) {
        if (m_production) setIntroState();
        m_host.restartClock();
        m_stage = Stage::Intro;
    }
    if (m_stage == Stage::Intro && m_intro.done() && !enterTimeline()) return false;
    if (m_stage == Stage::Ended) return false;

    const bool draw = target && m_production;
    if (draw) beginTarget(*target);
    ShowFrame& f = m_frame;
    f.index = m_played++;
    f.intro = m_stage == Stage::Intro;
    if (f.intro) {
        const double clock = m_host.clock();
        const double reading = m_host.clock();
        f.introFrame = m_intro.beginFrame(clock, reading);
        if (draw) drawDecisions(*m_production, f, *target);
        if (m_host.quitPressed()) m_quitDuringIntro = true;
        if (!presented()) return true;
        if (m_production) m_production->uploadAhead();
        m_intro.endFrame();
        return true;
    }

    const float t = float(m_host.clock());
    f.timelineFrame = m_timeline.step(t, m_host.spectrum());
    if (draw) drawDecisions(*m_production, f, *target);
    m_timeline.endFrame(t, m_host.quitPressed());
    if (!presented()) return true;
    // After the swap: the flash decays by the clock's reading as it comes;
    // the frame's last time is narrowed like the frame's times.
    m_timeline.decayWhite(m_host.clock());
    const float reading = float(m_host.clock());
    if (m_timeline.quitRequested()) {
        m_stage = Stage::Ended;
        return true;
    }
    m_timeline.setLastTime(reading);
    return true;
}
