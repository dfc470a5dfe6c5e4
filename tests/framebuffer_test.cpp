#include "support/death.h"
#include "support/gl.h"

#include "gl/framebuffer.h"
#include "gl/rendertarget.h"

#include <vector>

namespace {

std::vector<GLint> viewport() {
    std::vector<GLint> v(4);
    glGetIntegerv(GL_VIEWPORT, v.data());
    return v;
}

// Fills the bound framebuffer's colour attachment `attachment` with a colour.
void clearAttachment(GLenum attachment, float r, float g, float b, float a) {
    glDrawBuffer(attachment);
    glClearColor(r, g, b, a);
    glClear(GL_COLOR_BUFFER_BIT);
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
}

} // namespace

class FrameBufferDrawing : public GlTest {};

TEST_F(FrameBufferDrawing, DrawingBetweenBindAndUnbindFillsTheTargetAndTheWindowViewportReturns) {
    FrameBuffer fb(16, 8);
    ASSERT_TRUE(fb.addRenderTarget(GL_RGBA8));
    glViewport(3, 2, 30, 20);
    fb.bind();
    EXPECT_EQ(viewport(), (std::vector<GLint>{0, 0, 16, 8}));
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(1, 0, 0, 1);
    drawQuad(-1, -1, 1, 1);
    fb.unbind();
    EXPECT_EQ(viewport(), (std::vector<GLint>{3, 2, 30, 20}));
    EXPECT_EQ(readTexture(fb.getRenderTarget(0)->getId()).count(Rgba{255, 0, 0, 255}), 16 * 8);

    // Drawing goes to the window again, through the restored viewport.
    glColor4f(0, 1, 0, 1);
    drawQuad(-1, -1, 1, 1);
    Image window = readWindow();
    EXPECT_EQ(window.count(Rgba{0, 255, 0, 255}), 30 * 20);
    EXPECT_EQ(window.pixel(3, 2), (Rgba{0, 255, 0, 255}));
    EXPECT_EQ(window.pixel(2, 2), (Rgba{0, 0, 0, 255}));
}

TEST_F(FrameBufferDrawing, TheDepthTextureIsTheDepthBuffer) {
    FrameBuffer fb(8, 8);
    ASSERT_TRUE(fb.addRenderTarget(GL_RGBA8));
    fb.bind();
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glBegin(GL_QUADS); // near, red
    glColor4f(1, 0, 0, 1);
    glVertex3f(-1, -1, -0.5f);
    glVertex3f(1, -1, -0.5f);
    glVertex3f(1, 1, -0.5f);
    glVertex3f(-1, 1, -0.5f);
    glEnd();
    glBegin(GL_QUADS); // far, green: hidden
    glColor4f(0, 1, 0, 1);
    glVertex3f(-1, -1, 0.5f);
    glVertex3f(1, -1, 0.5f);
    glVertex3f(1, 1, 0.5f);
    glVertex3f(-1, 1, 0.5f);
    glEnd();
    glDisable(GL_DEPTH_TEST);
    fb.unbind();
    EXPECT_EQ(readTexture(fb.getRenderTarget(0)->getId()).count(Rgba{255, 0, 0, 255}), 64);
    GLint depthSize = 0;
    glBindTexture(GL_TEXTURE_2D, fb.getDepthTexture());
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_DEPTH_SIZE, &depthSize);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(depthSize, 24);
}

TEST_F(FrameBufferDrawing, UpToFourRenderTargetsEachOnItsOwnAttachment) {
    FrameBuffer fb(8, 4);
    EXPECT_EQ(fb.getRenderTarget(0), nullptr);
    ASSERT_TRUE(fb.addRenderTarget(GL_RGBA8));
    ASSERT_NE(fb.getRenderTarget(0), nullptr);
    EXPECT_EQ(fb.getRenderTarget(1), nullptr);
    EXPECT_EQ(fb.getRenderTarget(0)->getWidth(), 8);
    EXPECT_EQ(fb.getRenderTarget(0)->getHeight(), 4);
    EXPECT_TRUE(fb.addRenderTarget(GL_RGBA8));
    EXPECT_TRUE(fb.addRenderTarget(GL_RGBA16F));
    EXPECT_TRUE(fb.addRenderTarget(GL_RGBA8));
    EXPECT_FALSE(fb.addRenderTarget(GL_RGBA8));
    EXPECT_EQ(fb.getRenderTargetCount(), 4u);
    EXPECT_EQ(fb.getRenderTarget(4), nullptr);
    EXPECT_EQ(fb.getRenderTarget(0xFFFFFFFFu), nullptr);

    fb.bind();
    const float colours[4][4] = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {1, 1, 1, 1}};
    for (int k = 0; k < 4; ++k)
        clearAttachment(GLenum(GL_COLOR_ATTACHMENT0 + k), colours[k][0], colours[k][1],
                        colours[k][2], colours[k][3]);
    fb.unbind();
    for (int k = 0; k < 4; ++k) {
        Rgba expected{uint8_t(colours[k][0] * 255), uint8_t(colours[k][1] * 255),
                      uint8_t(colours[k][2] * 255), 255};
        EXPECT_EQ(readTexture(fb.getRenderTarget(unsigned(k))->getId()).count(expected), 32)
            << "render target " << k;
    }
}

