#include "images.h"

#include "canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace Images {

const char* const kLyrics[17] = {
    "Ebb",
    "and",
    "flow",
    "the sea draws back its silver breath",
    "and leaves the shore to the moon",
    "we walk the sand where the water slept",
    "counting the shells it left too soon",
    "hear it turning, far and low",
    "the pull of something we can't see",
    "every wave that lets us go",
    "comes rolling home again to me",
    "salt on the wind, light on the foam",
    "the harbour hums an older tune",
    "whatever drifts will find its home",
    "carried in by the rising moon",
    "so let it rise, so let it fall",
    "the tide remembers all",
};

namespace {

// Pixel sizes. The intro cards cover half the 1080-line screen in each
// direction, so 960x540 maps one to one there; the walk frames are twice the
// figure quad's 136x248 units. The pictures of the second loading batch are
// shown full screen, so they have the screen's own size.
const int kScreenW = 1920, kScreenH = 1080;
const int kCardW = 960, kCardH = 540;
const int kWalkScale = 2;
const int kFigureW = 136, kFigureH = 248;
const int kLyricW = kScreenW, kLyricH = kScreenH;
const int kCreditW = kScreenW, kCreditH = kScreenH;
const int kBlueW = kScreenW, kBlueH = kScreenH;

const double kTau = 6.283185307179586;

double rad(double degrees) { return degrees * kTau / 360.0; }

// ------------------------------------------------------------ preload card --

void wavesBand(cairo_t* cr, double width, double base, double amplitude, double wavelength,
               double phase, double bottom) {
    cairo_new_path(cr);
    cairo_move_to(cr, 0, bottom);
    for (double x = 0; x <= width + 8; x += 8)
        cairo_line_to(cr, x, base + amplitude * std::sin(kTau * x / wavelength + phase) +
                                 0.4 * amplitude * std::sin(kTau * x / (wavelength * 0.37) + 2 * phase));
    cairo_line_to(cr, width, bottom);
    cairo_close_path(cr);
}

void drawPreload(Canvas& c) {
    cairo_t* cr = c.cr();
    double w = c.width(), h = c.height();
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, 0, 0, h);
    cairo_pattern_add_color_stop_rgb(sky, 0.0, 0.035, 0.07, 0.13);
    cairo_pattern_add_color_stop_rgb(sky, 0.62, 0.07, 0.20, 0.28);
    cairo_pattern_add_color_stop_rgb(sky, 1.0, 0.03, 0.13, 0.19);
    cairo_set_source(cr, sky);
    cairo_paint(cr);
    cairo_pattern_destroy(sky);

    // A pale moon with a faint halo, upper right.
    double mx = w * 0.76, my = h * 0.25, mr = h * 0.06;
    cairo_pattern_t* halo = cairo_pattern_create_radial(mx, my, mr, mx, my, mr * 5);
    cairo_pattern_add_color_stop_rgba(halo, 0, 0.9, 0.92, 0.85, 0.18);
    cairo_pattern_add_color_stop_rgba(halo, 1, 0.9, 0.92, 0.85, 0.0);
    cairo_set_source(cr, halo);
    cairo_paint(cr);
    cairo_pattern_destroy(halo);
    cairo_arc(cr, mx, my, mr, 0, kTau);
    cairo_set_source_rgb(cr, 0.91, 0.90, 0.83);
    cairo_fill(cr);

    // Layered swell towards the bottom, lighter layers further away.
    const double layers[4][5] = {
        // base, amplitude, wavelength, phase, alpha
        {0.66, 10, 420, 0.3, 0.16},
        {0.72, 14, 520, 1.9, 0.22},
        {0.80, 18, 640, 4.0, 0.30},
        {0.89, 22, 760, 2.7, 0.45},
    };
    for (const auto& l : layers) {
        wavesBand(cr, w, h * l[0], l[1], l[2], l[3], h);
        cairo_set_source_rgba(cr, 0.03, 0.10 + 0.1 * l[4], 0.16 + 0.1 * l[4], 0.55 + l[4]);
        cairo_fill_preserve(cr);
        cairo_set_source_rgba(cr, 0.55, 0.80, 0.85, l[4] * 0.7);
        cairo_set_line_width(cr, 2.0);
        cairo_stroke(cr);
    }
    // Moonlight on the water.
    for (int k = 0; k < 14; ++k) {
        double y = h * (0.68 + 0.022 * k);
        double half = h * (0.012 + 0.006 * k) * (1.0 + 0.35 * std::sin(k * 1.7));
        cairo_move_to(cr, mx - half, y);
        cairo_line_to(cr, mx + half, y);
        cairo_set_source_rgba(cr, 0.92, 0.92, 0.84, 0.28 - 0.015 * k);
        cairo_set_line_width(cr, 3.0);
        cairo_stroke(cr);
    }

