#pragma once
// The show's state at any playback time, exactly as the capture tool reaches
// it: the timeline and the spectrum's smoothing history are stepped frame by
// frame at a steady rate from the start, without drawing. Going back steps
// from the start again, so a jump lands where a straight run would be.

#include "sequence.h"

#include <memory>

class ShowStepper {
public:
    ShowStepper(int rate, const Audio::DecodedAudio& music);

    // The timeline frame shown at playback time `playback` at this rate (the
    // last one whose time is not after it, within the show), with the state
    // moved past it as after drawing it. Asking again for the same frame
    // gives it again without stepping.
    const ShowSequence::Frame& frameAt(double playback);

    const ShowLayout& layout() const { return m_layout; }
    const ShowSequence& sequence() const { return *m_sequence; }

private:
    ShowLayout m_layout;
    const Audio::DecodedAudio& m_music;
    std::unique_ptr<ShowSequence> m_sequence;
    ShowSequence::Frame m_last;
    bool m_haveLast = false;
};
