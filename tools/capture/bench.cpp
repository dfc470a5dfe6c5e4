#include "bench.h"

#include "renderer.h"

#include "gltimer.h"

#include <cstdio>
#include <map>
#include <set>

namespace {

} // namespace

FrameRange sceneFrames(const ShowLayout& layout, int scene) {
    FrameRange range;
    // The schedule's first five stretches play the five programs in order.
    range.first = layout.timelineFrameAt(kSchedule[scene].start);
    range.end = layout.timelineFrameAt(kSchedule[scene + 1].start);
    return range;
}

std::vector<int64_t> spreadFrames(const FrameRange& range, int count) {
    std::vector<int64_t> frames;
    const int64_t n = range.count();
    for (int i = 0; i < count; ++i)
        frames.push_back(range.first + int64_t((double(i) + 0.5) * double(n) / count));
    return frames;
}

std::vector<PassTiming> runBenchmark(ShowRenderer& renderer, const ShowLayout& layout,
                                     const Audio::DecodedAudio& music, int frames,
                                     bool useTimerQueries, std::string& method) {
    // The frames to draw, with the uniforms the show gives them there.
    std::vector<int64_t> wanted[6];
    for (int s = 0; s < 5; ++s) wanted[s] = spreadFrames(sceneFrames(layout, s), frames);
    FrameRange timeline{layout.introFrames(), layout.totalFrames()};
    wanted[5] = spreadFrames(timeline, frames);

    std::set<int64_t> all;
    for (const auto& list : wanted) all.insert(list.begin(), list.end());
    std::map<int64_t, TimelineFrame> chosen;
    ShowSequence sequence(layout, music);
    while (!sequence.done() && !all.empty() && sequence.position() <= *all.rbegin()) {
        ShowSequence::Frame f = sequence.next();
        if (all.count(f.index)) chosen[f.index] = f.timelineFrame;
    }

    Production& show = renderer.production();
    show.loadTimeline();
    const DrawTarget target = renderer.target();
    GlTimer timer(useTimerQueries);
    method = timer.method();
    std::vector<PassTiming> timings;
    for (int pass = 0; pass < 6; ++pass) {
        const bool post = pass == 5;
        auto drawFrame = [&](const TimelineFrame& frame) {
            bindTarget(target);
            if (post)
                show.drawPostPass(frame, target);
            else
                show.drawScenePass(frame, target);
        };
        // The first draw may finish compiling the program in the driver.
        drawFrame(chosen[wanted[pass].front()]);
        std::vector<double> ms;
        for (size_t i = 0; i < wanted[pass].size(); ++i) {
            const TimelineFrame& frame = chosen[wanted[pass][i]];
            ms.push_back(timer.measure([&]() { drawFrame(frame); }));
            std::fprintf(stderr, "\rbench: %-9s frame %zu of %zu", kPrograms[pass].name, i + 1,
                         wanted[pass].size());
            std::fflush(stderr);
        }
        timings.push_back(PassTiming{kPrograms[pass].name, medianOf(ms), percentileOf(ms, 95.0)});
    }
    std::fprintf(stderr, "\n");
    return timings;
}

std::string formatBenchmark(const std::vector<PassTiming>& timings) {
    const double post = timings.empty() ? 0.0 : timings.back().medianMs;
    std::string out;
    char line[160];
    std::snprintf(line, sizeof line, "| %-9s | %9s | %9s | %9s | %14s |\n", "pass", "median ms",
                  "p95 ms", "fps", "fps with post");
    out += line;
    out += "|-----------|----------:|----------:|----------:|---------------:|\n";
    for (size_t i = 0; i < timings.size(); ++i) {
        const PassTiming& t = timings[i];
        const double fps = t.medianMs > 0 ? 1000.0 / t.medianMs : 0.0;
        char whole[32] = "";
        if (i + 1 < timings.size() && t.medianMs + post > 0)
            std::snprintf(whole, sizeof whole, "%.2f", 1000.0 / (t.medianMs + post));
        std::snprintf(line, sizeof line, "| %-9s | %9.2f | %9.2f | %9.2f | %14s |\n",
                      t.name.c_str(), t.medianMs, t.p95Ms, fps, whole);
        out += line;
    }
    return out;
}
