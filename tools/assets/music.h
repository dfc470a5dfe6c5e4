#pragma once
// The soundtrack: an original piece at 146 beats a minute whose sections
// change on the show's cues and whose lead voice starts a phrase at every
// lyric change. Rendered sample by sample by our own synthesizer.

#include "synth.h"

namespace Music {

constexpr double kBpm = 146.0;
constexpr double kBeat = 60.0 / kBpm;
// Time of beat 0: the show's cues (26.336 s, 52.635 s, ...) fall within a
// few hundredths of a second of beats 64, 128, ... of this grid.
constexpr double kOrigin = 0.03;
// Length of the rendered track in seconds; everything has faded by 165 s.
constexpr double kLength = 170.0;

inline double beatTime(double beat) { return kOrigin + beat * kBeat; }

struct Stats {
    float peak = 0.0f;        // largest absolute sample after the master stage
    float masterGain = 1.0f;  // gain the master stage applied to keep the peak down
};

// Renders the whole track, 44.1 kHz stereo, peak below -0.3 dBFS.
Synth::Stereo render(Stats* stats = nullptr);

} // namespace Music
