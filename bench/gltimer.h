#pragma once
// Timing of GL work for the benchmark programs: GL timer queries where they
// can be trusted, glFinish and a wall clock elsewhere. Mesa's software
// rasterisers have timer queries but leave most of the rasterising out of
// them (llvmpipe reports about a tenth of the wall-clock time), so they are
// timed by the wall clock.

#include <GL/glew.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

// True for Mesa's software renderers, whose timer queries are not reliable.
inline bool isSoftwareRenderer(const std::string& renderer) {
    return renderer.find("llvmpipe") != std::string::npos ||
           renderer.find("softpipe") != std::string::npos;
}

class GlTimer {
public:
    // With `queries` false, or without timer queries in the driver, times
    // with glFinish and the wall clock.
    explicit GlTimer(bool queries)
        : m_query(queries && (GLEW_ARB_timer_query || GLEW_VERSION_3_3)) {
        if (m_query) glGenQueries(1, &m_id);
    }
    ~GlTimer() {
        if (m_query) glDeleteQueries(1, &m_id);
    }
    GlTimer(const GlTimer&) = delete;
    GlTimer& operator=(const GlTimer&) = delete;

    bool usesQueries() const { return m_query; }
    const char* method() const {
        return m_query ? "GL timer queries" : "glFinish and wall clock";
    }

    // Milliseconds that `draw` took on the GL side.
    double measure(const std::function<void()>& draw) {
        if (m_query) {
            glBeginQuery(GL_TIME_ELAPSED, m_id);
            draw();
            glEndQuery(GL_TIME_ELAPSED);
            GLuint64 ns = 0;
            glGetQueryObjectui64v(m_id, GL_QUERY_RESULT, &ns);
            return double(ns) / 1.0e6;
        }
        glFinish();
        auto start = std::chrono::steady_clock::now();
        draw();
        glFinish();
        std::chrono::duration<double, std::milli> d = std::chrono::steady_clock::now() - start;
        return d.count();
    }

private:
    bool m_query;
    GLuint m_id = 0;
};

// The median of `values` (the mean of the middle two for an even count).
inline double medianOf(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

// The p-th percentile (0 < p <= 100) by the nearest-rank method: the smallest
// value that at least p per cent of the values do not exceed.
inline double percentileOf(std::vector<double> values, double p) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    size_t rank = size_t(std::ceil(p / 100.0 * double(values.size())));
    rank = std::min(std::max<size_t>(rank, 1), values.size());
    return values[rank - 1];
}
