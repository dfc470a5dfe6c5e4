#include "gl/context.h"

#include "bx/assert.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

namespace {

std::string g_lastGlfwError;

void recordGlfwError(int, const char* description) {
    g_lastGlfwError = description ? description : "unknown error";
}

} // namespace

Context::Context(int width, int height, bool fullscreen) : m_window(nullptr) {
    BX_ASSERT(ms_context == 0, "An OpenGL context has already been opened.");
    ms_context = this;

    // A failure below leaves no usable window; undo what exists and say why
    // instead of going on into a crash.
    auto fail = [this](const std::string& what) {
        if (m_window) glfwDestroyWindow(m_window);
        glfwTerminate();
        ms_context = 0;
        throw ContextError(what);
    };

    g_lastGlfwError.clear();
    glfwSetErrorCallback(recordGlfwError);
    if (!glfwInit())
        fail("cannot start the windowing system (" +
             (g_lastGlfwError.empty() ? std::string("no display available") : g_lastGlfwError) +
             ")");

    glfwWindowHint(GLFW_CONTEXT_VERSION_MAJOR, 2);
    glfwWindowHint(GLFW_CONTEXT_VERSION_MINOR, 1);
    glfwWindowHint(GLFW_RED_BITS, 8);
    glfwWindowHint(GLFW_GREEN_BITS, 8);
    glfwWindowHint(GLFW_BLUE_BITS, 8);
    glfwWindowHint(GLFW_ALPHA_BITS, 8);
    glfwWindowHint(GLFW_DEPTH_BITS, 8);
    glfwWindowHint(GLFW_STENCIL_BITS, 8);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_FALSE);

    GLFWmonitor* monitor = fullscreen ? glfwGetPrimaryMonitor() : nullptr;
    m_window = glfwCreateWindow(width, height, "Velk :: Tidewane", monitor, nullptr);
    if (!m_window)
        fail("cannot open a " + std::to_string(width) + "x" + std::to_string(height) +
             (fullscreen ? " full-screen display" : " window") + " with OpenGL 2.1 (" +
             g_lastGlfwError + ")");
    glfwMakeContextCurrent(m_window);

    GLenum glew = glewInit();
    if (glew != GLEW_OK)
        fail(std::string("cannot load the OpenGL entry points (") +
             reinterpret_cast<const char*>(glewGetErrorString(glew)) + ")");
}

Context::Context(WithoutWindow) : m_window(nullptr) {
    BX_ASSERT(ms_context == 0, "An OpenGL context has already been opened.");
    ms_context = this;
}

Context::~Context() {
    BX_ASSERT(ms_context == this, "The ms_context variable has been tampered with...");
    glfwTerminate();
    ms_context = 0;
}

void Context::swapBuffers() {
    glfwSwapBuffers(m_window);
    glfwPollEvents();
}

bool Context::closeRequested() const {
    return glfwWindowShouldClose(m_window) != 0;
}