    Text title(cr, "Velk :: Tidewane", "DejaVu Sans ExtraLight", h * 0.085, h * 0.008);
    outlinedText(cr, title, (w - title.width()) / 2, h * 0.40, hex("#e9f2f1"),
                 hex("#06121c", 0.6), 0.0, h * 0.01);
    Text sub(cr, "loading", "DejaVu Sans", h * 0.026, h * 0.012);
    outlinedText(cr, sub, (w - sub.width()) / 2, h * 0.53, hex("#9fc4c8", 0.85),
                 hex("#000000"), 0.0, 0.0);
    for (int k = 0; k < 3; ++k) {
        cairo_arc(cr, w / 2 - h * 0.02 + k * h * 0.02, h * 0.585, h * 0.004, 0, kTau);
        cairo_set_source_rgba(cr, 0.62, 0.77, 0.78, 0.35 + 0.25 * k);
        cairo_fill(cr);
    }
}

// ------------------------------------------------------------ program icon --

// The preload card's night sea in a rounded square: a pale moon over three
// swells, readable from 48 pixels up.
void drawIcon(Canvas& c) {
    cairo_t* cr = c.cr();
    const double s = c.width();
    const double r = s * 0.18, m = s * 0.04; // corner radius, margin
    cairo_new_path(cr);
    cairo_arc(cr, s - m - r, m + r, r, -kTau / 4, 0);
    cairo_arc(cr, s - m - r, s - m - r, r, 0, kTau / 4);
    cairo_arc(cr, m + r, s - m - r, r, kTau / 4, kTau / 2);
    cairo_arc(cr, m + r, m + r, r, kTau / 2, kTau * 3 / 4);
    cairo_close_path(cr);
    cairo_pattern_t* sky = cairo_pattern_create_linear(0, m, 0, s - m);
    cairo_pattern_add_color_stop_rgb(sky, 0.0, 0.035, 0.07, 0.13);
    cairo_pattern_add_color_stop_rgb(sky, 0.6, 0.07, 0.20, 0.28);
    cairo_pattern_add_color_stop_rgb(sky, 1.0, 0.03, 0.13, 0.19);
    cairo_set_source(cr, sky);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(sky);
    cairo_clip(cr);

    cairo_arc(cr, s * 0.66, s * 0.32, s * 0.13, 0, kTau);
    cairo_set_source_rgb(cr, 0.91, 0.90, 0.83);
    cairo_fill(cr);
    const double swells[3][4] = {
        // base, amplitude, wavelength, alpha (all but alpha in icon widths)
        {0.58, 0.035, 0.9, 0.35},
        {0.68, 0.045, 1.1, 0.55},
        {0.80, 0.055, 1.3, 0.85},
    };
    for (const auto& w : swells) {
        wavesBand(cr, s, s * w[0], s * w[1], s * w[2], w[0] * 9.0, s);
        cairo_set_source_rgba(cr, 0.05, 0.22 + 0.2 * w[3], 0.30 + 0.2 * w[3], 0.9);
        cairo_fill_preserve(cr);
        cairo_set_source_rgba(cr, 0.75, 0.92, 0.95, w[3]);
        cairo_set_line_width(cr, std::max(1.0, s * 0.02));
        cairo_stroke(cr);
    }
}

// --------------------------------------------------------- walking figure --

struct Pt {
    double x, y;
};
Pt operator+(Pt a, Pt b) { return {a.x + b.x, a.y + b.y}; }
Pt along(double length, double angle) { return {length * std::sin(angle), length * std::cos(angle)}; }

// One leg per frame: hip angle (forward positive), knee bend and foot pitch
// (toe down positive), in degrees. Frame 0 is the passing position with both
// feet under the body, which doubles as the standing pose the walk ends on.
struct LegPose {
    double hip, knee, foot;
};
const LegPose kLegCycle[8] = {
    {2, 10, 4},    // passing, nearly straight: standing
    {16, 24, 2},   // swinging through
    {26, 4, -14},  // heel strike, leg in front
    {19, 14, 0},   // taking the weight
    {7, 5, 0},     // mid stance
    {-7, 4, 6},    // heel lifting
    {-20, 12, 24}, // toe off
    {-10, 40, 16}, // early swing, knee bent
};

const double kThigh = 56, kShin = 54, kUpperArm = 40, kForearm = 38, kTorso = 70;
const double kSole = 7;

struct Leg {
    Pt hip, knee, ankle;
    double footPitch;
};

Leg legAt(Pt hip, const LegPose& p) {
    Leg l;
    l.hip = hip;
    l.knee = hip + along(kThigh, rad(p.hip));
    l.ankle = l.knee + along(kShin, rad(p.hip - p.knee));
    l.footPitch = rad(p.foot);
    return l;
}

