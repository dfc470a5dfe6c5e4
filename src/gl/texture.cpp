#include "gl/texture.h"

#include "bx/archive.h"
#include "bx/assert.h"
#include "gl/context.h"

#include <GL/glew.h>
#include <SOIL/SOIL.h>
#include <png.h>

#include <csetjmp>
#include <cstring>

namespace {

// What the libpng callbacks of isCompletePng share.
struct PngCheck {
    const unsigned char* data;
    size_t size;
    size_t position;
    bool warned;
    png_bytep row;
};

void readCheckedBytes(png_structp png, png_bytep out, png_size_t count) {
    PngCheck* check = static_cast<PngCheck*>(png_get_io_ptr(png));
    if (count > check->size - check->position) png_error(png, "file ends early");
    std::memcpy(out, check->data + check->position, count);
    check->position += count;
}

void onPngError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void onPngWarning(png_structp png, png_const_charp) {
    static_cast<PngCheck*>(png_get_error_ptr(png))->warned = true;
}

// Decodes every row of every pass and reads up to IEND. Kept apart from
// isCompletePng so that no object with a destructor lives in the function
// that calls setjmp.
bool decodeAllRows(png_structp png, png_infop info, PngCheck* check) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    check->row = static_cast<png_bytep>(png_malloc(png, rowBytes));
    std::memset(check->row, 0, rowBytes);
    // The decoder looks 8-bit palette indices up in a 256-entry table of which
    // only the entries of the PLTE chunk are filled: an index past them would
    // show whatever was in memory.
    int paletteSize = 256;
    if (png_get_color_type(png, info) == PNG_COLOR_TYPE_PALETTE &&
        png_get_bit_depth(png, info) == 8) {
        png_colorp palette = nullptr;
        if (!png_get_PLTE(png, info, &palette, &paletteSize)) return false;
    }
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y) {
            png_read_row(png, check->row, nullptr);
            if (paletteSize < 256)
                for (size_t i = 0; i < rowBytes; ++i)
                    if (check->row[i] >= paletteSize) return false;
        }
    png_read_end(png, info);
    return !check->warned;
}

} // namespace

bool isCompletePng(const unsigned char* data, size_t size) {
    if (data == nullptr || size < 8 || png_sig_cmp(data, 0, 8) != 0) return false;
    PngCheck check = {data, size, 0, false, nullptr};
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &check, onPngError, onPngWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    png_set_read_fn(png, &check, readCheckedBytes);
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    // Data after the image, a damaged ancillary chunk and the like are
    // refused, not passed over.
    png_set_benign_errors(png, 0);
    const bool complete = decodeAllRows(png, info, &check);
    if (check.row) png_free(png, check.row);
    png_destroy_read_struct(&png, &info, nullptr);
    return complete;
}

Texture::Texture(const unsigned char* data, int size) : m_bound(false), m_unit(0), m_id(0) {
    BX_ASSERT(Context::ms_context != 0, "Cannot create a texture with no context");
    load(data, size);
}

Texture::Texture(const char* name) : m_bound(false), m_unit(0), m_id(0) {
    BX_ASSERT(Bx::Archive::ms_archive != 0, "No archive in memory, cannot load texture " << name);
    Bx::ArchiveFile* ft = Bx::Archive::ms_archive->getFile(name);
    BX_ASSERT(ft != 0, "File " << name << " not found.");
    load(ft->data, int(ft->size));
}

bool Texture::load(const unsigned char* data, int size) {
    // Without a context there is nothing to upload to. The decoder trusts the
    // lengths written in the file and reads past the end of a truncated or
    // damaged one, so it only sees files that libpng has read completely.
    if (Context::ms_context == 0 || size <= 0) return false;
    if (!isCompletePng(data, size_t(size))) return false;
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
