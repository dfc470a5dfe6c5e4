#include "gl/quad.h"

#include "gl/api.h"

#ifndef TIDEWANE_WEBGL

void drawScreenQuad() {
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(-1.0f, -1.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(-1.0f, 1.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(1.0f, 1.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(1.0f, -1.0f);
    glEnd();
}

void enableFlatTexturing() {
    glEnable(GL_TEXTURE_2D);
}

void setFlatView(float left, float right, float bottom, float top) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(left, right, bottom, top, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void setFlatOffset(float x) {
    glLoadIdentity();
    if (x != 0.0f) glTranslatef(x, 0, 0);
}

void drawFlatQuad(float left, float bottom, float right, float top) {
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0); glVertex2f(left, bottom);
    glTexCoord2f(0, 1); glVertex2f(left, top);
    glTexCoord2f(1, 1); glVertex2f(right, top);
    glTexCoord2f(1, 0); glVertex2f(right, bottom);
    glEnd();
}

#else

#include "bx/assert.h"

namespace {

// The screen quad's corners and texture coordinates, drawn as a triangle
// fan: the same two triangles as the desktop's quad.
const float kCorners[] = {-1, -1, 0, 0, -1, 1, 0, 1, 1, 1, 1, 1, 1, -1, 1, 0};

// The flat pictures' program: the texture coordinate also places the
// corner inside the picture's rectangle in clip space.
const char* const kFlatVertex =
    "#version 300 es\n"
    "layout(location = 0) in vec4 corner;\n"
    "layout(location = 1) in vec4 texCoord;\n"
    "uniform vec4 rect;\n"
    "out vec2 uv;\n"
    "void main() { gl_Position = vec4(mix(rect.xy, rect.zw, texCoord.xy), 0.0, 1.0); uv = texCoord.xy; }\n";
const char* const kFlatFragment =
    "#version 300 es\n"
    "precision highp float;\n"
    "uniform sampler2D img;\n"
    "uniform float textured;\n"
    "in vec2 uv;\n"
    "out vec4 colour;\n"
    "void main() { colour = textured > 0.5 ? texture(img, uv) : vec4(1.0); }\n";

struct QuadState {
    GLuint buffer = 0;
    GLuint flat = 0;
    GLint rect = -1;
    GLint textured = -1;
    float view[4] = {-1, 1, -1, 1}; // left, right, bottom, top
    float offset = 0;
};

QuadState& state() {
    static QuadState s;
    return s;
}

GLuint compile(GLenum stage, const char* source) {
    GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    BX_ASSERT(ok == GL_TRUE, "the flat pictures' program does not compile");
    return shader;
}

// The vertex buffer, bound with its two attributes, made on first use.
void bindCorners() {
    QuadState& s = state();
    if (s.buffer == 0) {
        glGenBuffers(1, &s.buffer);
        glBindBuffer(GL_ARRAY_BUFFER, s.buffer);
        glBufferData(GL_ARRAY_BUFFER, sizeof kCorners, kCorners, GL_STATIC_DRAW);
    }
    glBindBuffer(GL_ARRAY_BUFFER, s.buffer);
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(float), nullptr);
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, 4 * sizeof(float),
                          reinterpret_cast<const void*>(2 * sizeof(float)));
}

} // namespace

void drawScreenQuad() {
    bindCorners();
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
}

void enableFlatTexturing() {}

void setFlatView(float left, float right, float bottom, float top) {
    QuadState& s = state();
    s.view[0] = left;
    s.view[1] = right;
    s.view[2] = bottom;
    s.view[3] = top;
    s.offset = 0;
}

void setFlatOffset(float x) {
    state().offset = x;
}

void drawFlatQuad(float left, float bottom, float right, float top) {
    QuadState& s = state();
    if (s.flat == 0) {
        s.flat = glCreateProgram();
        glAttachShader(s.flat, compile(GL_VERTEX_SHADER, kFlatVertex));
        glAttachShader(s.flat, compile(GL_FRAGMENT_SHADER, kFlatFragment));
        glLinkProgram(s.flat);
        GLint ok = GL_FALSE;
        glGetProgramiv(s.flat, GL_LINK_STATUS, &ok);
        BX_ASSERT(ok == GL_TRUE, "the flat pictures' program does not link");
        s.rect = glGetUniformLocation(s.flat, "rect");
        s.textured = glGetUniformLocation(s.flat, "textured");
        glUseProgram(s.flat);
        glUniform1i(glGetUniformLocation(s.flat, "img"), 0);
    }
    // The orthographic projection of the rectangle's corners.
    auto clipX = [&](float x) { return 2 * (x + s.offset - s.view[0]) / (s.view[1] - s.view[0]) - 1; };
    auto clipY = [&](float y) { return 2 * (y - s.view[2]) / (s.view[3] - s.view[2]) - 1; };
    glUseProgram(s.flat);
    glUniform4f(s.rect, clipX(left), clipY(bottom), clipX(right), clipY(top));
    // As the desktop's fixed-function drawing: with no texture on unit 0 (a
    // picture that could not be used) the quad is drawn in plain white.
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glUniform1f(s.textured, bound != 0 ? 1.0f : 0.0f);
    bindCorners();
    glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
    glUseProgram(0);
}

#endif
