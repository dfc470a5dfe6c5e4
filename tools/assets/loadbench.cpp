// tidewane-loadbench: times the show's second loading batch (the eighteen
// lyrics images, "credit.png" and "blue.png") through the production's own
// texture loading, the way the driver loads them after the intro.
//
//     tidewane-loadbench [ARCHIVE]     (default: tidewane.velk)
//
// Needs a display (run it under xvfb-run on a headless machine).

#include "bx/archive.h"
#include "manifest.h"
#include "gl/context.h"
#include "gl/texture.h"

#include <GL/glew.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "tidewane.velk";
    std::unique_ptr<Context> context;
    try {
        context.reset(new Context(640, 400, false));
    } catch (const ContextError& e) {
        std::fprintf(stderr, "tidewane-loadbench: %s\n", e.what());
        return 1;
    }
    Bx::Archive archive(path);
    std::vector<std::string> names = Manifest::timelineImages();
    names.push_back(Manifest::kBlue);

    // Wall time depends on what else the machine is doing; the CPU time of
    // the whole process (the driver's threads included) is printed beside it.
    auto cpuNow = [] {
        timespec ts;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return double(ts.tv_sec) + ts.tv_nsec * 1e-9;
    };
    using Clock = std::chrono::steady_clock;
    double total = 0.0, totalCpu = 0.0;
    std::vector<std::unique_ptr<Texture>> textures;
    for (const std::string& name : names) {
        Bx::ArchiveFile* file = archive.getFile(name.c_str());
        auto start = Clock::now();
        double cpuStart = cpuNow();
        textures.emplace_back(new Texture(file->data, int(file->size), name));
        glFinish();
        double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        double cpu = cpuNow() - cpuStart;
        total += seconds;
        totalCpu += cpu;
        GLint w = 0, h = 0;
        textures.back()->bind(0);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
        textures.back()->unbind();
        std::printf("%-16s %5dx%-5d %8u bytes %7.1f ms (cpu %6.1f ms)\n", name.c_str(), w, h,
                    file->size, seconds * 1000.0, cpu * 1000.0);
    }
    std::printf("second batch: %zu images in %.3f s (cpu %.3f s)\n", names.size(), total, totalCpu);
    return 0;
}
