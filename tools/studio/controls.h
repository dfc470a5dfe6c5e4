#pragma once
// What the studio's keys do to its clock, apart from any window: playback
// time, pause, jumps, the loop and its marks. The studio then steps the show
// to the time this holds. Nothing here touches OpenGL or the sound device.

#include <deque>

#include <cstdint>

enum class StudioKey {
    Space,      // pause or resume
    Left,       // back 1 s
    Right,      // forward 1 s
    ShiftLeft,  // back 10 s
    ShiftRight, // forward 10 s
    Home,       // back to 0
    LoopStart,  // '[': the loop starts here
    LoopEnd,    // ']': the loop ends here
    ToggleLoop, // 'L'
    Hud,        // F1
    Save,       // 'S'
    Escape,
};

class StudioControls {
public:
    // `limit` is the last playback time there is (the show's time limit).
    StudioControls(double start, double limit, bool paused);

    // Applies a key. Afterwards jumped() says whether the time moved other
    // than by playing, and saveRequested() whether a frame is to be saved.
    void press(StudioKey key);
    // Lets `seconds` of wall time pass: playing, the time moves on; past the
    // loop's end it comes round to the loop's start (a jump); past the limit
    // it stops there, paused.
    void advance(double seconds);

    double time() const { return m_time; }
    bool paused() const { return m_paused; }
    bool looping() const { return m_looping; }
    bool hasLoopStart() const { return m_loopStart >= 0; }
    bool hasLoopEnd() const { return m_loopEnd >= 0; }
    double loopStart() const { return m_loopStart; }
    double loopEnd() const { return m_loopEnd; }
    bool hud() const { return m_hud; }
    bool quit() const { return m_quit; }

    // True once since the last call when the time jumped (the picture's state
    // and the music must be moved to time()).
    bool takeJump();
    // True once since the last call when a frame is to be saved.
    bool takeSave();

private:
    void jumpTo(double time);
    // A loop runs only between two marks in order.
    bool loopActive() const;

    double m_time;
    double m_limit;
    bool m_paused;
    bool m_looping = false;
    double m_loopStart = -1;
    double m_loopEnd = -1;
    bool m_hud = true;
    bool m_quit = false;
    bool m_jumped = false;
    bool m_save = false;
};

// The frame rate shown: frames over the time they took, for the last
// kFrames frames (the mean of their frame times), so one fast frame among
// slow ones does not inflate it.
class FrameRate {
public:
    static constexpr int kFrames = 30;
    // One frame's time in seconds; non-positive times are ignored.
    void add(double seconds);
    // Frames a second over the frames kept; 0 before the first.
    double fps() const;
    // How many frames the rate is taken over.
    double frames() const { return double(m_times.size()); }

private:
    std::deque<double> m_times;
    double m_sum = 0;
};