// Boot outline around the ankle, pointing right, turned by the pitch.
std::vector<Pt> bootShape(const Leg& l) {
    const Pt local[] = {{-7, -6}, {7, -5}, {14, -1}, {19, 3}, {19, kSole}, {-8, kSole}, {-9, 2}};
    std::vector<Pt> out;
    double c = std::cos(l.footPitch), s = std::sin(l.footPitch);
    for (const Pt& p : local) out.push_back({l.ankle.x + p.x * c - p.y * s, l.ankle.y + p.x * s + p.y * c});
    return out;
}

double lowestPoint(const Leg& l) {
    double y = -1e9;
    for (const Pt& p : bootShape(l)) y = std::max(y, p.y);
    return y;
}

void strokeLimb(cairo_t* cr, const std::vector<Pt>& pts, double width, const Colour& fill,
                const Colour& outline) {
    cairo_new_path(cr);
    cairo_move_to(cr, pts[0].x, pts[0].y);
    for (size_t i = 1; i < pts.size(); ++i) cairo_line_to(cr, pts[i].x, pts[i].y);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_source_rgba(cr, outline.r, outline.g, outline.b, outline.a);
    cairo_set_line_width(cr, width + 3.0);
    cairo_stroke_preserve(cr);
    cairo_set_source_rgba(cr, fill.r, fill.g, fill.b, fill.a);
    cairo_set_line_width(cr, width);
    cairo_stroke(cr);
}

void fillShape(cairo_t* cr, const std::vector<Pt>& pts, const Colour& fill, const Colour& outline) {
    cairo_new_path(cr);
    cairo_move_to(cr, pts[0].x, pts[0].y);
    for (size_t i = 1; i < pts.size(); ++i) cairo_line_to(cr, pts[i].x, pts[i].y);
    cairo_close_path(cr);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    cairo_set_source_rgba(cr, outline.r, outline.g, outline.b, outline.a);
    cairo_set_line_width(cr, 3.0);
    cairo_stroke_preserve(cr);
    cairo_set_source_rgba(cr, fill.r, fill.g, fill.b, fill.a);
    cairo_fill(cr);
}

void drawLeg(cairo_t* cr, const Leg& l, const Colour& trousers, const Colour& boot,
             const Colour& outline) {
    strokeLimb(cr, {l.hip, l.knee, l.ankle + Pt{0, -3}}, 13.0, trousers, outline);
    fillShape(cr, bootShape(l), boot, outline);
}

void drawArm(cairo_t* cr, Pt shoulder, double angle, const Colour& sleeve, const Colour& skin,
             const Colour& outline) {
    double bend = rad(14) + 0.6 * std::max(0.0, angle);
    Pt elbow = shoulder + along(kUpperArm, angle);
    Pt wrist = elbow + along(kForearm - 6, angle + bend);
    strokeLimb(cr, {shoulder, elbow, wrist}, 10.5, sleeve, outline);
    Pt hand = elbow + along(kForearm, angle + bend);
    cairo_new_path(cr);
    cairo_arc(cr, hand.x, hand.y, 5.2, 0, kTau);
    cairo_set_source_rgba(cr, outline.r, outline.g, outline.b, outline.a);
    cairo_set_line_width(cr, 3.0);
    cairo_stroke_preserve(cr);
    cairo_set_source_rgba(cr, skin.r, skin.g, skin.b, skin.a);
    cairo_fill(cr);
}

