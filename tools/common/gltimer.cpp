#include "gltimer.h"

#include <GL/glew.h>

#include <algorithm>
#include <chrono>
#include <cmath>

bool isSoftwareRenderer(const std::string& renderer) {
    return renderer.find("llvmpipe") != std::string::npos ||
           renderer.find("softpipe") != std::string::npos;
}

GlTimer::GlTimer(bool queries) : m_query(queries && (GLEW_ARB_timer_query || GLEW_VERSION_3_3)) {
    if (m_query) glGenQueries(1, &m_id);
}

GlTimer::~GlTimer() {
    if (m_query) glDeleteQueries(1, &m_id);
}

const char* GlTimer::method() const {
    return m_query ? "GL timer queries" : "glFinish and wall clock";
}

double GlTimer::measure(const std::function<void()>& draw) {
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

double medianOf(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

double percentileOf(std::vector<double> values, double p) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    size_t rank = size_t(std::ceil(p / 100.0 * double(values.size())));
    rank = std::min(std::max<size_t>(rank, 1), values.size());
    return values[rank - 1];
}
