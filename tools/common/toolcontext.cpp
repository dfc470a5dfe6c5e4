#include "toolcontext.h"

#include "gl/headless.h"

#include <GLFW/glfw3.h>

#include <cstdlib>

bool wantHeadless(bool asked) {
    const char* display = std::getenv("DISPLAY");
    return asked || display == nullptr || *display == '\0';
}

std::unique_ptr<Context> openToolContext(bool headless, int gpu, std::string& origin) {
    if (headless) {
        std::unique_ptr<HeadlessContext> context(new HeadlessContext(gpu));
        origin = context->origin();
        return std::unique_ptr<Context>(context.release());
    }
    // The window is never shown: the context's own window hints leave
    // visibility alone, and a second glfwInit keeps this hint.
    if (glfwInit()) glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    std::unique_ptr<Context> context(new Context(64, 64, false));
    origin = "hidden X window";
    return context;
}