// The walker: a small figure in a teal jacket, rust beanie and a mustard
// scarf whose end flutters with the step, facing right. `frame` 0..7.
void drawWalker(cairo_t* cr, int frame) {
    const Colour outline = hex("#16222b");
    const Colour jacket = hex("#2f6c83"), jacketFar = hex("#224f61");
    const Colour trousers = hex("#30374a"), trousersFar = hex("#202634");
    const Colour boot = hex("#5b3b29"), bootFar = hex("#3f291d");
    const Colour skin = hex("#f0c4a2"), skinFar = hex("#d5a584");
    const Colour hat = hex("#c9563f"), scarf = hex("#e5aa3d"), hair = hex("#3b2a22");

    const LegPose& nearPose = kLegCycle[frame % 8];
    const LegPose& farPose = kLegCycle[(frame + 4) % 8];
    // Place the hip so that the lower foot stands on the ground line.
    const double ground = 244.0;
    Pt hip0{64, 0};
    Leg nearLeg = legAt(hip0, nearPose), farLeg = legAt(hip0, farPose);
    double drop = ground - std::max(lowestPoint(nearLeg), lowestPoint(farLeg));
    Pt hip{64, drop};
    nearLeg = legAt(hip, nearPose);
    farLeg = legAt(hip, farPose);

    const double lean = rad(4);
    Pt neck = hip + along(-kTorso, -lean); // up and slightly forward
    Pt shoulder = neck + along(-8, -lean);
    shoulder.y = neck.y + 8;
    Pt head{neck.x + 4, neck.y - 21};

    double nearArm = -0.85 * rad(nearPose.hip);
    double farArm = -0.85 * rad(farPose.hip);

    drawArm(cr, shoulder + Pt{3, 0}, farArm, jacketFar, skinFar, outline);
    drawLeg(cr, farLeg, trousersFar, bootFar, outline);
    drawLeg(cr, nearLeg, trousers, boot, outline);

    // Jacket: from the shoulders to a hem below the hip.
    Pt up = {neck.x - hip.x, neck.y - hip.y};
    double len = std::sqrt(up.x * up.x + up.y * up.y);
    Pt u{up.x / len, up.y / len}, n{-u.y, u.x}; // n points to the back
    auto at = [&](double t, double side) {
        return Pt{hip.x + up.x * t + n.x * side, hip.y + up.y * t + n.y * side};
    };
    std::vector<Pt> coat = {at(0.93, 12), at(0.97, 4), at(0.93, -12), at(0.55, -14.5),
                            at(-0.16, -14), at(-0.19, 0), at(-0.16, 15), at(0.55, 15.5)};
    fillShape(cr, coat, jacket, outline);
    // A zip line and a pocket flap for a little detail.
    cairo_new_path(cr);
    Pt z0 = at(0.9, -11), z1 = at(-0.12, -12.5);
    cairo_move_to(cr, z0.x, z0.y);
    cairo_line_to(cr, z1.x, z1.y);
    cairo_set_source_rgba(cr, 0.1, 0.22, 0.28, 0.8);
    cairo_set_line_width(cr, 1.6);
    cairo_stroke(cr);
    Pt p0 = at(0.18, -9), p1 = at(0.18, 3);
    cairo_move_to(cr, p0.x, p0.y);
    cairo_line_to(cr, p1.x, p1.y);
    cairo_stroke(cr);

    // Scarf end, trailing behind and waving with the step.
    double phase = frame * kTau / 8.0;
    std::vector<Pt> tail;
    for (int i = 0; i <= 5; ++i)
        tail.push_back({neck.x - 6 - 6.5 * i, neck.y + 5 + 3.2 * i + 2.6 * std::sin(phase - 0.9 * i) * (i / 5.0)});
    strokeLimb(cr, tail, 6.5, scarf, outline);

    // Head: hair at the back, face, beanie with a turned-up brim and a bobble.
    cairo_new_path(cr);
    cairo_arc(cr, head.x, head.y, 16.5, 0, kTau);
    cairo_set_source_rgba(cr, outline.r, outline.g, outline.b, 1);
    cairo_set_line_width(cr, 3.0);
    cairo_stroke_preserve(cr);
    cairo_set_source_rgba(cr, skin.r, skin.g, skin.b, 1);
    cairo_fill(cr);
    cairo_new_path(cr);
    cairo_arc(cr, head.x - 3, head.y - 1, 14.5, rad(100), rad(250));
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, hair.r, hair.g, hair.b, 1);
    cairo_fill(cr);
    // Nose and eye.
    cairo_new_path(cr);
    cairo_move_to(cr, head.x + 14.5, head.y - 1);
    cairo_curve_to(cr, head.x + 21, head.y + 4, head.x + 19, head.y + 7, head.x + 14.5, head.y + 7);
    cairo_set_source_rgba(cr, skin.r, skin.g, skin.b, 1);
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, outline.r, outline.g, outline.b, 1);
    cairo_set_line_width(cr, 2.0);
    cairo_stroke(cr);
    cairo_new_path(cr);
    cairo_arc(cr, head.x + 8.5, head.y + 0.5, 1.9, 0, kTau);
    cairo_fill(cr);
    // Ear.
    cairo_new_path(cr);
    cairo_arc(cr, head.x - 2, head.y + 1, 3.6, 0, kTau);
    cairo_set_source_rgba(cr, skinFar.r, skinFar.g, skinFar.b, 1);
    cairo_fill(cr);
    // Beanie.
    cairo_new_path(cr);
    cairo_arc(cr, head.x, head.y - 6, 17.5, rad(180), rad(360));
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, outline.r, outline.g, outline.b, 1);
    cairo_set_line_width(cr, 3.0);
    cairo_stroke_preserve(cr);
    cairo_set_source_rgba(cr, hat.r, hat.g, hat.b, 1);
    cairo_fill(cr);
    cairo_new_path(cr);
    cairo_rectangle(cr, head.x - 18.5, head.y - 9.5, 37, 6.5);
    cairo_set_source_rgba(cr, outline.r, outline.g, outline.b, 1);
    cairo_stroke_preserve(cr);
    cairo_set_source_rgba(cr, 0.72, 0.30, 0.22, 1);
    cairo_fill(cr);
    cairo_new_path(cr);
    cairo_arc(cr, head.x - 4, head.y - 25.5, 4.8, 0, kTau);
    cairo_set_source_rgba(cr, outline.r, outline.g, outline.b, 1);
    cairo_stroke_preserve(cr);
    cairo_set_source_rgba(cr, 0.95, 0.86, 0.72, 1);
    cairo_fill(cr);

    // Scarf wrap around the neck, over the collar.
    cairo_new_path(cr);
    cairo_move_to(cr, neck.x - 11, neck.y + 1);
    cairo_curve_to(cr, neck.x - 4, neck.y + 7, neck.x + 6, neck.y + 7, neck.x + 12, neck.y);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_source_rgba(cr, outline.r, outline.g, outline.b, 1);
    cairo_set_line_width(cr, 11);
    cairo_stroke_preserve(cr);
    cairo_set_source_rgba(cr, scarf.r, scarf.g, scarf.b, 1);
    cairo_set_line_width(cr, 8);
    cairo_stroke(cr);

    drawArm(cr, shoulder, nearArm, jacket, skin, outline);
}

