#pragma once
// OpenGL helpers for tests that draw for real (under Xvfb with Mesa's
// software renderer). A test process may hold only one Context at a time.
//
// Typical use, one window for a whole test suite:
//
//     class MyDrawing : public GlTest {};      // 64x40 window
//     TEST_F(MyDrawing, Fills) {
//         glClearColor(1, 0, 0, 1);
//         glClear(GL_COLOR_BUFFER_BIT);
//         Image img = readWindow();
//         EXPECT_EQ(img.pixel(0, 0), (Rgba{255, 0, 0, 255}));
//     }
//
// or, inside one test, `GlWindow window(32, 20);`.
//
// Include this header before any other OpenGL header (it includes GLEW).

#include "gl/context.h"
#include "support/png.h"

#include <GL/glew.h>
#include <gtest/gtest.h>

#include <memory>

// Opens the one Context with a window of the given size (no full screen) and
// closes it on destruction. Throws ContextError (from Context) when no window
// can be opened, e.g. without an X display.
class GlWindow {
public:
    explicit GlWindow(int width = 64, int height = 40);
    ~GlWindow();
    GlWindow(const GlWindow&) = delete;
    GlWindow& operator=(const GlWindow&) = delete;

    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    std::unique_ptr<Context> m_context;
    int m_width;
    int m_height;
};

// Fixture: one 64x40 window for all tests of the suite; each test starts with
// framebuffer 0, the full window viewport, no program, texture unit 0 active,
// identity matrices and a black clear. Tests that must run without a Context
// (the context assertions) belong in another suite.
class GlTest : public ::testing::Test {
public:
    static const int kWidth = 64;
    static const int kHeight = 40;

    static void SetUpTestSuite();
    static void TearDownTestSuite();

protected:
    void SetUp() override;

    static GlWindow* ms_window;
};

// Reads a rectangle of the framebuffer bound for reading now (the window's
// back buffer when framebuffer 0 is bound) as RGBA8, bottom row first.
Image readPixels(int x, int y, int width, int height);
// The whole window's back buffer, whatever framebuffer is bound; the binding
// is restored afterwards.
Image readWindow();
// Level 0 of a 2D texture as RGBA8 (compressed textures come back decoded).
// Leaves texture unit 0 active with no texture bound on it.
Image readTexture(unsigned int texture);

// Draws a quad from (x0, y0) to (x1, y1) in clip coordinates with immediate
// mode, the current program (or fixed function) and the given texture
// coordinates at the lower-left and upper-right corners. Uses the current
// matrices.
void drawQuad(float x0, float y0, float x1, float y1, float s0 = 0.0f, float t0 = 0.0f,
              float s1 = 1.0f, float t1 = 1.0f);

// Draws the 2D texture bound on unit 0 with fixed-function texturing, with
// every vertex at texture coordinate (s, t): the quad then shows the single
// sample at (s, t) (replace mode, so the texture's colour and alpha as they
// are). The quad covers the whole viewport.
void drawSample(float s, float t);
