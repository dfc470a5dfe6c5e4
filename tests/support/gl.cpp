#include "support/gl.h"

#include <GLFW/glfw3.h>

GlWindow::GlWindow(int width, int height)
    : m_context(new Context(width, height, false)), m_width(width), m_height(height) {}

GlWindow::~GlWindow() = default;

GlWindow* GlTest::ms_window = nullptr;

void GlTest::SetUpTestSuite() {
    if (!ms_window) ms_window = new GlWindow(kWidth, kHeight);
}

void GlTest::TearDownTestSuite() {
    delete ms_window;
    ms_window = nullptr;
}

void GlTest::SetUp() {
    ASSERT_NE(ms_window, nullptr);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glUseProgram(0);
    for (int unit = 3; unit >= 0; --unit) {
        glActiveTexture(GLenum(GL_TEXTURE0 + unit));
        glBindTexture(GL_TEXTURE_2D, 0);
        glDisable(GL_TEXTURE_2D);
    }
    glViewport(0, 0, kWidth, kHeight);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glColor4f(1, 1, 1, 1);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

Image readPixels(int x, int y, int width, int height) {
    Image image(width, height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, width, height, GL_RGBA, GL_UNSIGNED_BYTE, image.rgba.data());
    return image;
}

Image readWindow() {
    GLint previous = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previous);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    int width = 0, height = 0;
    glfwGetFramebufferSize(Context::ms_context->window(), &width, &height);
    Image image = readPixels(0, 0, width, height);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, GLuint(previous));
    return image;
}

Image readTexture(unsigned int texture) {
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, texture);
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
    Image image(width, height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (width > 0 && height > 0)
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, image.rgba.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return image;
}

void drawQuad(float x0, float y0, float x1, float y1, float s0, float t0, float s1, float t1) {
    glBegin(GL_QUADS);
    glTexCoord2f(s0, t0);
    glVertex2f(x0, y0);
    glTexCoord2f(s1, t0);
    glVertex2f(x1, y0);
    glTexCoord2f(s1, t1);
    glVertex2f(x1, y1);
    glTexCoord2f(s0, t1);
    glVertex2f(x0, y1);
    glEnd();
}

void drawSample(float s, float t) {
    glActiveTexture(GL_TEXTURE0);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    drawQuad(-1, -1, 1, 1, s, t, s, t);
    glDisable(GL_TEXTURE_2D);
}
