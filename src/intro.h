#pragma once
// The intro's state machine: the figure walks in, then the "us" and logo
// sequences play, paced by a step clock of one step per 0.1 s and at most
// one step a frame. It knows nothing of OpenGL: each frame it takes the clock
// readings and says what to draw.

class Intro {
public:
    enum class Phase { Walk, Us, Logo, Done };

    static constexpr int kWalkSteps = 38;
    static constexpr float kWalkAdvance = 27.0f;
    static constexpr float kStepInterval = 0.1f;

    // What one frame draws.
    struct Frame {
        Phase phase;
        bool stepped;    // this frame carried a step
        int walkFrame;   // 0 to 7
        float x;         // horizontal offset of the figure
        int usFrame;     // 0 to 6 (phases Us and Logo)
        int logoFrame;   // 0 to 6 (phase Logo)
    };

    // Begins a frame. `clock` is the clock reading at the frame's start (the
    // time since the last frame's end reading is added to the step clock);
    // `reading` is a second reading taken right after it, which becomes the
    // end reading of this frame.
    Frame beginFrame(double clock, double reading);
    // Ends the frame: the phase moves on if its end was reached.
    void endFrame();

    Phase phase() const { return m_phase; }
    bool done() const { return m_phase == Phase::Done; }

private:
    Phase m_phase = Phase::Walk;
    float m_last = 0.0f;
    float m_acc = 0.0f;
    float m_reading = 0.0f;
    bool m_phaseEnds = false;
    int m_walkFrame = 2;
    float m_x = -1040.0f;
    int m_steps = 0;
    int m_us = 0;
    int m_logo = 0;
};
