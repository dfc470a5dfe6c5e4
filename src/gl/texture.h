#pragma once
// One image decoded from an encoded file in memory and uploaded as a 2D
// OpenGL texture, bound to a texture unit while something is drawn with it.

#include <cstddef>

// Largest width or height of an image that Texture hands to the decoder.
const unsigned int kMaxImageSide = 16384;

// True when `size` bytes at `data` are one complete, valid PNG file: the
// signature, every chunk with its checksum, all image data (neither short nor
// too long) and the closing IEND chunk, with no error or warning from libpng,
// and neither side larger than kMaxImageSide. Reads nothing outside the
// bytes given. Anything else, including other image formats, is refused.
bool isCompletePng(const unsigned char* data, size_t size);

class Texture {
public:
    // Decodes `size` bytes at `data` and uploads them. Needs the Context.
    // Only complete, valid PNG files are decoded (see isCompletePng): the
    // decoder reads past the end of truncated or damaged files. Bytes that
    // are refused or cannot be decoded leave the texture with name 0
    // (binding it binds no texture); nothing is printed.
    Texture(const unsigned char* data, int size);
    // Loads the archive entry called `name`. Needs the archive.
    explicit Texture(const char* name);
    // Leaves the OpenGL texture in place: textures live until the Context
    // ends and takes them with it, so a name handed out by getId() stays
    // valid after this object is gone.
    ~Texture() = default;

    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;

    // Binds the texture to unit `unit` (0 = GL_TEXTURE0) and leaves that unit
    // active. Ignored while the texture is already bound: the unit of the
    // first bind stays recorded.
    void bind(int unit);
    // Unbinds it from the recorded unit and leaves that unit active. Does
    // nothing when the texture is not bound.
    void unbind();

    // Wrap mode per axis: GL_REPEAT when true, GL_CLAMP when false. For an
    // unbound texture.
    void setWrap(bool repeatS, bool repeatT);
    // Minification / magnification filter: GL_LINEAR when true, GL_NEAREST
    // when false. For an unbound texture.
    void setFilter(bool linearMin, bool linearMag);

    unsigned int getId() const { return m_id; }
    bool isBound() const { return m_bound; }
    int getUnit() const { return m_unit; }

private:
    bool load(const unsigned char* data, int size);

    bool m_bound;
    int m_unit;
    unsigned int m_id;
};
