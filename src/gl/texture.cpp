#include "gl/texture.h"

#include "bx/archive.h"
#include "bx/assert.h"
#include "gl/context.h"

#include "gl/api.h"
#ifndef TIDEWANE_WEBGL
#include <SOIL/SOIL.h>
#endif

#include <algorithm>
#include <cstdio>

#ifndef TIDEWANE_WEBGL

// The library's own answers to whether S3TC and sides that are not powers of
// two are available; they are exported but not declared in its headers.
extern "C" int query_DXT_capability(void);
extern "C" int query_NPOT_capability(void);

namespace {

const int kCapabilityPresent = 1;

const unsigned int kSoilFlags = SOIL_FLAG_INVERT_Y | SOIL_FLAG_COMPRESS_TO_DXT;

// Pixels the driver does not take compressed, through the texture library,
// which flips them and compresses them where it can. Gives the new name, or
// 0 with the reason.
unsigned int uploadPixels(PreparedImage& image, std::string& problem) {
    const unsigned int id = SOIL_create_OGL_texture(image.pixels.data(), image.width, image.height,
                                                    image.channels, SOIL_CREATE_NEW_ID, kSoilFlags);
    if (id == 0) problem = SOIL_last_result();
    return id;
}

} // namespace

UploadCaps queryUploadCaps() {
    UploadCaps caps;
    if (Context::ms_context == 0) return caps;
    caps.dxt = query_DXT_capability() == kCapabilityPresent;
    caps.npot = query_NPOT_capability() == kCapabilityPresent;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &caps.maxSide);
    return caps;
}

#else

namespace {

// WebGL 2 takes any side; S3TC where the browser offers its extension.
bool hasS3tc() {
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
        const char* name = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, GLuint(i)));
        if (name && std::string(name).find("compressed_texture_s3tc") != std::string::npos &&
            std::string(name).find("srgb") == std::string::npos)
            return true;
    }
    return false;
}

// Pixels uploaded as they are, bottom row first as the desktop's library
// flips them, in the unsized format of their channel count.
unsigned int uploadPixels(PreparedImage& image, std::string& problem) {
    static const GLenum formats[] = {GL_LUMINANCE, GL_LUMINANCE_ALPHA, GL_RGB, GL_RGBA};
    if (image.channels < 1 || image.channels > 4) {
        problem = "no upload for " + std::to_string(image.channels) + " channels";
        return 0;
    }
    flipRows(image);
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    const GLenum format = formats[image.channels - 1];
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), image.width, image.height, 0, format,
                 GL_UNSIGNED_BYTE, image.pixels.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &id);
        problem = "too large for this browser";
        return 0;
    }
    return id;
}

} // namespace

UploadCaps queryUploadCaps() {
    UploadCaps caps;
    if (Context::ms_context == 0) return caps;
    caps.dxt = hasS3tc();
    caps.dxtWholeBlocks = true;
    caps.npot = true;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &caps.maxSide);
    return caps;
}

#endif

namespace {

// What the library does with pixels it has flipped and compressed. Gives the
// new name, or 0 with the reason when the driver refuses the blocks.
unsigned int uploadCompressed(const PreparedImage& image, std::string& problem) {
    // Errors left by earlier calls are not this upload's.
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
    }
    GLuint id = 0;
    glGenTextures(1, &id);
    if (id == 0) return problem = "no texture name", 0;
    glBindTexture(GL_TEXTURE_2D, id);
    glCompressedTexImage2D(GL_TEXTURE_2D, 0, image.dxtFormat, image.width, image.height, 0,
                           image.dxtSize, image.dxt.get());
    const GLenum error = glGetError();
    if (error == GL_NO_ERROR) return id;
    glBindTexture(GL_TEXTURE_2D, 0);
    glDeleteTextures(1, &id);
    char code[16];
    std::snprintf(code, sizeof code, "0x%04X", unsigned(error));
    problem = std::string("its compressed upload was refused (error ") + code + ")";
    return 0;
}

} // namespace

void reportUnusableImage(const std::string& name, const std::string& problem) {
    // One call, so that the line is written whole.
    std::fprintf(stderr, "image: %s: %s; shown without it\n", name.empty() ? "(unnamed)" : name.c_str(),
                 problem.c_str());
}

Texture::Texture(const unsigned char* data, int size, const std::string& name)
    : m_bound(false), m_unit(0), m_id(0) {
    BX_ASSERT(Context::ms_context != 0, "Cannot create a texture with no context");
    load(data, size, name);
}

Texture::Texture(const char* name) : m_bound(false), m_unit(0), m_id(0) {
    BX_ASSERT(Bx::Archive::ms_archive != 0, "No archive in memory, cannot load texture " << name);
    Bx::ArchiveFile* ft = Bx::Archive::ms_archive->getFile(name);
    BX_ASSERT(ft != 0, "File " << name << " not found.");
    load(ft->data, int(ft->size), name);
}

Texture::Texture(PreparedImage& image, const std::string& name)
    : m_bound(false), m_unit(0), m_id(0) {
    BX_ASSERT(Context::ms_context != 0, "Cannot create a texture with no context");
    upload(image, name);
}

bool Texture::load(const unsigned char* data, int size, const std::string& name) {
    // Without a context there is nothing to upload to; that is no fault of
    // the file.
    if (Context::ms_context == 0) return false;
    if (size <= 0) {
        reportUnusableImage(name, "empty file");
        return false;
    }
    PreparedImage image = prepareImage(data, size_t(size), queryUploadCaps());
    return upload(image, name);
}

bool Texture::upload(PreparedImage& image, const std::string& name) {
    // Only complete, valid files reach this point decoded: the library's own
    // decoder reads past the end of truncated or damaged ones.
    if (!image.decoded) {
        reportUnusableImage(name, image.problem);
        return false;
    }
    std::string problem;
    if (image.dxt) m_id = uploadCompressed(image, problem);
    else m_id = uploadPixels(image, problem);
    if (m_id == 0) {
        reportUnusableImage(name, "OpenGL did not take it: " + problem);
        return false;
    }
    bind(0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    unbind();
    return true;
}

void Texture::bind(int unit) {
    if (m_bound) return;
    m_unit = unit;
    glActiveTexture(GLenum(GL_TEXTURE0 + unit));
    glBindTexture(GL_TEXTURE_2D, m_id);
    m_bound = true;
}

void Texture::unbind() {
    if (!m_bound) return;
    glActiveTexture(GLenum(GL_TEXTURE0 + m_unit));
    glBindTexture(GL_TEXTURE_2D, 0);
    m_bound = false;
}

void Texture::setWrap(bool repeatS, bool repeatT) {
    bind(0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, repeatS ? GL_REPEAT : kClampWrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, repeatT ? GL_REPEAT : kClampWrap);
    unbind();
}

void Texture::setFilter(bool linearMin, bool linearMag) {
    bind(0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, linearMin ? GL_LINEAR : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, linearMag ? GL_LINEAR : GL_NEAREST);
    unbind();
}

std::vector<std::unique_ptr<Texture>> loadTextures(const std::vector<EncodedImage>& files) {
    ImageBatch batch(files, queryUploadCaps());
    std::vector<std::unique_ptr<Texture>> textures;
    textures.reserve(files.size());
    while (textures.size() < files.size()) textures.push_back(batch.upload());
    return textures;
}
