#include "hud.h"

#include <GL/glew.h>
#include <pango/pangocairo.h>

#include <algorithm>

namespace {

const int kPadding = 6;

} // namespace

Hud::Hud() {
    glGenTextures(1, &m_texture);
}

Hud::~Hud() {
    glDeleteTextures(1, &m_texture);
}

void Hud::draw(const std::vector<std::string>& lines, int width, int height) {
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;

    // Measure, then draw white text with a dark outline on a translucent
    // panel, so that it reads over any scene and over a white flash.
    const int fontPixels = std::max(9, std::min(14, height / 28));
    cairo_surface_t* probe = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    cairo_t* cr = cairo_create(probe);
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans Mono");
    pango_font_description_set_absolute_size(font, fontPixels * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    pango_layout_set_text(layout, text.c_str(), -1);
    int textW = 0, textH = 0;
    pango_layout_get_pixel_size(layout, &textW, &textH);
    const int w = std::min(width, textW + 2 * kPadding), h = std::min(height, textH + 2 * kPadding);
    cairo_destroy(cr);
    cairo_surface_destroy(probe);

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    cr = cairo_create(surface);
    cairo_set_source_rgba(cr, 0.0, 0.0, 0.0, 0.55);
    cairo_paint(cr);
    cairo_move_to(cr, kPadding, kPadding);
    pango_cairo_update_layout(cr, layout);
    pango_cairo_layout_path(cr, layout);
    cairo_set_source_rgba(cr, 0.0, 0.0, 0.0, 0.9);
    cairo_set_line_width(cr, 2.0);
    cairo_stroke_preserve(cr);
    cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
    cairo_fill(cr);
    cairo_surface_flush(surface);
    g_object_unref(layout);
    pango_font_description_free(font);
    cairo_destroy(cr);

    glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_TEXTURE_BIT | GL_VIEWPORT_BIT |
                 GL_TRANSFORM_BIT);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, m_texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, cairo_image_surface_get_stride(surface) / 4);
    // Cairo's ARGB32 is premultiplied BGRA in memory on little-endian hosts.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w, h, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                 cairo_image_surface_get_data(surface));
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    cairo_surface_destroy(surface);

    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, width, height, 0, -1, 1); // y down, like the surface's rows
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0); glVertex2f(0, 0);
    glTexCoord2f(0, 1); glVertex2f(0, float(h));
    glTexCoord2f(1, 1); glVertex2f(float(w), float(h));
    glTexCoord2f(1, 0); glVertex2f(float(w), 0);
    glEnd();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glBindTexture(GL_TEXTURE_2D, 0);
    glPopAttrib();
}
