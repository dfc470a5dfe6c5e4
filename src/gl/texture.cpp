#include "gl/texture.h"

#include "bx/archive.h"
#include "bx/assert.h"
#include "gl/context.h"

#include <GL/glew.h>
#include <SOIL/SOIL.h>

Texture::Texture(const unsigned char* data, int size) : m_bound(false), m_unit(0), m_id(0) {
    BX_ASSERT(Context::ms_context != 0, "Cannot create a texture with no context");
    load(data, size);
}

Texture::Texture(const char* name) : m_bound(false), m_unit(0), m_id(0) {
    BX_ASSERT(Bx::Archive::ms_archive != 0,
              "No archive in memory, cannot load texture " << name);
    Bx::ArchiveFile* ft = Bx::Archive::ms_archive->getFile(name);
    BX_ASSERT(ft != 0, "File " << name << " not found.");
    load(ft->data, int(ft->size));
}

bool Texture::load(const unsigned char* data, int size) {
    // Without a context there is nothing to upload to.
    if (Context::ms_context == 0 || data == nullptr || size <= 0) return false;
    m_id = SOIL_load_OGL_texture_from_memory(data, size, SOIL_LOAD_AUTO, SOIL_CREATE_NEW_ID,
                                             SOIL_FLAG_INVERT_Y | SOIL_FLAG_COMPRESS_TO_DXT);
    if (m_id == 0) return false;
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
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, repeatS ? GL_REPEAT : GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, repeatT ? GL_REPEAT : GL_CLAMP);
    unbind();
}

void Texture::setFilter(bool linearMin, bool linearMag) {
    bind(0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, linearMin ? GL_LINEAR : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, linearMag ? GL_LINEAR : GL_NEAREST);
    unbind();
}
