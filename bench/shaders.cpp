// Renders each of the production's six GLSL programs for a number of frames
// at a given size and prints the median time per frame. Optionally writes
// one still of each program as PNG.
//
//   bench-shaders [--frames N] [--size WxH] [--stills FOLDER] [--clock auto|query|wall]
//                 [--headless] [--gpu N]
//
// Without an X display (DISPLAY not set), or with --headless or --gpu, it
// draws through EGL with no window (see HeadlessContext).
//
// Times come from GL timer queries where the driver has them, otherwise from
// glFinish and a wall clock. Mesa's software rasterisers have timer queries,
// but they leave out most of the rasterising (llvmpipe reports about a tenth
// of the wall-clock time), so by default (auto) those are timed by the wall
// clock; --clock query or wall forces one way.

#include "gl/context.h"
#include "gl/framebuffer.h"
#include "gl/headless.h"
#include "gl/quad.h"
#include "gl/rendertarget.h"
#include "gl/shader.h"
#include "picture.h"
#include "scenes.h"
#include "shaders.h"
#include "size.h"
#include "toolcontext.h"

#include "gltimer.h"

#include <GL/glew.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

struct Options {
    int frames = 10;
    int width = 320;
    int height = 200;
    std::string stills;
    std::string clock = "auto";
    bool headless = false;
    int gpu = -1;
};

void usage() {
    std::fprintf(stderr, "usage: bench-shaders [--frames N] [--size WxH] [--stills FOLDER] "
                         "[--clock auto|query|wall] [--headless] [--gpu N]\n");
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--headless") {
            o.headless = true;
            continue;
        }
        if (i + 1 >= argc) return false;
        std::string v = argv[++i];
        if (a == "--frames") {
            o.frames = std::atoi(v.c_str());
            if (o.frames < 1) return false;
        } else if (a == "--size") {
            if (!parseSize(v, o.width, o.height)) return false;
        } else if (a == "--clock") {
            if (v != "auto" && v != "query" && v != "wall") return false;
            o.clock = v;
        } else if (a == "--gpu") {
            char* end = nullptr;
            o.gpu = int(std::strtol(v.c_str(), &end, 10));
            if (v.empty() || *end || o.gpu < 0) return false;
            o.headless = true;
        } else if (a == "--stills") {
            o.stills = v;
        } else {
            return false;
        }
    }
    return true;
}

// A texture from RGBA8 pixels, bottom row first; linear filtering, repeating
// like the image textures of the show.
GLuint makeTexture(const Image& image) {
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image.width, image.height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, image.rgba.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glBindTexture(GL_TEXTURE_2D, 0);
    return id;
}

// Stand-ins for the show's images: a blue picture, a credits picture with
// opaque bars on a transparent ground, and a lyrics picture with one opaque
// band.
Image bluePicture() {
    Image img(128, 128);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x)
            img.setPixel(x, y, Rgba{uint8_t(20 + x / 4), uint8_t(60 + y / 2), 200, 255});
    return img;
}

Image creditPicture() {
    Image img(128, 128, Rgba{0, 0, 0, 0});
    for (int y = 0; y < img.height; ++y)
        for (int x = 16; x < 112; ++x)
            if ((y / 8) % 3 == 1 && (x / 6) % 4 != 3) img.setPixel(x, y, Rgba{255, 240, 200, 255});
    return img;
}

Image lyricsPicture() {
    Image img(128, 64, Rgba{0, 0, 0, 0});
    for (int y = 8; y < 16; ++y)
        for (int x = 20; x < 108; ++x) img.setPixel(x, y, Rgba{255, 255, 255, 255});
    return img;
}

struct Program {
    const char* name;
    const char* source;
    std::function<void(Shader&)> uniforms;
    bool post;
};

Image readBack(int width, int height) {
    Image img(width, height);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, img.rgba.data());
    return img;
}

} // namespace

