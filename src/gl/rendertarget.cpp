#include "gl/rendertarget.h"

#include "bx/assert.h"
#include "gl/context.h"

#include "gl/api.h"

RenderTarget::RenderTarget(int width, int height, int internalFormat)
    : m_internalFormat(internalFormat), m_width(width), m_height(height), m_id(0),
      m_boundUnit(kNotBound) {
    BX_ASSERT(Context::ms_context != 0, "Cannot create a render target : no context created.");

    const GLenum type = internalFormat == GL_RGBA8 ? GL_UNSIGNED_BYTE : GL_FLOAT;
    glGenTextures(1, &m_id);
    glBindTexture(GL_TEXTURE_2D, m_id);
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, width, height, 0, GL_RGBA, type, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, kClampWrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, kClampWrap);
}

RenderTarget::~RenderTarget() { glDeleteTextures(1, &m_id); }

void RenderTarget::bind(int unit) {
    glActiveTexture(GLenum(GL_TEXTURE0 + unit));
    glBindTexture(GL_TEXTURE_2D, m_id);
    m_boundUnit = unit;
}

void RenderTarget::unbind() {
    // Without a recorded unit there is nothing to release, and GL_TEXTURE0
    // plus the sentinel would name no texture unit at all.
    if (m_boundUnit == kNotBound) return;
    glActiveTexture(GLenum(GL_TEXTURE0 + m_boundUnit));
    glBindTexture(GL_TEXTURE_2D, 0);
    m_boundUnit = kNotBound;
}
