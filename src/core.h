#pragma once
// The core of the show: what frame comes when, on a clock that a host hands
// it. Every host drives the show through it: the live window (the window
// library's clock), the capture tool and the studio (a virtual clock at a
// fixed rate). Each frame it reads the clock, steps the intro or the
// timeline in one fixed order, draws into the target the host names, lets
// the host present the frame and reads the clock again for the frame's end.
//
// It knows OpenGL, the production and the interfaces below; no window
// library, toolkit or sound device.

#include "show.h"

#include <cstdint>

// What a host hands the core.
class ShowHost {
public:
    virtual ~ShowHost() = default;
    // Seconds since the clock was last restarted.
    virtual double clock() = 0;
    // The clock reads 0 from now on: before the intro's first frame and, the
    // timeline's images loaded, just before the music starts.
    virtual void restartClock() = 0;
    // Starts the music, right after the clock's second restart.
    virtual void startMusic() {}
    // The spectrum source of the timeline frame about to be stepped.
    virtual SpectrumSource& spectrum() = 0;
    // Whether the viewer asked to stop (Escape) since the last time asked.
    // During the intro the request is kept and the timeline then skipped;
    // during the timeline the show ends after the frame.
    virtual bool quitPressed() { return false; }
    // The frame just drawn is shown (the live window swaps its buffers).
    // False when the viewer closed the window: the show ends at once.
    virtual bool present() = 0;
};

// One frame's decisions.
struct ShowFrame {
    int64_t index = 0;  // frames played before it
    bool intro = false; // an intro frame, else a timeline frame
    Intro::Frame introFrame{};
    TimelineFrame timelineFrame;
};

class ShowCore {
public:
    // Without a production nothing is drawn or loaded: the core only
    // decides, as the capture tool does for frames before its range.
    explicit ShowCore(ShowHost& host, Production* production = nullptr);

    // Plays the next frame, drawn into `target` when a target and a
    // production are given. Between the intro's last frame and the
    // timeline's first it loads the timeline's images (the intro's last
    // frame stays on screen), restarts the clock and starts the music.
    // Returns false, playing nothing, once the show has ended.
    bool playFrame(const DrawTarget* target);

    // The frame last played.
    const ShowFrame& frame() const { return m_frame; }
    bool ended() const { return m_stage == Stage::Ended; }
    // The show ended because the host's window was closed.
    bool closed() const { return m_closed; }
    bool inTimeline() const { return m_stage == Stage::Timeline; }
    // The intro has played its last step: the next frame loads the timeline.
    bool introOver() const { return m_stage == Stage::Intro && m_intro.done(); }
    const Timeline& timeline() const { return m_timeline; }

private:
    enum class Stage { Start, Intro, Timeline, Ended };
    bool enterTimeline();
    // Lets the host present the frame; false (the show ended) when the
    // window was closed.
    bool presented();

    ShowHost& m_host;
    Production* m_production;
    Stage m_stage = Stage::Start;
    Intro m_intro;
    Timeline m_timeline;
    ShowFrame m_frame;
    int64_t m_played = 0;
    bool m_quitDuringIntro = false;
    bool m_closed = false;
};

// Draws a frame's decisions into `target`: the intro's pictures, or the
// scene pass and the post pass (the timeline's images are loaded first if
// they are not yet). Used by the core, and by hosts that draw a frame again
// (the studio, paused).
void drawShowFrame(Production& production, const ShowFrame& frame, const DrawTarget& target);
