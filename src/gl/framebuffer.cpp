#include "gl/framebuffer.h"

#include "bx/assert.h"
#include "gl/context.h"
#include "gl/rendertarget.h"

#include "gl/api.h"

FrameBuffer::FrameBuffer(int width, int height)
    : m_renderTargets{}, m_count(0), m_width(width), m_height(height), m_id(0), m_depth(0) {
    BX_ASSERT(Context::ms_context != 0, "Cannot use framebuffer: context not created");

    glGenFramebuffers(1, &m_id);
    glBindFramebuffer(GL_FRAMEBUFFER, m_id);

    glGenTextures(1, &m_depth);
    glBindTexture(GL_TEXTURE_2D, m_depth);
#ifdef TIDEWANE_WEBGL
    // OpenGL ES takes a 24-bit depth texture only from 32-bit integers.
    const GLenum depthType = GL_UNSIGNED_INT;
#else
    const GLenum depthType = GL_UNSIGNED_BYTE;
#endif
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, width, height, 0, GL_DEPTH_COMPONENT,
                 depthType, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, kClampWrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, kClampWrap);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, m_depth, 0);

    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

FrameBuffer::~FrameBuffer() {
    for (unsigned int i = 0; i < m_count; ++i) delete m_renderTargets[i];
    glDeleteFramebuffers(1, &m_id);
    glDeleteTextures(1, &m_depth);
}

bool FrameBuffer::addRenderTarget(int internalFormat) {
    if (m_count > kMaxRenderTargets - 1) return false;
    RenderTarget* target = new RenderTarget(m_width, m_height, internalFormat);
    m_renderTargets[m_count] = target;
    bind();
    glFramebufferTexture2D(GL_FRAMEBUFFER, GLenum(GL_COLOR_ATTACHMENT0 + m_count), GL_TEXTURE_2D,
                           target->getId(), 0);
    unbind();
    ++m_count;
    return true;
}

void FrameBuffer::bind() {
    glBindFramebuffer(GL_FRAMEBUFFER, m_id);
#ifdef TIDEWANE_WEBGL
    // No attribute stack: the viewport is kept here instead.
    glGetIntegerv(GL_VIEWPORT, m_savedViewport);
#else
    glPushAttrib(GL_VIEWPORT_BIT);
#endif
    glViewport(0, 0, m_width, m_height);
}

void FrameBuffer::unbind() {
#ifdef TIDEWANE_WEBGL
    glViewport(m_savedViewport[0], m_savedViewport[1], m_savedViewport[2], m_savedViewport[3]);
#else
    glPopAttrib();
#endif
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

RenderTarget* FrameBuffer::getRenderTarget(unsigned int index) const {
    return index < m_count ? m_renderTargets[index] : nullptr;
}
