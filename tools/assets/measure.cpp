// tidewane-measure: reads the soundtrack and computes, frame by frame, the
// two values the show's scene programs get from the music, exactly as the
// frame loop does: six smoothed-spectrum steps a frame, lowFreq the mean of
// band 1 of the third step and band 2 of the fourth, bass band 3 of the
// fifth (halved plus 0.17 after 26.336 s). Prints statistics per section and
// draws both curves over time into a PNG.
//
//     tidewane-measure MUSIC.mp3 PLOT.png [FPS]

#include "canvas.h"

#include "audio/decoder.h"
#include "audio/analyser.h"
#include "bx/music.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Sample {
    float t, lowFreq, bass, postBass;
};

std::vector<Sample> measure(const Audio::DecodedAudio& audio, double fps) {
    std::vector<Sample> out;
    Bx::SpectrumSmoother smoother;
    Audio::SpectrumAnalyser analyser;
    float raw[Audio::kSpectrumBands];
    float smoothed[Bx::SpectrumSmoother::kBands];
    double length = double(audio.frames()) / audio.sampleRate;
    // Within one frame the six steps come microseconds apart: they all see
    // the same play position.
    auto step = [&](int band) {
        float* h = smoother.shift();
        std::memcpy(h, raw, sizeof raw);
        smoother.combine(smoothed);
        return smoothed[band];
    };
    for (long frame = 0;; ++frame) {
        float t = float(frame / fps);
        if (t > length) break;
        analyser.analyse(audio, int64_t(std::floor(double(t) * audio.sampleRate)), 0, raw);
        step(2);
        step(3);
        float low1 = step(1);
        float low2 = step(2);
        float lowFreq = (low1 + low2) * 0.5f;
        float b3 = step(3);
        float bass = t <= 26.336f ? b3 : 0.5f * b3 + 0.17f;
        float post = step(3);
        out.push_back({t, lowFreq, bass, post});
    }
    return out;
}

struct Section {
    const char* name;
    float from, to;
};
const Section kSections[] = {
    {"intro", 0.0f, 13.08f},          {"first flash", 13.08f, 26.336f},
    {"second scene", 26.336f, 39.479f}, {"flash", 39.479f, 52.635f},
    {"third scene", 52.635f, 65.75f},  {"credits", 65.75f, 80.593f},
    {"fourth scene", 80.593f, 106.887f}, {"fifth scene", 106.887f, 133.197f},
    {"cloud again", 133.197f, 165.0f},
};

float percentile(std::vector<float> v, double p) {
    if (v.empty()) return 0.0f;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * (v.size() - 1) + 0.5))];
}

void report(const std::vector<Sample>& samples) {
    std::printf("%-14s %27s   %27s\n", "", "lowFreq: p10 / mean / p90 / max", "bass: p10 / mean / p90 / max");
    for (const Section& s : kSections) {
        std::vector<float> lf, bs;
        double sumL = 0, sumB = 0;
        for (const Sample& x : samples)
            if (x.t >= s.from && x.t < s.to) {
                lf.push_back(x.lowFreq);
                bs.push_back(x.bass);
                sumL += x.lowFreq;
                sumB += x.bass;
            }
        if (lf.empty()) continue;
        std::printf("%-14s %6.3f %6.3f %6.3f %6.3f      %6.3f %6.3f %6.3f %6.3f\n", s.name,
                    percentile(lf, 0.1), sumL / lf.size(), percentile(lf, 0.9), percentile(lf, 1.0),
                    percentile(bs, 0.1), sumB / bs.size(), percentile(bs, 0.9), percentile(bs, 1.0));
    }
    std::vector<float> post;
    for (const Sample& x : samples)
        if (x.t >= 26.336f && x.t < 133.197f) post.push_back(x.postBass);
    std::printf("post pass bass (raw band 3), 26.3 s to 133.2 s: p10 %.3f, median %.3f, p90 %.3f, max %.3f\n",
                percentile(post, 0.1), percentile(post, 0.5), percentile(post, 0.9), percentile(post, 1.0));
    size_t over = 0, fourth = 0;
    for (const Sample& x : samples)
        if (x.t >= 80.593f && x.t < 106.887f) {
            ++fourth;
            if (x.lowFreq > 0.5f) ++over;
        }
    std::printf("fourth scene: lowFreq above 0.5 in %zu of %zu frames\n", over, fourth);
}

