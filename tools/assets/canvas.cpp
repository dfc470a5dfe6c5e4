#include "canvas.h"

#include <cstdlib>

Colour hex(const char* rgb, double alpha) {
    unsigned long v = std::strtoul(rgb + 1, nullptr, 16);
    return {((v >> 16) & 255) / 255.0, ((v >> 8) & 255) / 255.0, (v & 255) / 255.0, alpha};
}

Canvas::Canvas(int width, int height, bool opaque)
    : m_width(width), m_height(height),
      m_surface(cairo_image_surface_create(opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32,
                                           width, height)),
      m_cr(cairo_create(m_surface)) {}

Canvas::~Canvas() {
    cairo_destroy(m_cr);
    cairo_surface_destroy(m_surface);
}

bool Canvas::writePng(const std::string& path) {
    cairo_surface_flush(m_surface);
    return cairo_surface_write_to_png(m_surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

Text::Text(cairo_t* cr, const std::string& text, const char* font, double sizePx,
           double spacingPx)
    : m_cr(cr), m_layout(pango_cairo_create_layout(cr)) {
    PangoFontDescription* desc = pango_font_description_from_string(font);
    pango_font_description_set_absolute_size(desc, sizePx * PANGO_SCALE);
    pango_layout_set_font_description(m_layout, desc);
    pango_font_description_free(desc);
    if (spacingPx != 0.0) {
        PangoAttrList* attrs = pango_attr_list_new();
        pango_attr_list_insert(attrs, pango_attr_letter_spacing_new(int(spacingPx * PANGO_SCALE)));
        pango_layout_set_attributes(m_layout, attrs);
        pango_attr_list_unref(attrs);
    }
    pango_layout_set_text(m_layout, text.c_str(), -1);
    PangoRectangle ink, logical;
    pango_layout_get_extents(m_layout, &ink, &logical);
    m_width = double(logical.width) / PANGO_SCALE;
    m_height = double(logical.height) / PANGO_SCALE;
}

Text::~Text() { g_object_unref(m_layout); }

double Text::charEnd(int index) const {
    PangoRectangle pos;
    pango_layout_index_to_pos(m_layout, index, &pos);
    return double(pos.x + pos.width) / PANGO_SCALE;
}

void Text::path(double x, double y) const {
    cairo_move_to(m_cr, x, y);
    pango_cairo_layout_path(m_cr, m_layout);
}

void outlinedText(cairo_t* cr, const Text& text, double x, double y, const Colour& fill,
                  const Colour& outline, double outlineWidth, double shadow) {
    cairo_save(cr);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    if (shadow > 0.0) {
        // A soft shadow: the outline widened in steps at low opacity, offset
        // down and to the right.
        const int steps = 6;
        for (int s = steps; s >= 1; --s) {
            cairo_new_path(cr);
            text.path(x + shadow * 0.35, y + shadow * 0.5);
            cairo_set_line_width(cr, outlineWidth + shadow * 2.0 * s / steps);
            cairo_set_source_rgba(cr, outline.r, outline.g, outline.b, outline.a * 0.09);
            cairo_stroke(cr);
        }
    }
    cairo_new_path(cr);
    text.path(x, y);
    if (outlineWidth > 0.0) {
        cairo_set_line_width(cr, outlineWidth);
        cairo_set_source_rgba(cr, outline.r, outline.g, outline.b, outline.a);
        cairo_stroke_preserve(cr);
    }
    cairo_set_source_rgba(cr, fill.r, fill.g, fill.b, fill.a);
    cairo_fill(cr);
    cairo_restore(cr);
}
