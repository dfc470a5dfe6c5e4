#include "bx/loadingscreen.h"

#include "bx/archive.h"
#include "bx/assert.h"
#include "gl/shader.h"
#include "gl/texture.h"

#include <GL/glew.h>

#include <cmath>

namespace Bx {

const char* const LoadingScreen::kVertexSource =
    "void main() { gl_Position = gl_Vertex; gl_TexCoord[0].xy = gl_MultiTexCoord0.xy; }";

const char* const LoadingScreen::kFragmentSource =
    "uniform sampler2D img;uniform sampler2D mask;uniform float progress;void main() {float m = "
    "texture2D(mask, gl_TexCoord[0].xy).r;vec4  i = texture2D(img,  gl_TexCoord[0].xy);if(progress "
    "< m) i = vec4(vec3(0.0), 1.0);gl_FragColor = i;}";

LoadingScreen::LoadingScreen(const char* imagePath, const char* maskPath) : m_progress(0.0f) {
    BX_ASSERT(Archive::ms_archive != 0, "Need an archive to load images.");
    m_progress = 0.0f;
    ArchiveFile* fi = Archive::ms_archive->getFile(imagePath);
    BX_ASSERT(fi != 0, "Error loading file \"" << imagePath << "\"");
    ArchiveFile* fm = Archive::ms_archive->getFile(maskPath);
    BX_ASSERT(fm != 0, "Error loading file \"" << maskPath << "\"");
    m_image.reset(new Texture(fi->data, int(fi->size), imagePath));
    m_mask.reset(new Texture(fm->data, int(fm->size), maskPath));
    m_shader.reset(new Shader(kVertexSource, kFragmentSource));
    m_shader->bind();
    m_shader->setUniform1i("img", 0);
    m_shader->setUniform1i("mask", 1);
    m_shader->unbind();
}

LoadingScreen::~LoadingScreen() = default;

void LoadingScreen::setProgress(float value) {
    if (value > 1.0f) value = 1.0f;
    if (value < 0.0f || std::isnan(value)) value = 0.0f;
    m_progress = value;
}

void LoadingScreen::draw() {
    m_image->bind(0);
    m_mask->bind(1);
    m_shader->bind();
    m_shader->setUniform1f("progress", m_progress);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // Textures hold their rows bottom row first (the loader flips them), so
    // t = 1 goes to the top edge and the picture stands the right way up.
    glBegin(GL_QUADS);
    glTexCoord2i(0, 1);
    glVertex2i(-1, 1);
    glTexCoord2i(0, 0);
    glVertex2i(-1, -1);
    glTexCoord2i(1, 0);
    glVertex2i(1, -1);
    glTexCoord2i(1, 1);
    glVertex2i(1, 1);
    glEnd();
    m_mask->unbind();
    m_image->unbind();
}

} // namespace Bx