// One panel of the plot: both curves from t0 to t1 in the rectangle
// (x, y, w, h), values 0 to 0.8, with the 0.45 target and the 0.5 limit.
void panel(cairo_t* cr, const std::vector<Sample>& samples, double t0, double t1, double x,
           double y, double w, double h, double tickStep) {
    auto X = [&](double t) { return x + w * (t - t0) / (t1 - t0); };
    auto Y = [&](double v) { return y + h * (1.0 - v / 0.8); };
    auto label = [&](const char* text, double lx, double ly, bool right) {
        Text t(cr, text, "DejaVu Sans", 15);
        outlinedText(cr, t, right ? lx - t.width() : lx, ly - t.height() / 2, hex("#333333"),
                     hex("#000000"), 0, 0);
    };
    cairo_set_line_width(cr, 1);
    for (int k = 0; k <= 8; k += 2) {
        cairo_set_source_rgba(cr, 0, 0, 0, k == 0 ? 0.6 : 0.12);
        cairo_move_to(cr, x, Y(0.1 * k));
        cairo_line_to(cr, x + w, Y(0.1 * k));
        cairo_stroke(cr);
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", 0.1 * k);
        label(text, x - 8, Y(0.1 * k), true);
    }
    double dash[] = {8, 6};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_set_source_rgba(cr, 0.8, 0.1, 0.1, 0.7);
    cairo_move_to(cr, x, Y(0.5));
    cairo_line_to(cr, x + w, Y(0.5));
    cairo_stroke(cr);
    cairo_set_source_rgba(cr, 0.2, 0.6, 0.2, 0.7);
    cairo_move_to(cr, x, Y(0.45));
    cairo_line_to(cr, x + w, Y(0.45));
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
    for (const Section& s : kSections) {
        if (s.from < t0 || s.from > t1) continue;
        cairo_set_source_rgba(cr, 0.3, 0.3, 0.6, 0.5);
        cairo_move_to(cr, X(s.from), y);
        cairo_line_to(cr, X(s.from), y + h);
        cairo_stroke(cr);
        Text t(cr, s.name, "DejaVu Sans", 15);
        outlinedText(cr, t, X(s.from) + 4, y - 20, hex("#333366"), hex("#000000"), 0, 0);
    }
    for (double t = std::ceil(t0 / tickStep) * tickStep; t <= t1 + 1e-9; t += tickStep) {
        char text[16];
        std::snprintf(text, sizeof text, tickStep < 1 ? "%.1f s" : "%.0f s", t);
        Text tt(cr, text, "DejaVu Sans", 15);
        outlinedText(cr, tt, X(t) - tt.width() / 2, y + h + 6, hex("#333333"), hex("#000000"), 0, 0);
    }
    auto curve = [&](float Sample::*field, const Colour& col, double width) {
        cairo_new_path(cr);
        bool first = true;
        for (const Sample& smp : samples) {
            if (smp.t < t0 || smp.t > t1) continue;
            double px = X(smp.t), py = Y(std::min(0.8f, smp.*field));
            if (first) cairo_move_to(cr, px, py);
            else cairo_line_to(cr, px, py);
            first = false;
        }
        cairo_set_source_rgba(cr, col.r, col.g, col.b, 0.8);
        cairo_set_line_width(cr, width);
        cairo_stroke(cr);
    };
    double width = (t1 - t0) > 20 ? 1.0 : 2.0;
    curve(&Sample::bass, hex("#1f6fb4"), width);
    curve(&Sample::lowFreq, hex("#e0701a"), width);
}

// The whole track on top; below it two bars around the drop at 26.3 s, where
// the single frames and the beat can be seen.
void plot(const std::vector<Sample>& samples, double length, const std::string& path) {
    const int w = 1800, h = 1000;
    Canvas c(w, h, true);
    cairo_t* cr = c.cr();
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    panel(cr, samples, 0.0, length, 60, 40, w - 80, 560, 10.0);
    panel(cr, samples, 25.0, 29.0, 60, 700, w - 80, 220, 0.5);
    Text legend(cr, "lowFreq (orange) and bass (blue) as the frame loop computes them, 60 frames a "
                    "second; below: 25 s to 29 s",
                "DejaVu Sans", 16);
    outlinedText(cr, legend, w - 20 - legend.width(), h - 30, hex("#222222"), hex("#000000"), 0, 0);
    if (!c.writePng(path)) std::fprintf(stderr, "tidewane-measure: cannot write %s\n", path.c_str());
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: tidewane-measure MUSIC.mp3 PLOT.png [FPS]\n");
        return 2;
    }
    double fps = argc == 4 ? std::atof(argv[3]) : 60.0;
    Audio::DecodedAudio audio = Audio::decodeMp3File(argv[1]);
    if (!audio.ok()) {
        std::fprintf(stderr, "tidewane-measure: %s: %s\n", argv[1], audio.error.c_str());
        return 1;
    }
    double length = double(audio.frames()) / audio.sampleRate;
    std::printf("%s: %.3f s, %d Hz, %d channels\n", argv[1], length, audio.sampleRate, audio.channels);
    std::vector<Sample> samples = measure(audio, fps);
    report(samples);
    plot(samples, length, argv[2]);
    return 0;
}
