#pragma once
// The timeline's state machine: which scene plays, what the shaders are fed,
// when flashes fire and lyrics change. It knows nothing of OpenGL: each frame
// it takes the clock reading and a spectrum source and says what to draw.

#include "scenes.h"

#include <cstdint>

// Anything that answers `update` with a fresh 256-band smoothed spectrum,
// lowest band first. Each call is one analysis step.
class SpectrumSource {
public:
    virtual ~SpectrumSource() = default;
    virtual const float* update() = 0;
};

namespace TimelineTables {
constexpr int kFlashCount = 6;
extern const float flashTimes[kFlashCount];
extern const float flashLevels[kFlashCount];
constexpr int kLyricCount = 19;
extern const float lyricTimes[kLyricCount];
extern const int lyricImages[kLyricCount];
constexpr float kWarpStart = 26.336f;
constexpr float kTimeLimit = 165.0f;
} // namespace TimelineTables

// Everything one frame draws, as the state machine decided it.
struct TimelineFrame {
    float t = 0;                 // playback time of the frame
    SceneProgram program = SceneProgram::Cloud;
    // Scene program uniforms.
    float lowFreq = 0;
    float time = 0;              // the scene clock
    float bass = 0;
    float rtime = 0;             // unwarped playback time, for the credits scene
    bool usesImages = false;     // the credits scene samples "blue.png" and "credit.png"
    // Post pass.
    int lyricsImage = 0;         // 0 to 17
    float postTime = 0;
    float postBass = 0;
    float white = 0;
};

class Timeline {
public:
    // One frame's decisions at playback time t: exactly six spectrum calls,
    // in order, the flash and lyrics steps and the uniform values.
    TimelineFrame step(float t, SpectrumSource& spectrum);

    // After the frame is drawn: Escape or passing the time limit ends the
    // show after this frame.
    void endFrame(float t, bool escapePressed);

    // After the swap: the flash decays by (1 - seconds since the previous
    // frame's end). `now` is the clock's reading as it comes, not narrowed
    // to a float like the frame's times.
    void decayWhite(double now);

    // The clock reading taken at the very end of the frame.
    void setLastTime(float reading) { m_lastTime = reading; }

    bool quitRequested() const { return m_quitRequested; }
    float whiteLevel() const { return m_whiteLevel; }
    float warp() const { return m_warp; }
    int flashCursor() const { return m_flashCursor; }
    int lyricCursor() const { return m_lyricCursor; }

private:
    float m_whiteLevel = 0;
    float m_warp = 0;
    int m_flashCursor = 0;
    int m_lyricCursor = 0;
    float m_lastTime = 0;
    bool m_quitRequested = false;
};