// ------------------------------------------------- intro cards over white --

// Where the standing figure appears on the 960x540 intro cards: the figure
// quad is centred 14 units left of the screen centre, from 70 units below
// to 178 units above it.
const double kFigureLeft = kCardW / 2.0 - 14 - 68;
const double kFigureRight = kCardW / 2.0 - 14 + 68;
const double kFigureFeet = kCardH / 2.0 + 70 - 4;

// Draws the first `letters` characters of `text` (clipped at the end of the
// last one), with the last one at `lastAlpha`.
void partialText(cairo_t* cr, const Text& text, double x, double y, int letters, int total,
                 double lastAlpha, const Colour& fill) {
    if (letters <= 0) return;
    cairo_save(cr);
    double solidEnd = letters > 1 ? text.charEnd(letters - 2) : 0.0;
    double end = letters >= total ? text.width() + 20 : text.charEnd(letters - 1);
    cairo_rectangle(cr, x - 20, y - 40, solidEnd + 20, text.height() + 80);
    cairo_clip(cr);
    outlinedText(cr, text, x, y, fill, fill, 0.0, 0.0);
    cairo_restore(cr);
    cairo_save(cr);
    cairo_rectangle(cr, x + solidEnd, y - 40, end - solidEnd, text.height() + 80);
    cairo_clip(cr);
    Colour faded = fill;
    faded.a *= lastAlpha;
    outlinedText(cr, text, x, y, faded, faded, 0.0, 0.0);
    cairo_restore(cr);
}

// "VELK [figure] presents": the group's name builds up letter by letter to
// the left of the figure, then "presents" appears to its right.
void drawPresents(Canvas& c, int frame) {
    cairo_t* cr = c.cr();
    const Colour ink = hex("#13324b"), soft = hex("#2f6f86");
    Text velk(cr, "VELK", "DejaVu Sans Bold", 108, 10);
    double vx = kFigureLeft - 18 - velk.width();
    double vy = 160;
    // Accent line under the name, growing from its right end.
    double grow = std::min(1.0, 0.3 + 0.35 * frame);
    double lineY = vy + velk.height() + 6;
    cairo_new_path(cr);
    cairo_move_to(cr, vx + velk.width() * (1 - grow), lineY);
    cairo_line_to(cr, vx + velk.width(), lineY);
    cairo_set_source_rgba(cr, soft.r, soft.g, soft.b, 1);
    cairo_set_line_width(cr, 4);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_stroke(cr);
    int letters = std::min(4, frame);
    partialText(cr, velk, vx, vy, letters, 4, frame <= 4 ? 0.55 : 1.0, ink);
    if (frame >= 5) {
        Text presents(cr, "presents", "DejaVu Serif Italic", 46, 1);
        double px = kFigureRight + 22, py = vy + velk.height() - presents.height() - 4;
        Colour col = soft;
        col.a = frame == 5 ? 0.45 : 1.0;
        outlinedText(cr, presents, px - (frame == 5 ? 8 : 0), py, col, col, 0.0, 0.0);
        if (frame >= 6) {
            cairo_new_path(cr);
            cairo_move_to(cr, px, lineY);
            cairo_line_to(cr, px + presents.width(), lineY);
            cairo_set_line_width(cr, 4);
            cairo_set_source_rgba(cr, soft.r, soft.g, soft.b, 1);
            cairo_stroke(cr);
            // Three small drops after the word.
            for (int k = 0; k < 3; ++k) {
                cairo_arc(cr, px + presents.width() + 14 + 11 * k, lineY, 2.6, 0, kTau);
                cairo_fill(cr);
            }
        }
    }
}

