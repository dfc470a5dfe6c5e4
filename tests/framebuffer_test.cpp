#include "support/gl.h"

#include "gl/framebuffer.h"
#include "gl/rendertarget.h"

class FrameBufferDrawing : public GlTest {};

TEST_F(FrameBufferDrawing, DrawingBetweenBindAndUnbindFillsTheTargetAndTheWindowViewportReturns) {
    FrameBuffer fb(16, 8);
    ASSERT_TRUE(fb.addRenderTarget(GL_RGBA8));
    fb.bind();
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(1, 0, 0, 1);
    drawQuad(-1, -1, 1, 1);
    Image inside = readPixels(0, 0, 16, 8);
    fb.unbind();
    EXPECT_EQ(inside.count(Rgba{255, 0, 0, 255}), 16 * 8);

    glColor4f(0, 1, 0, 1);
    drawQuad(-1, -1, 1, 1);
    Image window = readWindow();
    EXPECT_EQ(window.count(Rgba{0, 255, 0, 255}), kWidth * kHeight);
}