int main(int argc, char** argv) {
    Options opt;
    if (!parse(argc, argv, opt)) {
        usage();
        return 2;
    }

    const bool headless = wantHeadless(opt.headless);
    std::unique_ptr<Context> context;
    try {
        if (headless)
            context.reset(new HeadlessContext(opt.gpu));
        else
            context.reset(new Context(opt.width, opt.height, false));
    } catch (const ContextError& e) {
        std::fprintf(stderr, "bench-shaders: %s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "renderer: %s\n", rendererDescription().c_str());
    std::string renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    std::printf("renderer: %s\n", renderer.c_str());

    FrameBuffer scene(opt.width, opt.height);
    scene.addRenderTarget(GL_RGBA8);
    // Without a window the post pass draws into a frame buffer of its own.
    std::unique_ptr<FrameBuffer> output;
    if (headless) {
        output.reset(new FrameBuffer(opt.width, opt.height));
        output->addRenderTarget(GL_RGBA8);
    }
    auto bindOutput = [&] {
        glBindFramebuffer(GL_FRAMEBUFFER, output ? output->getId() : 0);
        glViewport(0, 0, opt.width, opt.height);
    };
    GLuint blue = makeTexture(bluePicture());
    GLuint credit = makeTexture(creditPicture());
    GLuint lyrics = makeTexture(lyricsPicture());

    // Uniforms from the middle of each program's stretch of the show, in the
    // scene table's order; the post pass reads the previous program's
    // picture and the lyrics.
    struct Values {
        float time, rtime, lowFreq;
    };
    const Values values[kSceneCount] = {
        {10.0f, 0, 0.35f}, {31.0f, 0, 0.3f}, {75.0f, 70.0f, 0.4f}, {95.0f, 0, 0.2f}, {121.0f, 0, 0.3f}};
    std::vector<Program> programs;
    for (int i = 0; i <= kSceneCount; ++i) {
        const ProgramInfo& info = kPrograms[i];
        Program p{info.symbol, fragmentSource(i), nullptr, i == kPostProgram};
        if (p.post) {
            p.uniforms = [](Shader& s) {
                s.setUniform1f("time", 100.0f);
                s.setUniform1f("bass", 0.4f);
                s.setUniform1f("white", 0.0f);
                s.setUniform1i("rt0", 0);
                s.setUniform1i("rt1", 1);
            };
        } else {
            const Values v = values[i];
            const bool images = info.usesImages;
            p.uniforms = [v, images](Shader& s) {
                s.setUniform1f("time", v.time);
                s.setUniform1f("lowFreq", v.lowFreq);
                if (images) {
                    s.setUniform1f("rtime", v.rtime);
                    s.setUniform1i("blue_img", 0);
                    s.setUniform1i("credit", 1);
                }
            };
        }
        programs.push_back(p);
    }

    if (!opt.stills.empty()) mkdir(opt.stills.c_str(), 0777);

    // Built before the table: each Shader prints its three log lines.
    std::vector<std::unique_ptr<Shader>> shaders;
    for (const Program& p : programs) shaders.emplace_back(new Shader(Shaders::vertex, p.source));

    bool software = isSoftwareRenderer(renderer);
    GlTimer timer(opt.clock == "query" || (opt.clock == "auto" && !software));
    std::printf("\nsize %dx%d, %d frames each, timing by %s\n\n", opt.width, opt.height,
                opt.frames, timer.method());
    std::printf("%-10s %12s %10s\n", "program", "median ms", "fps");

    for (size_t k = 0; k < programs.size(); ++k) {
        const Program& p = programs[k];
        Shader& shader = *shaders[k];
        auto draw = [&]() {
            if (p.post) bindOutput();
            if (!p.post) scene.bind();
            shader.bind();
            p.uniforms(shader);
            if (p.post) {
                // The post pass reads the previous program's picture.
                scene.getRenderTarget(0)->bind(0);
                glActiveTexture(GL_TEXTURE1);
                glBindTexture(GL_TEXTURE_2D, lyrics);
            } else {
                glActiveTexture(GL_TEXTURE0);
                glBindTexture(GL_TEXTURE_2D, blue);
                glActiveTexture(GL_TEXTURE1);
                glBindTexture(GL_TEXTURE_2D, credit);
            }
            drawScreenQuad();
            glActiveTexture(GL_TEXTURE1);
            glBindTexture(GL_TEXTURE_2D, 0);
            if (p.post) scene.getRenderTarget(0)->unbind();
            glActiveTexture(GL_TEXTURE0);
            glBindTexture(GL_TEXTURE_2D, 0);
            shader.unbind();
            if (!p.post) scene.unbind();
        };

        std::vector<double> ms;
        draw(); // warm-up: the driver may finish compiling on first use
        for (int i = 0; i < opt.frames; ++i) ms.push_back(timer.measure(draw));
        double median = medianOf(ms);
        std::printf("%-10s %12.2f %10.2f\n", p.name, median, median > 0 ? 1000.0 / median : 0.0);
        std::fflush(stdout);

        if (!opt.stills.empty()) {
            Image still;
            if (p.post) {
                bindOutput();
                if (!output) glReadBuffer(GL_BACK);
                still = readBack(opt.width, opt.height);
            } else {
                scene.bind();
                still = readBack(opt.width, opt.height);
                scene.unbind();
            }
            std::string path = opt.stills + "/" + p.name + ".png";
            if (!writePng(path, still, PngKind::Rgb))
                std::fprintf(stderr, "bench-shaders: cannot write %s\n", path.c_str());
        }
    }
    return 0;
}
