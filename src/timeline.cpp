#include "timeline.h"

namespace TimelineTables {

const float flashTimes[kFlashCount] = {13.08f, 26.336f, 39.479f, 52.635f, 106.876f, 133.208f};
const float flashLevels[kFlashCount] = {0.75f, 1.0f, 0.5f, 0.8f, 0.5f, 0.7f};

const float lyricTimes[kLyricCount] = {
    79.62f,  79.93f,  80.24f,  80.54f,  84.04f,  87.74f,  90.61f,  94.52f,  98.83f, 102.74f,
    106.43f, 110.54f, 114.24f, 118.56f, 122.46f, 126.16f, 130.06f, 133.15f, 180.0f};
const int lyricImages[kLyricCount] = {0, 1,  2,  3,  4,  5,  6,  7,  8, 9,
                                      10, 11, 12, 13, 14, 15, 16, 17, 0};

} // namespace TimelineTables

using namespace TimelineTables;

TimelineFrame Timeline::step(float t, SpectrumSource& spectrum) {
    TimelineFrame frame;
    frame.t = t;

    const float s2 = spectrum.update()[2];
    const float s3 = spectrum.update()[3];

    if (m_flashCursor < kFlashCount && t > flashTimes[m_flashCursor]) {
        m_whiteLevel = flashLevels[m_flashCursor];
        ++m_flashCursor;
    }

    frame.program = sceneAt(t);
    frame.usesImages = programInfo(frame.program).usesImages;
    frame.rtime = t;

    const float band1 = spectrum.update()[1];
    const float band2 = spectrum.update()[2];
    frame.lowFreq = (band1 + band2) * 0.5f;

    if (t <= kWarpStart) {
        frame.time = t;
        frame.bass = spectrum.update()[3];
        m_warp = 0.0f;
    } else {
        frame.bass = 0.5f * spectrum.update()[3] + 0.17f;
        m_warp = m_warp + 0.5f * (0.5f * s3 + s2);
        frame.time = t + 0.25f * m_warp;
    }

    if (m_lyricCursor < kLyricCount && t >= lyricTimes[m_lyricCursor]) ++m_lyricCursor;
    frame.lyricsImage = lyricImages[m_lyricCursor < kLyricCount ? m_lyricCursor : 0];

    frame.postTime = t;
    frame.postBass = spectrum.update()[3];
    frame.white = m_whiteLevel;
    return frame;
}

void Timeline::endFrame(float t, bool escapePressed) {
    if (escapePressed) m_quitRequested = true;
    if (t > kTimeLimit) m_quitRequested = true;
}

void Timeline::decayWhite(double now) {
    m_whiteLevel = float(m_whiteLevel * (m_lastTime + 1.0f - now));
    if (m_whiteLevel < 0.001f) m_whiteLevel = 0.0f;
}
