#include "gl/context.h"
#include "support/death.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <cstdlib>

namespace {
const char* kSource = "src/gl/context.cpp";
}

TEST(ContextLifetime, OpensAWindowWithAnOpenGL21ContextAndClosesIt) {
    {
        Context context(64, 40, false);
        EXPECT_EQ(Context::ms_context, &context);
        ASSERT_NE(context.window(), nullptr);
        // The entry points the GL layer needs are loaded.
        EXPECT_TRUE(GLEW_VERSION_2_0);
        EXPECT_NE(glGenFramebuffers, nullptr);
        int w = 0, h = 0;
        glfwGetWindowSize(context.window(), &w, &h);
        EXPECT_EQ(w, 64);
        EXPECT_EQ(h, 40);
        GLint depthBits = 0, stencilBits = 0;
        glGetIntegerv(GL_DEPTH_BITS, &depthBits);
        glGetIntegerv(GL_STENCIL_BITS, &stencilBits);
        EXPECT_GE(depthBits, 8);
        EXPECT_GE(stencilBits, 8);
        // A swap presents the cleared picture; the window stays open.
        glClearColor(0, 1, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        context.swapBuffers();
        EXPECT_FALSE(context.closeRequested());
    }
    EXPECT_EQ(Context::ms_context, nullptr);
    // A new context may follow the old one.
    Context again(32, 32, false);
    EXPECT_EQ(Context::ms_context, &again);
}

TEST(ContextLifetime, SecondContextStopsWithTheExactBlock) {
    Context first(32, 32, false);
    DeathResult r = runInChild([] { Context second(32, 32, false); });
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.out, assertionBlock("ms_context == 0", kSource,
                                    sourceLineOf(kSource, "An OpenGL context has already been opened."),
                                    "An OpenGL context has already been opened."));
    EXPECT_EQ(Context::ms_context, &first);
}

TEST(ContextLifetime, CloseRequestFromTheWindowSystemIsSeen) {
    Context context(32, 32, false);
    glfwSetWindowShouldClose(context.window(), GLFW_TRUE);
    EXPECT_TRUE(context.closeRequested());
}

TEST(ContextFailure, NoDisplayThrowsAndLeavesNoContext) {
    DeathResult r = runInChild([] {
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        try {
            Context context(64, 40, false);
            std::cout << "opened";
        } catch (const ContextError& e) {
            std::cout << "error: " << e.what() << "\n"
                      << "context: " << (Context::ms_context == nullptr ? "none" : "left set");
        }
    });
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_NE(r.out.find("error: cannot start the windowing system"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("context: none"), std::string::npos) << r.out;
}

// The program started without any display says so in one line on standard
// error and ends with status 1 instead of crashing. The archive (empty and
// valid) is read ahead on a thread from the program's first moment, racing
// the window system's failure: the run is repeated to give a race a chance.
TEST(ContextFailure, ProgramWithoutADisplayExitsWithOneClearLine) {
    TempDir dir;
    writeFile(dir / "tidewane.velk", std::string(4, '\0'));
    for (int run = 0; run < 25; ++run) {
        CommandResult r = runCommand("cd '" + dir.path() + "' && env -u DISPLAY -u WAYLAND_DISPLAY '" +
                                     builtProgram("tidewane") + "'");
        ASSERT_EQ(r.exitStatus, 1) << "run " << run << ": " << r.out << r.err;
        EXPECT_EQ(r.out, "");
        ASSERT_FALSE(r.err.empty());
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err; // exactly one line
        EXPECT_EQ(r.err.rfind("tidewane: cannot start the windowing system", 0), 0u) << r.err;
    }
}
