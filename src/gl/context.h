#pragma once
// The one application window and its OpenGL context.

#include <stdexcept>
#include <string>

struct GLFWwindow;

// Thrown by the Context constructor when the windowing library cannot start,
// the window cannot be opened or the OpenGL entry points cannot be loaded.
// What says which, in one line (for example that no display is available).
class ContextError : public std::runtime_error {
public:
    explicit ContextError(const std::string& what) : std::runtime_error(what) {}
};

class Context {
public:
    Context(int width, int height, bool fullscreen);
    virtual ~Context();

    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    // Presents the back buffer, then processes pending window events.
    void swapBuffers();

    // True once the user has asked the window system to close the window.
    bool closeRequested() const;

    GLFWwindow* window() const { return m_window; }

    static Context* ms_context;

protected:
    // For a context made by other means than a window (HeadlessContext):
    // registers it as the one context; the maker makes its own OpenGL
    // context current and, on failure, unregisters it.
    struct WithoutWindow {};
    explicit Context(WithoutWindow);

private:
    GLFWwindow* m_window;
};