// The logo: a shoreline wave under the figure's feet, then "TIDEWANE" in a
// sea-blue gradient rising letter by letter below it.
void drawLogo(Canvas& c, int frame) {
    cairo_t* cr = c.cr();
    double cx = kCardW / 2.0;
    double waveY = kFigureFeet + 10;
    double reach = frame == 0 ? 0.18 : (frame == 1 ? 0.6 : 1.0);
    double left = cx - 400 * reach, right = cx + 400 * reach;
    cairo_new_path(cr);
    for (double x = left; x <= right; x += 2) {
        double edge = std::min(x - left, right - x) / 60.0;
        double a = 5.0 * std::min(1.0, edge);
        double y = waveY + a * std::sin(kTau * (x - cx) / 64.0);
        if (x == left) cairo_move_to(cr, x, y);
        else cairo_line_to(cr, x, y);
    }
    cairo_set_line_width(cr, 4);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_source_rgba(cr, 0.18, 0.44, 0.53, 1);
    cairo_stroke(cr);

    if (frame >= 2) {
        Text logo(cr, "TIDEWANE", "DejaVu Sans Bold", 88, 22);
        double lx = cx - logo.width() / 2, ly = waveY + 22;
        int letters = std::min(8, 2 * (frame - 1));
        cairo_pattern_t* sea = cairo_pattern_create_linear(0, ly + 10, 0, ly + logo.height() - 10);
        cairo_pattern_add_color_stop_rgb(sea, 0, 0.08, 0.25, 0.40);
        cairo_pattern_add_color_stop_rgb(sea, 1, 0.16, 0.58, 0.68);
        cairo_save(cr);
        double end = letters >= 8 ? logo.width() + 30 : logo.charEnd(letters - 1);
        cairo_rectangle(cr, lx - 30, ly - 30, end + 30, logo.height() + 60);
        cairo_clip(cr);
        cairo_new_path(cr);
        logo.path(lx, ly);
        cairo_set_source(cr, sea);
        cairo_fill(cr);
        cairo_restore(cr);
        cairo_pattern_destroy(sea);
        if (frame == 5) {
            // The last letters appear faintly before they settle.
            cairo_save(cr);
            cairo_rectangle(cr, lx + end, ly - 30, logo.width(), logo.height() + 60);
            cairo_clip(cr);
            cairo_new_path(cr);
            logo.path(lx, ly);
            cairo_set_source_rgba(cr, 0.16, 0.5, 0.6, 0.3);
            cairo_fill(cr);
            cairo_restore(cr);
        }
        if (frame >= 6) {
            // A thin reflection line and spray dots under the word.
            double ry = ly + logo.height() + 4;
            cairo_pattern_t* fade = cairo_pattern_create_linear(lx, 0, lx + logo.width(), 0);
            cairo_pattern_add_color_stop_rgba(fade, 0, 0.18, 0.44, 0.53, 0);
            cairo_pattern_add_color_stop_rgba(fade, 0.5, 0.18, 0.44, 0.53, 0.9);
            cairo_pattern_add_color_stop_rgba(fade, 1, 0.18, 0.44, 0.53, 0);
            cairo_new_path(cr);
            cairo_move_to(cr, lx, ry);
            cairo_line_to(cr, lx + logo.width(), ry);
            cairo_set_source(cr, fade);
            cairo_set_line_width(cr, 2);
            cairo_stroke(cr);
            cairo_pattern_destroy(fade);
            Text tag(cr, "a tide of light and sound", "DejaVu Serif Italic", 24, 2);
            outlinedText(cr, tag, cx - tag.width() / 2, ry + 10, hex("#2f6f86"), hex("#2f6f86"), 0, 0);
        }
    }
}

// ----------------------------------------------------------------- lyrics --

void drawLyric(Canvas& c, int index) {
    cairo_t* cr = c.cr();
    double w = c.width(), h = c.height();
    const Colour fill = hex("#fbf6ea"), outline = hex("#08131d", 0.9);
    if (index <= 3) {
        // "Ebb", "and", "flow": one big word each, stepping left to right
        // as they change within a second.
        Text word(cr, kLyrics[index - 1], "DejaVu Sans Bold", h * 0.095, h * 0.006);
        double x = w * (0.30 + 0.2 * (index - 1)) - word.width() / 2;
        outlinedText(cr, word, x, h * 0.70, fill, outline, h * 0.011, h * 0.012);
        return;
    }
    Text line(cr, kLyrics[index - 1], "DejaVu Sans Bold", h * 0.056, h * 0.002);
    outlinedText(cr, line, (w - line.width()) / 2, h * 0.76, fill, outline, h * 0.009, h * 0.01);
}

