#include "gl/headless.h"

#include <GL/glew.h>
#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Entry points that come with extensions, loaded once.
template <typename F>
F eglFunction(const char* name) {
    return reinterpret_cast<F>(eglGetProcAddress(name));
}

std::string eglErrorText() {
    char text[32];
    std::snprintf(text, sizeof text, "EGL error 0x%04X", unsigned(eglGetError()));
    return text;
}

bool hasExtension(const char* list, const char* name) {
    if (!list) return false;
    const std::string all = std::string(" ") + list + " ";
    return all.find(std::string(" ") + name + " ") != std::string::npos;
}

} // namespace

HeadlessContext::HeadlessContext(int gpu) : Context(WithoutWindow()) {
    // On a throw the Context part is destroyed too, which unregisters it.
    auto fail = [this](const std::string& what) {
        release();
        throw ContextError(what);
    };

    // The GPUs EGL knows of, through the device platform.
    const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    auto queryDevices = eglFunction<PFNEGLQUERYDEVICESEXTPROC>("eglQueryDevicesEXT");
    auto platformDisplay = eglFunction<PFNEGLGETPLATFORMDISPLAYEXTPROC>("eglGetPlatformDisplayEXT");
    if (!platformDisplay) fail("no EGL display: EGL has no platform displays (EGL_EXT_platform_base)");
    std::vector<EGLDeviceEXT> devices;
    if (queryDevices && hasExtension(clientExtensions, "EGL_EXT_platform_device")) {
        EGLint count = 0;
        if (queryDevices(0, nullptr, &count) && count > 0) {
            devices.resize(size_t(count));
            queryDevices(count, devices.data(), &count);
            devices.resize(size_t(count));
        }
    }
    EGLDisplay display = EGL_NO_DISPLAY;
    if (gpu >= 0 && size_t(gpu) >= devices.size())
        fail("no EGL display: there is no GPU " + std::to_string(gpu) + " (EGL lists " +
             std::to_string(devices.size()) + (devices.size() == 1 ? " device" : " devices") +
             (devices.empty() ? ")" : ", from 0 to " + std::to_string(devices.size() - 1) + ")"));
    if (!devices.empty()) {
        const size_t index = gpu < 0 ? 0 : size_t(gpu);
        display = platformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[index], nullptr);
        if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) {
            m_display = display;
            m_origin = "EGL device " + std::to_string(index) + " of " + std::to_string(devices.size());
        } else if (gpu >= 0) {
            fail("no EGL display: GPU " + std::to_string(gpu) + " cannot be opened (" +
                 eglErrorText() + ")");
        }
    }
    if (!m_display && hasExtension(clientExtensions, "EGL_MESA_platform_surfaceless")) {
        display = platformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display != EGL_NO_DISPLAY && eglInitialize(display, nullptr, nullptr)) {
            m_display = display;
            m_origin = "EGL surfaceless platform";
        }
    }
    if (!m_display) fail("no EGL display: no GPU is listed and no surfaceless platform opens");

    // The same OpenGL 2.1 compatibility context as the show's window, with
    // no surface: the tools draw into frame buffers of their own.
    if (!eglBindAPI(EGL_OPENGL_API)) fail("no OpenGL 2.1 context: EGL offers no desktop OpenGL");
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                       EGL_OPENGL_BIT,   EGL_RED_SIZE,    8,
                                       EGL_GREEN_SIZE,   8,               EGL_BLUE_SIZE,
                                       8,                EGL_ALPHA_SIZE,  8,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &configs) || configs == 0)
        fail("no OpenGL 2.1 context: no EGL configuration renders desktop OpenGL");
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 2, EGL_CONTEXT_MINOR_VERSION, 1,
                                        EGL_NONE};
    m_context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttributes);
    if (m_context == EGL_NO_CONTEXT) {
        m_context = nullptr;
        fail("no OpenGL 2.1 context: " + eglErrorText());
    }
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, m_context))
        fail("no OpenGL 2.1 context: it cannot be made current without a surface (" +
             eglErrorText() + ")");

    // The GLEW of the distribution is built for GLX: it loads the OpenGL
    // entry points first, then fails on the missing X display when it comes
    // to GLX's own. That one failure is expected here, as long as the entry
    // points the engine uses were loaded.
    const GLenum glew = glewInit();
    const bool onlyGlxMissing = glew == GLEW_ERROR_NO_GLX_DISPLAY && GLEW_VERSION_2_1 &&
                                glCreateShader && glGenFramebuffers && glCompressedTexImage2D;
    if (glew != GLEW_OK && !onlyGlxMissing)
        fail(std::string("no OpenGL 2.1 context: the OpenGL entry points cannot be loaded (") +
             reinterpret_cast<const char*>(glewGetErrorString(glew)) + ")");
}

HeadlessContext::~HeadlessContext() {
    release();
}

void HeadlessContext::release() {
    if (!m_display) return;
    EGLDisplay display = m_display;
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (m_context) eglDestroyContext(display, m_context);
    eglTerminate(display);
    m_context = nullptr;
    m_display = nullptr;
}

std::string rendererDescription() {
    auto text = [](GLenum name) {
        const GLubyte* s = glGetString(name);
        return s ? std::string(reinterpret_cast<const char*>(s)) : std::string("unknown");
    };
    return text(GL_VENDOR) + " | " + text(GL_RENDERER) + " | " + text(GL_VERSION);
}
