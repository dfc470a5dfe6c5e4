// The one OpenGL context of the browser build: WebGL 2 on the page's canvas
// (the element with id "canvas"), made current for the rest of the page's
// life. The page shows the canvas; the browser presents what is drawn when
// the frame's callback returns, so there is nothing to swap.

#include "gl/context.h"

#include "bx/assert.h"

#include <emscripten/html5.h>

namespace {

EMSCRIPTEN_WEBGL_CONTEXT_HANDLE g_webgl = 0;

} // namespace

Context::Context(int width, int height, bool /*fullscreen: the page's business*/)
    : m_window(nullptr) {
    BX_ASSERT(ms_context == 0, "An OpenGL context has already been opened.");
    emscripten_set_canvas_element_size("#canvas", width, height);
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    attributes.alpha = false;
    attributes.depth = true;
    attributes.stencil = true;
    attributes.antialias = false;
    attributes.preserveDrawingBuffer = false; // frames are read back as they are drawn
    g_webgl = emscripten_webgl_create_context("#canvas", &attributes);
    if (g_webgl <= 0) throw ContextError("this browser offers no WebGL 2 context");
    emscripten_webgl_make_context_current(g_webgl);
    emscripten_webgl_enable_extension(g_webgl, "WEBGL_compressed_texture_s3tc");
    ms_context = this;
}

Context::Context(WithoutWindow) : m_window(nullptr) {
    BX_ASSERT(ms_context == 0, "An OpenGL context has already been opened.");
    ms_context = this;
}

Context::~Context() {
    BX_ASSERT(ms_context == this, "The ms_context variable has been tampered with...");
    if (g_webgl > 0) emscripten_webgl_destroy_context(g_webgl);
    g_webgl = 0;
    ms_context = 0;
}

void Context::swapBuffers() {}

bool Context::closeRequested() const {
    return false;
}