// ---------------------------------------------------------------- credits --

// Shown over the third scene at 1/1.1 of the screen, anchored top right; the
// image's right and top tenths also show up along the left and bottom of the
// screen, so they stay empty.
void drawCredits(Canvas& c) {
    cairo_t* cr = c.cr();
    double w = c.width(), h = c.height();
    double x0 = w * 0.14, x1 = w * 0.82, y0 = h * 0.18, y1 = h * 0.86, r = h * 0.03;
    cairo_new_path(cr);
    cairo_arc(cr, x1 - r, y0 + r, r, -kTau / 4, 0);
    cairo_arc(cr, x1 - r, y1 - r, r, 0, kTau / 4);
    cairo_arc(cr, x0 + r, y1 - r, r, kTau / 4, kTau / 2);
    cairo_arc(cr, x0 + r, y0 + r, r, kTau / 2, kTau * 0.75);
    cairo_close_path(cr);
    cairo_set_source_rgba(cr, 0.02, 0.07, 0.12, 0.55);
    cairo_fill_preserve(cr);
    cairo_set_source_rgba(cr, 0.6, 0.85, 0.9, 0.35);
    cairo_set_line_width(cr, h * 0.002);
    cairo_stroke(cr);

    const Colour white = hex("#f6f3ea"), teal = hex("#8fd0d8"), dark = hex("#050c14", 0.85);
    double cx = (x0 + x1) / 2;
    double y = y0 + h * 0.07;
    Text title(cr, "Tidewane", "DejaVu Sans Bold", h * 0.08, h * 0.008);
    outlinedText(cr, title, cx - title.width() / 2, y, white, dark, h * 0.006, h * 0.008);
    y += title.height() + h * 0.005;
    Text by(cr, "a production by Velk", "DejaVu Serif Italic", h * 0.035);
    outlinedText(cr, by, cx - by.width() / 2, y, teal, dark, h * 0.004, 0);
    y += by.height() + h * 0.05;

    const char* roles[3] = {"code", "music", "graphics"};
    for (const char* role : roles) {
        Text left(cr, role, "DejaVu Sans", h * 0.042, h * 0.003);
        Text right(cr, "Velk", "DejaVu Sans Bold", h * 0.042, h * 0.003);
        outlinedText(cr, left, cx - h * 0.03 - left.width(), y, teal, dark, h * 0.004, 0);
        outlinedText(cr, right, cx + h * 0.03, y, white, dark, h * 0.004, 0);
        y += left.height() + h * 0.012;
    }
    y += h * 0.06;
    Text runs(cr, "running on", "DejaVu Serif Italic", h * 0.03);
    outlinedText(cr, runs, cx - runs.width() / 2, y, teal, dark, h * 0.004, 0);
    y += runs.height() + h * 0.01;
    Text libs(cr, "GLFW \u00b7 GLEW \u00b7 SOIL \u00b7 libmpg123 \u00b7 SDL2 \u00b7 KissFFT \u00b7 GTK",
              "DejaVu Sans", h * 0.036, h * 0.002);
    outlinedText(cr, libs, cx - libs.width() / 2, y, white, dark, h * 0.004, 0);
}

// ------------------------------------------------------------------ water --

// Value noise on a lattice that wraps around, so the picture tiles.
class TileNoise {
public:
    TileNoise(int cellsX, int cellsY, uint32_t seed) : m_w(cellsX), m_h(cellsY), m_v(cellsX * cellsY) {
        uint32_t s = seed;
        for (float& v : m_v) {
            s = s * 1664525u + 1013904223u;
            v = float(s >> 8) / 16777216.0f;
        }
    }
    // u, v in [0, 1): one period of the lattice.
    double at(double u, double v) const {
        double x = u * m_w, y = v * m_h;
        int ix = int(std::floor(x)), iy = int(std::floor(y));
        double fx = x - ix, fy = y - iy;
        fx = fx * fx * (3 - 2 * fx);
        fy = fy * fy * (3 - 2 * fy);
        auto val = [&](int a, int b) {
            return double(m_v[((b % m_h + m_h) % m_h) * m_w + ((a % m_w + m_w) % m_w)]);
        };
        double top = val(ix, iy) + (val(ix + 1, iy) - val(ix, iy)) * fx;
        double bottom = val(ix, iy + 1) + (val(ix + 1, iy + 1) - val(ix, iy + 1)) * fx;
        return top + (bottom - top) * fy;
    }

private:
    int m_w, m_h;
    std::vector<float> m_v;
};