class RenderTargets : public GlTest {};

// With a pixel unpack buffer bound, the texture allocation reads its initial
// contents from that buffer, interpreted with the pixel type the render
// target chose: this shows which type it passed.
TEST_F(RenderTargets, Rgba8AllocatesWithUnsignedBytesOtherFormatsWithFloats) {
    const int w = 4, h = 2;
    std::vector<float> floats(w * h * 4, 0.25f);
    std::vector<uint8_t> bytes(w * h * 4 * sizeof(float), 0);
    for (size_t i = 0; i < size_t(w * h * 4); ++i) bytes[i] = 200;
    GLuint pbo = 0;
    glGenBuffers(1, &pbo);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, pbo);

    glBufferData(GL_PIXEL_UNPACK_BUFFER, GLsizeiptr(bytes.size()), bytes.data(), GL_STATIC_DRAW);
    RenderTarget rgba8(w, h, GL_RGBA8);
    glBufferData(GL_PIXEL_UNPACK_BUFFER, GLsizeiptr(floats.size() * sizeof(float)), floats.data(),
                 GL_STATIC_DRAW);
    RenderTarget rgba16f(w, h, GL_RGBA16F);
    RenderTarget rgba32f(w, h, GL_RGBA32F);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    glDeleteBuffers(1, &pbo);

    EXPECT_EQ(readTexture(rgba8.getId()).count(Rgba{200, 200, 200, 200}), w * h);
    for (RenderTarget* target : {&rgba16f, &rgba32f}) {
        glBindTexture(GL_TEXTURE_2D, target->getId());
        std::vector<float> stored(w * h * 4, -1.0f);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_FLOAT, stored.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        for (float v : stored) EXPECT_FLOAT_EQ(v, 0.25f);
    }
}

TEST_F(RenderTargets, SamplingOutsideClampsAgainstTheBorder) {
    FrameBuffer fb(8, 8);
    fb.addRenderTarget(GL_RGBA8);
    fb.bind();
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    fb.unbind();
    RenderTarget* target = fb.getRenderTarget(0);
    target->bind(0);
    drawSample(0.5f, 0.5f);
    EXPECT_EQ(readWindow().pixel(5, 5), (Rgba{255, 255, 255, 255}));
    // GL_CLAMP: beyond the edge, linear filtering takes half the last texel
    // and half the transparent black border (GL_CLAMP_TO_EDGE would stay
    // white); beyond a corner, a quarter.
    drawSample(2.0f, 0.5f);
    Rgba edge = readWindow().pixel(5, 5);
    EXPECT_LE(channelDistance(edge, Rgba{128, 128, 128, 128}), 2) << edge;
    drawSample(-1.0f, 3.0f);
    Rgba corner = readWindow().pixel(5, 5);
    EXPECT_LE(channelDistance(corner, Rgba{64, 64, 64, 64}), 2) << corner;
    target->unbind();
}

TEST_F(RenderTargets, BindRecordsTheUnitAndUnbindReleasesIt) {
    RenderTarget target(4, 4, GL_RGBA8);
    EXPECT_EQ(target.getBoundUnit(), RenderTarget::kNotBound);
    GLint bound = 0;
    // The new texture is left on the active unit, and an unbind without a
    // bind leaves it there.
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), target.getId());
    target.unbind();
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), target.getId());
    glBindTexture(GL_TEXTURE_2D, 0);

    target.bind(2);
    target.bind(1); // rebinds on the new unit
    EXPECT_EQ(target.getBoundUnit(), 1);
    glActiveTexture(GL_TEXTURE3);
    target.unbind();
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    EXPECT_EQ(active, GL_TEXTURE1);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    EXPECT_EQ(target.getBoundUnit(), RenderTarget::kNotBound);
}

TEST(FrameBufferWithoutContext, BothConstructorsStopWithTheirAssertions) {
    const char* fbSource = "src/gl/framebuffer.cpp";
    DeathResult r = runInChild([] { FrameBuffer fb(8, 8); });
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.out, assertionBlock("Context::ms_context != 0", fbSource,
                                    sourceLineOf(fbSource, "\"Cannot use framebuffer: context not created\""),
                                    "Cannot use framebuffer: context not created"));
    const char* rtSource = "src/gl/rendertarget.cpp";
    r = runInChild([] { RenderTarget target(8, 8, GL_RGBA8); });
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.out, assertionBlock("Context::ms_context != 0", rtSource,
                                    sourceLineOf(rtSource, "\"Cannot create a render target : no context created.\""),
                                    "Cannot create a render target : no context created."));
}
