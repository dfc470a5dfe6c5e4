#pragma once
// One OpenGL framebuffer object with its own depth texture and up to four
// render targets as colour attachments. While bound, drawing lands in render
// target 0 and the viewport covers the whole frame buffer.

class RenderTarget;

class FrameBuffer {
public:
    static constexpr unsigned int kMaxRenderTargets = 4;

    // Creates the framebuffer object and a GL_DEPTH_COMPONENT24 depth texture
    // of this size, attached as its depth buffer. Needs the Context.
    FrameBuffer(int width, int height);
    // Destroys the render targets, the framebuffer object and the depth
    // texture.
    ~FrameBuffer();

    FrameBuffer(const FrameBuffer&) = delete;
    FrameBuffer& operator=(const FrameBuffer&) = delete;

    // Creates a render target of the frame buffer's size and attaches it as
    // the next colour attachment. Returns false, creating nothing, once four
    // are attached.
    bool addRenderTarget(int internalFormat);

    // Redirects drawing into the frame buffer and sets the viewport to its
    // size; the previous viewport is pushed on the attribute stack (kept by
    // the frame buffer on WebGL 2). Calls to
    // bind and unbind must alternate.
    void bind();
    // Restores the previous viewport and draws to the window again.
    void unbind();

    // The render target in slot `index`, or null when there is none.
    RenderTarget* getRenderTarget(unsigned int index) const;
    unsigned int getRenderTargetCount() const { return m_count; }
    unsigned int getDepthTexture() const { return m_depth; }
    unsigned int getId() const { return m_id; }
    int getWidth() const { return m_width; }
    int getHeight() const { return m_height; }

private:
    RenderTarget* m_renderTargets[kMaxRenderTargets];
    unsigned int m_count;
    int m_width;
    int m_height;
    unsigned int m_id;
    unsigned int m_depth;
    int m_savedViewport[4] = {}; // WebGL 2, which has no attribute stack
};
