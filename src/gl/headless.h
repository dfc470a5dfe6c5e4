#pragma once
// An OpenGL context without a window or an X display, for the tools that
// draw into frame buffers of their own (capture, benchmarks): made through
// EGL on a GPU listed by the device platform, or on Mesa's surfaceless
// platform where no device is listed. It is the one Context while it lives,
// so everything that needs Context::ms_context works with it; it has no
// window, so swapBuffers and closeRequested are not for it.

#include "gl/context.h"

#include <memory>
#include <string>

class HeadlessContext : public Context {
public:
    // `gpu` is the index of the device among those EGL lists, from 0; -1
    // takes the first device, or the surfaceless platform when none is
    // listed. Throws ContextError with one line that says whether no EGL
    // display or no OpenGL 2.1 context could be had.
    explicit HeadlessContext(int gpu = -1);
    ~HeadlessContext();

    // How the context was made, for example "EGL device 0 of 1" or "EGL
    // surfaceless platform".
    const std::string& origin() const { return m_origin; }

private:
    void release();

    void* m_display = nullptr;
    void* m_context = nullptr;
    std::string m_origin;
};

// Vendor, renderer and version strings of the current OpenGL context, joined
// with " | ".
std::string rendererDescription();
