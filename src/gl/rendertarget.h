#pragma once
// An empty 2D colour texture of a given size and internal format: something
// to draw into through a FrameBuffer and to sample afterwards.

class RenderTarget {
public:
    // Sentinel bound unit while the render target is not bound.
    static constexpr int kNotBound = 2147483647;

    // Allocates level 0 with format GL_RGBA and no data: pixel type
    // GL_UNSIGNED_BYTE for GL_RGBA8, GL_FLOAT for every other internal
    // format. Linear filters, GL_CLAMP wrap. The new texture is left bound on
    // the active unit. Needs the Context.
    RenderTarget(int width, int height, int internalFormat);
    ~RenderTarget();

    RenderTarget(const RenderTarget&) = delete;
    RenderTarget& operator=(const RenderTarget&) = delete;

    // Binds the texture to unit `unit` and records it; may be called again
    // while bound, rebinding on the new unit.
    void bind(int unit);
    // Unbinds from the recorded unit, leaving that unit active. Does nothing
    // when the render target is not bound.
    void unbind();

    unsigned int getId() const { return m_id; }
    int getInternalFormat() const { return m_internalFormat; }
    int getWidth() const { return m_width; }
    int getHeight() const { return m_height; }
    // The unit of the last bind, or kNotBound.
    int getBoundUnit() const { return m_boundUnit; }

private:
    int m_internalFormat;
    int m_width;
    int m_height;
    unsigned int m_id;
    int m_boundUnit;
};
