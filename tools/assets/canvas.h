#pragma once
// A cairo drawing surface with the text helpers the images share.

#include <cairo.h>
#include <pango/pangocairo.h>

#include <string>

struct Colour {
    double r, g, b, a = 1.0;
};

// Hex colour "#rrggbb" with an alpha.
Colour hex(const char* rgb, double alpha = 1.0);

class Canvas {
public:
    // A transparent canvas (ARGB) or, when `opaque`, one without alpha.
    Canvas(int width, int height, bool opaque = false);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    cairo_t* cr() const { return m_cr; }
    cairo_surface_t* surface() const { return m_surface; }
    int width() const { return m_width; }
    int height() const { return m_height; }

    void setColour(const Colour& c) { cairo_set_source_rgba(m_cr, c.r, c.g, c.b, c.a); }

    // Writes the picture as PNG; false when the file cannot be written.
    bool writePng(const std::string& path);

private:
    int m_width, m_height;
    cairo_surface_t* m_surface;
    cairo_t* m_cr;
};

// A laid-out line of text in one font, measured in pixels.
class Text {
public:
    // `font` is a Pango description without size ("DejaVu Sans Bold");
    // `sizePx` the em size in pixels; `spacingPx` extra room between letters.
    Text(cairo_t* cr, const std::string& text, const char* font, double sizePx,
         double spacingPx = 0.0);
    ~Text();
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;

    double width() const { return m_width; }
    double height() const { return m_height; }
    // Horizontal extent of character `index` (byte index into the UTF-8
    // text) from the layout's left edge.
    double charEnd(int index) const;

    // Adds the glyph outlines to the current path with the layout's top-left
    // corner at (x, y).
    void path(double x, double y) const;

private:
    cairo_t* m_cr;
    PangoLayout* m_layout;
    double m_width, m_height;
};

// Draws `text` with its top-left at (x, y): a soft shadow, a dark outline of
// width `outline` and the fill on top, all clipped to the canvas.
void outlinedText(cairo_t* cr, const Text& text, double x, double y, const Colour& fill,
                  const Colour& outline, double outlineWidth, double shadow);
