#pragma once
// Timing of GL work for the benchmarks and the capture tool's --bench: GL
// timer queries where they can be trusted, glFinish and a wall clock
// elsewhere. Mesa's software rasterisers have timer queries but leave most of
// the rasterising out of them (llvmpipe reports about a tenth of the
// wall-clock time), so they are timed by the wall clock. Needs a current
// OpenGL context with its entry points loaded.

#include <functional>
#include <string>
#include <vector>

// True for Mesa's software renderers, whose timer queries are not reliable.
bool isSoftwareRenderer(const std::string& renderer);

class GlTimer {
public:
    // With `queries` false, or without timer queries in the driver, times
    // with glFinish and the wall clock.
    explicit GlTimer(bool queries);
    ~GlTimer();
    GlTimer(const GlTimer&) = delete;
    GlTimer& operator=(const GlTimer&) = delete;

    bool usesQueries() const { return m_query; }
    const char* method() const;

    // Milliseconds that `draw` took on the GL side.
    double measure(const std::function<void()>& draw);

private:
    bool m_query;
    unsigned int m_id = 0;
};

// The median of `values` (the mean of the middle two for an even count).
double medianOf(std::vector<double> values);

// The p-th percentile (0 < p <= 100) by the nearest-rank method: the smallest
// value that at least p per cent of the values do not exceed.
double percentileOf(std::vector<double> values, double p);
