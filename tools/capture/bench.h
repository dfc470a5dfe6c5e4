#pragma once
// The scene benchmark: each of the five scenes and the post pass drawn by the
// show's own code for a number of frames taken from the show's timeline.

#include "sequence.h"

#include <string>
#include <vector>

class ShowRenderer;

struct PassTiming {
    std::string name;
    double medianMs = 0;
    double p95Ms = 0;
};

// `frames` frames of each scene's first stretch (spread evenly over it) and
// of the post pass (spread over the whole timeline); returns the timings in
// the order cloud, lattice, credits, column, noisy box, post. Progress on
// standard error.
std::vector<PassTiming> runBenchmark(ShowRenderer& renderer, const ShowLayout& layout,
                                     const Audio::DecodedAudio& music, int frames,
                                     bool useTimerQueries, std::string& method);

// The table as printed: one line a pass with median and 95th-percentile
// milliseconds and frames per second; scenes also with the rate of a whole
// frame (scene and post pass).
std::string formatBenchmark(const std::vector<PassTiming>& timings);

// Show frames [first, end) of scene `scene` (0 to 4) in its first stretch.
FrameRange sceneFrames(const ShowLayout& layout, int scene);
// `count` frames spread evenly over `range`, in order.
std::vector<int64_t> spreadFrames(const FrameRange& range, int count);
