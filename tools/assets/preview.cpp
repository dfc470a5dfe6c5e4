// tidewane-preview: composes the generated pictures the way the show puts
// them on screen, for looking at them: the end of the intro over white, the
// walk cycle as a strip, lyrics over a bright and a dark picture, and the
// credits over the water as the third scene places them.
//
//     tidewane-preview ASSETDIR OUTDIR

#include "canvas.h"

#include <cstdio>
#include <string>

namespace {

// A PNG loaded as a cairo surface.
class Picture {
public:
    explicit Picture(const std::string& path) : m_surface(cairo_image_surface_create_from_png(path.c_str())) {}
    ~Picture() { cairo_surface_destroy(m_surface); }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    bool ok() const { return cairo_surface_status(m_surface) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(m_surface); }
    int height() const { return cairo_image_surface_get_height(m_surface); }
    // Draws the picture stretched over the rectangle, like a textured quad.
    void draw(cairo_t* cr, double x, double y, double w, double h, double alpha = 1.0) const {
        cairo_save(cr);
        cairo_translate(cr, x, y);
        cairo_scale(cr, w / width(), h / height());
        cairo_set_source_surface(cr, m_surface, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        cairo_paint_with_alpha(cr, alpha);
        cairo_restore(cr);
    }

private:
    cairo_surface_t* m_surface;
};

// The intro in the 1920x1080 virtual screen: the figure quad spans x from
// -82 to 54 and y from -70 to 178 around the centre (y up); the picture quad
// is the centred half-size rectangle.
void introEnd(const std::string& dir, Canvas& c, int us, int logo) {
    cairo_t* cr = c.cr();
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    Picture walk(dir + "/queltwalk/01.png");
    walk.draw(cr, 960 - 82, 540 - 178, 136, 248);
    char name[64];
    if (us > 0) {
        std::snprintf(name, sizeof name, "/us/%02d.png", us);
        Picture(dir + name).draw(cr, 480, 270, 960, 540);
    }
    if (logo > 0) {
        std::snprintf(name, sizeof name, "/logo/%02d.png", logo);
        Picture(dir + name).draw(cr, 480, 270, 960, 540);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tidewane-preview ASSETDIR OUTDIR\n");
        return 2;
    }
    std::string dir = argv[1], out = argv[2];
    bool ok = true;
    {
        Canvas c(1920, 1080, true);
        introEnd(dir, c, 7, 7);
        ok &= c.writePng(out + "/intro-end.png");
    }
    {
        // The seven steps of each card sequence, small, two rows.
        Canvas c(7 * 480, 2 * 270, true);
        for (int row = 0; row < 2; ++row)
            for (int k = 1; k <= 7; ++k) {
                Canvas frame(1920, 1080, true);
                introEnd(dir, frame, row == 0 ? k : 7, row == 0 ? 0 : k);
                cairo_save(c.cr());
                cairo_translate(c.cr(), (k - 1) * 480, row * 270);
                cairo_rectangle(c.cr(), 0, 0, 480, 270);
                cairo_clip(c.cr());
                cairo_scale(c.cr(), 0.5, 0.5);
                cairo_set_source_surface(c.cr(), frame.surface(), -480, -270);
                cairo_paint(c.cr());
                cairo_restore(c.cr());
            }
        ok &= c.writePng(out + "/intro-cards.png");
    }
    {
        Canvas c(8 * 150, 270, true);
        cairo_set_source_rgb(c.cr(), 1, 1, 1);
        cairo_paint(c.cr());
        for (int k = 1; k <= 8; ++k) {
            char name[64];
            std::snprintf(name, sizeof name, "/queltwalk/%02d.png", k);
            Picture(dir + name).draw(c.cr(), (k - 1) * 150 + 7, 11, 136, 248);
        }
        ok &= c.writePng(out + "/walk.png");
    }
    {
        // Lyrics over the water picture and over white (a flash), 960x540.
        Canvas c(1920, 1080, true);
        Picture blue(dir + "/blue.png");
        const int lines[4] = {1, 4, 11, 17};
        for (int k = 0; k < 4; ++k) {
            double x = (k % 2) * 960, y = (k / 2) * 540;
            if (k % 2 == 0) blue.draw(c.cr(), x, y, 960, 540);
            else {
                cairo_rectangle(c.cr(), x, y, 960, 540);
                cairo_set_source_rgb(c.cr(), 0.95, 0.95, 0.95);
                cairo_fill(c.cr());
            }
            char name[64];
            std::snprintf(name, sizeof name, "/lyrics/%02d.png", lines[k]);
            Picture(dir + name).draw(c.cr(), x, y, 960, 540);
        }
        ok &= c.writePng(out + "/lyrics.png");
    }
    {
        // The third scene's layout: cloud on the left fading into the water
        // on the right, the credits at 1/1.1 size anchored top right.
        Canvas c(1920, 1080, true);
        cairo_t* cr = c.cr();
        Picture(dir + "/blue.png").draw(cr, 0, 0, 1920, 1080);
        cairo_pattern_t* fade = cairo_pattern_create_linear(0, 0, 1920, 0);
        cairo_pattern_add_color_stop_rgba(fade, 0.0, 0.10, 0.20, 0.25, 1);
        cairo_pattern_add_color_stop_rgba(fade, 0.35, 0.10, 0.20, 0.25, 1);
        cairo_pattern_add_color_stop_rgba(fade, 0.55, 0.10, 0.20, 0.25, 0);
        cairo_set_source(cr, fade);
        cairo_paint(cr);
        cairo_pattern_destroy(fade);
        Picture credit(dir + "/credit.png");
        credit.draw(cr, 1920 - 1920 / 1.1, 0, 1920 / 1.1, 1080 / 1.1);
        ok &= c.writePng(out + "/credits.png");
    }
    if (!ok) {
        std::fprintf(stderr, "tidewane-preview: cannot write into %s\n", out.c_str());
        return 1;
    }
    return 0;
}