void drawWater(Canvas& c) {
    cairo_surface_t* s = c.surface();
    cairo_surface_flush(s);
    int w = c.width(), h = c.height();
    int stride = cairo_image_surface_get_stride(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    // Octaves with square cells on the 16:9 picture.
    std::vector<TileNoise> octaves;
    for (int o = 0; o < 5; ++o) octaves.emplace_back(16 << o, 9 << o, 0x5eed + 977 * o);
    auto fbm = [&](double u, double v, int first, int count) {
        double sum = 0, amp = 0.5, norm = 0;
        for (int o = first; o < first + count; ++o) {
            sum += amp * octaves[o].at(u, v);
            norm += amp;
            amp *= 0.5;
        }
        return sum / norm;
    };
    for (int y = 0; y < h; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(data + y * stride);
        for (int x = 0; x < w; ++x) {
            double u = double(x) / w, v = double(y) / h;
            double warp = fbm(u, v, 0, 3);
            // Rows of waves rolling across the picture, bent by the noise;
            // whole periods in both directions so that the picture wraps.
            double crest = std::sin(kTau * (7 * v + u) + 6.0 * warp);
            double swell = 0.5 + 0.3 * crest + 0.2 * std::sin(kTau * (2 * u + 3 * v) + 4.0 * warp);
            double foam = std::pow(std::max(0.0, crest), 12.0) * (0.4 + 0.6 * fbm(u, v, 2, 3));
            // A soft caustic web from the ridges of warped noise.
            double n1 = fbm(u + 0.1 * warp, v + 0.05 * warp, 0, 3);
            double caustic = std::pow(1.0 - std::fabs(2.0 * n1 - 1.0), 6.0);
            double depth = std::min(1.0, std::max(0.0, 0.7 * swell + 0.3 * warp));
            double r = 0.02 + 0.07 * depth + 0.20 * caustic + 0.55 * foam;
            double g = 0.12 + 0.28 * depth + 0.28 * caustic + 0.60 * foam;
            double b = 0.30 + 0.42 * depth + 0.30 * caustic + 0.60 * foam;
            auto byte = [](double f) { return uint32_t(std::lround(std::min(1.0, std::max(0.0, f)) * 255.0)); };
            row[x] = 0xff000000u | (byte(r) << 16) | (byte(g) << 8) | byte(b);
        }
    }
    cairo_surface_mark_dirty(s);
}

// -------------------------------------------------------------------------

bool save(Canvas& c, const std::string& dir, const std::string& name, std::string& error) {
    if (c.writePng(dir + "/" + name)) return true;
    error = "cannot write " + dir + "/" + name;
    return false;
}

std::string numbered(const char* folder, int n) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s/%02d.png", folder, n);
    return buf;
}

} // namespace

bool writeAll(const std::string& dir, std::string& error) {
    {
        Canvas c(kScreenW, kScreenH, true);
        drawPreload(c);
        if (!save(c, dir, "preload.png", error)) return false;
    }
    for (int f = 0; f < 8; ++f) {
        Canvas c(kFigureW * kWalkScale, kFigureH * kWalkScale);
        cairo_scale(c.cr(), kWalkScale, kWalkScale);
        drawWalker(c.cr(), f);
        if (!save(c, dir, numbered("queltwalk", f + 1), error)) return false;
    }
    for (int f = 0; f < 7; ++f) {
        Canvas c(kCardW, kCardH);
        drawPresents(c, f);
        if (!save(c, dir, numbered("us", f + 1), error)) return false;
    }
    for (int f = 0; f < 7; ++f) {
        Canvas c(kCardW, kCardH);
        drawLogo(c, f);
        if (!save(c, dir, numbered("logo", f + 1), error)) return false;
    }
    {
        // On screen most of the show: nothing at all, and small.
        Canvas c(160, 90);
        if (!save(c, dir, numbered("lyrics", 0), error)) return false;
    }
    for (int k = 1; k <= 17; ++k) {
        Canvas c(kLyricW, kLyricH);
        drawLyric(c, k);
        if (!save(c, dir, numbered("lyrics", k), error)) return false;
    }
    {
        Canvas c(kCreditW, kCreditH);
        drawCredits(c);
        if (!save(c, dir, "credit.png", error)) return false;
    }
    {
        Canvas c(kBlueW, kBlueH, true);
        drawWater(c);
        if (!save(c, dir, "blue.png", error)) return false;
    }
    return true;
}

bool writeIcon(const std::string& path, int size, std::string& error) {
    Canvas c(size, size);
    drawIcon(c);
    if (c.writePng(path)) return true;
    error = "cannot write " + path;
    return false;
}

} // namespace Images
