// check-libraries: decodes PNG and MP3 files and runs one real FFT with the
// C libraries the show uses (libpng with zlib, libmpg123 through the show's
// own decoder, kissfft), printing
// what it found in a form that does not depend on the platform. Built twice
// by scripts/web-deps --check, natively against the system's libraries and
// with emcc against the ones built for WebAssembly; the two outputs must be
// the same text.
//
//     check-libraries DUMP_DIR FILE.png|FILE.mp3...
//         one line a file, then the FFT's line; the decoded samples of each
//         MP3 go to DUMP_DIR/N-NAME.f32, N its place among the files (decoders may differ in the last bits
//         of a float, so those are compared apart, within a tolerance)
//     check-libraries --compare A.f32 B.f32 TOLERANCE
//         the largest difference between two sample dumps; fails above
//         TOLERANCE or when their lengths differ

#include "audio/decoder.h"

#include <kiss_fftr.h>
#include <png.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

bool readFile(const std::string& path, std::vector<unsigned char>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::string baseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool endsWith(const std::string& s, const char* tail) {
    const size_t n = std::strlen(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

uint64_t fnv1a(const unsigned char* p, size_t n) {
    uint64_t h = 14695981039346656037ull;
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// The picture as 8-bit RGBA through libpng's simplified reader, which
// expands palettes, grey, transparency chunks and 16-bit channels.
bool checkPng(const std::string& path, const std::vector<unsigned char>& bytes) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), image.message);
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), image.message);
        png_image_free(&image);
        return false;
    }
    std::printf("%s: png %ux%u, rgba8 fnv1a %016llx\n", path.c_str(), image.width,
                image.height, (unsigned long long)fnv1a(pixels.data(), pixels.size()));
    return true;
}

// The whole stream as interleaved 32-bit floats, through the show's own
// decoder (gapless, as the show hears it).
bool checkMp3(const std::string& path, const std::vector<unsigned char>& bytes,
              const std::string& dump) {
    const Audio::DecodedAudio audio = Audio::decodeMp3(bytes.data(), bytes.size());
    if (!audio.ok()) {
        std::fprintf(stderr, "%s: cannot decode: %s\n", path.c_str(), audio.error.c_str());
        return false;
    }
    const std::vector<float>& samples = audio.samples;
    const long rate = audio.sampleRate;
    const int channels = audio.channels;

    std::ofstream file(dump, std::ios::binary);
    file.write(reinterpret_cast<const char*>(samples.data()), std::streamsize(samples.size() * sizeof(float)));
    if (!file.flush()) {
        std::fprintf(stderr, "cannot write %s\n", dump.c_str());
        return false;
    }
    std::printf("%s: mp3 %ld Hz, %d channels, %zu frames\n", path.c_str(), rate, channels,
                samples.size() / size_t(channels));
    return true;
}

// Two cosines on bins 20 and 64 of a 512-point transform: the unscaled
// forward transform has |X| = N/2 times their amplitudes there and nothing
// elsewhere.
bool checkFft() {
    const int n = 512;
    std::vector<float> in(n);
    for (int i = 0; i < n; ++i)
        in[i] = float(std::cos(2 * M_PI * 20 * i / n) + 0.5 * std::cos(2 * M_PI * 64 * i / n));
    std::vector<kiss_fft_cpx> out(n / 2 + 1);
    kiss_fftr_cfg plan = kiss_fftr_alloc(n, 0, nullptr, nullptr);
    if (!plan) {
        std::fprintf(stderr, "fft: kiss_fftr_alloc failed\n");
        return false;
    }
    kiss_fftr(plan, in.data(), out.data());
    kiss_fftr_free(plan);
    std::vector<double> magnitude(out.size());
    for (size_t k = 0; k < out.size(); ++k) magnitude[k] = std::hypot(out[k].r, out[k].i);
    double rest = 0;
    for (size_t k = 0; k < out.size(); ++k)
        if (k != 20 && k != 64) rest = std::max(rest, magnitude[k]);
    if (std::fabs(magnitude[20] - 256) > 1e-3 || std::fabs(magnitude[64] - 128) > 1e-3 || rest > 1e-3) {
        std::fprintf(stderr, "fft: wrong spectrum: |X[20]| %g, |X[64]| %g, largest elsewhere %g\n",
                     magnitude[20], magnitude[64], rest);
        return false;
    }
    std::printf("fft: 512 points, |X[20]| %.3f, |X[64]| %.3f, every other bin below 0.001\n", magnitude[20],
                magnitude[64]);
    return true;
}

int compareDumps(const std::string& a, const std::string& b, double tolerance) {
    std::vector<unsigned char> x, y;
    if (!readFile(a, x) || !readFile(b, y)) {
        std::fprintf(stderr, "cannot read %s or %s\n", a.c_str(), b.c_str());
        return 1;
    }
    if (x.size() != y.size() || x.size() % sizeof(float) != 0) {
        std::fprintf(stderr, "%s: %zu bytes, %s: %zu bytes\n", a.c_str(), x.size(), b.c_str(), y.size());
        return 1;
    }
    double worst = 0;
    for (size_t i = 0; i < x.size(); i += sizeof(float)) {
        float p, q;
        std::memcpy(&p, &x[i], sizeof p);
        std::memcpy(&q, &y[i], sizeof q);
        const double d = std::fabs(double(p) - double(q));
        if (!(d <= worst)) worst = d; // a NaN on either side counts as the worst
    }
    std::printf("%s: %zu samples, largest difference %.3g (tolerance %g)\n", baseName(a).c_str(),
                x.size() / sizeof(float), worst, tolerance);
    return worst <= tolerance ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: check-libraries DUMP_DIR FILE.png|FILE.mp3...\n"
                    "       check-libraries --compare A.f32 B.f32 TOLERANCE\n");
        return 0;
    }
    if (argc == 5 && std::strcmp(argv[1], "--compare") == 0)
        return compareDumps(argv[2], argv[3], std::atof(argv[4]));
    if (argc < 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: check-libraries DUMP_DIR FILE.png|FILE.mp3... (see --help)\n");
        return 2;
    }
    bool ok = true;
    for (int i = 2; i < argc; ++i) {
        const std::string path = argv[i];
        std::vector<unsigned char> bytes;
        if (!readFile(path, bytes)) {
            std::fprintf(stderr, "cannot read %s\n", path.c_str());
            ok = false;
        } else if (endsWith(path, ".png")) {
            ok = checkPng(path, bytes) && ok;
        } else if (endsWith(path, ".mp3")) {
            // Numbered: files of the same name in different folders.
            ok = checkMp3(path, bytes, std::string(argv[1]) + "/" + std::to_string(i - 1) + "-" +
                                           baseName(path) + ".f32") && ok;
        } else {
            std::fprintf(stderr, "%s: neither .png nor .mp3\n", path.c_str());
            ok = false;
        }
    }
    ok = checkFft() && ok;
    return ok ? 0 : 1;
}
