#pragma once
// One image decoded from an encoded file in memory and uploaded as a 2D
// OpenGL texture, bound to a texture unit while something is drawn with it.

#include "gl/image.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// What the current context takes; without a context, nothing.
UploadCaps queryUploadCaps();

class Texture {
public:
    // Decodes `size` bytes at `data` and uploads them. Needs the Context.
    // Only complete, valid PNG files are decoded (see decodePng). Bytes that
    // are refused or cannot be decoded leave the texture with name 0
    // (binding it binds no texture) and print one line on standard error
    // naming the file `name` and what is wrong with it (reportUnusableImage).
    Texture(const unsigned char* data, int size, const std::string& name = std::string());
    // Uploads an image prepared by prepareImage for the current context's
    // UploadCaps; its buffers are used up. A refused one is reported as
    // above, under `name`. Needs the Context.
    explicit Texture(PreparedImage& image, const std::string& name = std::string());
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
    bool load(const unsigned char* data, int size, const std::string& name);
    bool upload(PreparedImage& image, const std::string& name);

    bool m_bound;
    int m_unit;
    unsigned int m_id;
};

// One encoded image in memory, borrowed, and the name of its file for the
// message when it cannot be used.
struct EncodedImage {
    const unsigned char* data;
    size_t size;
    std::string name = {};
};

// Prints "image: NAME: PROBLEM; shown without it" as one line on standard
// error ("(unnamed)" for an empty name): an image that cannot be used is
// left out and the program goes on.
void reportUnusableImage(const std::string& name, const std::string& problem);

// The cores this process may run on (its CPU affinity), at least 1.
unsigned availableCores();

// Images decoded and compressed on workers from the moment the batch is
// made (threads of this process; Web Workers in the browser, whose build has
// no threads), for the GL thread to upload in order when it needs them, so
// that the decoding runs behind whatever the GL thread does meanwhile. The
// encoded bytes are borrowed until the batch is gone.
class ImageBatch {
public:
    // Starts `workers` threads (0: one per available core) on `files` for `caps`
    // (queryUploadCaps of the context that will upload them). The browser
    // hands them to the page's pool of workers and ignores `workers`.
    ImageBatch(std::vector<EncodedImage> files, const UploadCaps& caps, int workers = 0);
    // Stops the workers after the image each is on and joins them.
    ~ImageBatch();
    ImageBatch(const ImageBatch&) = delete;
    ImageBatch& operator=(const ImageBatch&) = delete;

    // The next image in order as a texture, waiting for it to be prepared
    // (an image that cannot be used is named as for Texture). A worker's
    // exception is thrown here. Needs the Context; at most size() calls.
    // In the browser it waits only inside a call the page made
    // asynchronously (the set-up), since waiting there means yielding.
    std::unique_ptr<Texture> upload();
    // Whether the next image is prepared, so that upload() would not wait.
    bool nextReady() const;
    // Whether every image not uploaded yet is prepared.
    bool allReady() const;
    size_t size() const;
    size_t uploaded() const { return m_uploaded; }

private:
    struct Shared;
    std::unique_ptr<Shared> m_shared;
    size_t m_uploaded = 0;
};

// Textures for `files`, the same as constructing each in turn from memory:
// the images are decoded and compressed on one worker thread per core and
// uploaded on this thread in the order given. Needs the Context.
std::vector<std::unique_ptr<Texture>> loadTextures(const std::vector<EncodedImage>& files);
