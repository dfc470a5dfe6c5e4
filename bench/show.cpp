// Prints what the show costs on this machine outside its shaders: the time
// from the launcher's Run to the preload picture and to the first intro
// frame, the time of the second loading batch, and the CPU time a frame
// spends outside drawing (timeline step with its six spectrum updates, and
// the uniforms of both passes). Then what each step of the start and of the
// second batch costs, and the peak resident memory of the run.
//
// Run it pinned to one core (taskset -c 0) to see how loading scales.
//
// usage: bench-show [ARCHIVE] [--size WxH]   (default tidewane.velk, 640x400)

#include "bx/archive.h"
#include "bx/music.h"
#include "gl/context.h"
#include "gl/framebuffer.h"
#include "gl/shader.h"
#include "gl/texture.h"
#include "demo.h"
#include "manifest.h"
#include "show.h"
#include "size.h"

#include <GL/glew.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

double wallSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double cpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Median of `runs` timings of `body`, each over `repeats` calls, in
// microseconds of this thread's CPU time per call.
template <typename Body>
double medianCpuMicroseconds(int runs, int repeats, Body body) {
    std::vector<double> samples;
    for (int r = 0; r < runs; ++r) {
        const double start = cpuSeconds();
        for (int i = 0; i < repeats; ++i) body(i);
        samples.push_back((cpuSeconds() - start) * 1e6 / repeats);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

void usage() {
    std::cerr << "usage: bench-show [ARCHIVE] [--size WxH]\n"
                 "Run it under an X display (xvfb-run works); ARCHIVE defaults to tidewane.velk.\n";
}

} // namespace

int main(int argc, char** argv) {
    std::string archivePath = "tidewane.velk";
    int width = 640, height = 400;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help")) {
            usage();
            return 0;
        } else if (!std::strcmp(argv[i], "--size") && i + 1 < argc) {
            if (!parseSize(argv[++i], width, height)) {
                std::cerr << "bench-show: " << sizeError("--size", argv[i]) << "\n";
                return 1;
            }
        } else if (argv[i][0] != '-') {
            archivePath = argv[i];
        } else {
            usage();
            return 1;
        }
    }
    if (FILE* f = std::fopen(archivePath.c_str(), "rb")) {
        std::fclose(f);
    } else {
        std::cerr << "bench-show: cannot open " << archivePath << "\n";
        return 1;
    }

    // Shader logs go to standard output; keep the table readable.
    std::fflush(stdout);
    const int savedStdout = dup(1);
    const int devNull = open("/dev/null", O_WRONLY);
    dup2(devNull, 1);
    auto restoreStdout = [&] {
        std::fflush(stdout);
        dup2(savedStdout, 1);
    };

    const double run = wallSeconds();
    std::vector<std::pair<std::string, double>> startSteps; // the start, step by step
    double stepStart = run;
    auto step = [&](const char* name) {
        const double now = wallSeconds();
        startSteps.emplace_back(name, now - stepStart);
        stepStart = now;
    };
    try {
        // As the show does: the archive and the first pictures are read and
        // decoded while the window and its context are made.
        Prefetch prefetch(archivePath);
        Context context(width, height, false);
        step("window and GL context");
        double preloadShown = 0;
        Production show(archivePath, width, height, openPlayerMusic,
                        [&] {
                            context.swapBuffers();
                            glFinish();
                            preloadShown = wallSeconds() - run;
                        },
                        [&](const char* name) {
                            glFinish();
                            step(name);
                        },
                        &prefetch);

        setIntroState();
        Intro steps;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawIntroFrame(show.intro(), steps.beginFrame(0.0, 0.0));
        context.swapBuffers();
        glFinish();
        step("first intro frame drawn and shown");
        const double firstIntroFrame = wallSeconds() - run;

        // The rest of the intro at its own pace, as the show plays it; the
        // second batch decodes behind it and goes up a picture a frame.
        glfwSetTime(0.0);
        while (!steps.done()) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            const double clock = glfwGetTime();
            drawIntroFrame(show.intro(), steps.beginFrame(clock, glfwGetTime()));
            context.swapBuffers();
            show.uploadAhead();
            steps.endFrame();
        }
        glFinish();
        const double batchStart = wallSeconds();
        show.loadTimeline();
        glFinish();
        const double secondBatch = wallSeconds() - batchStart;
        rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        const double loadingPeakMb = double(usage.ru_maxrss) / 1024.0;

        // The second batch's images one by one on this thread alone: what
        // decoding, compressing and uploading each cost in all.
        std::vector<std::string> names = Manifest::timelineImages();
        names.push_back(Manifest::kBlue);
        const UploadCaps caps = queryUploadCaps();
        double decodeSeconds = 0, compressSeconds = 0, uploadSeconds = 0;
        for (const std::string& name : names) {
            Bx::ArchiveFile* file = show.archive().getFile(name.c_str());
            double t0 = wallSeconds();
            PreparedImage decoded;
            decodePng(file->data, file->size, decoded);
            double t1 = wallSeconds();
            PreparedImage prepared = prepareImage(file->data, file->size, caps);
            double t2 = wallSeconds();
            Texture texture(prepared);
            glFinish();
            double t3 = wallSeconds();
            decodeSeconds += t1 - t0;
            compressSeconds += (t2 - t1) - (t1 - t0);
            uploadSeconds += t3 - t2;
            GLuint id = texture.getId();
            glDeleteTextures(1, &id);
        }

        // Per-frame work outside drawing, with the music playing.
        glfwSetTime(0.0);
        show.music()->play();
        SpectrumSource& spectrum = *show.music();
        Timeline timeline;
        const double stepMicros = medianCpuMicroseconds(9, 2000, [&](int i) {
            timeline.step(60.0f + float(i) * 0.001f, spectrum);
        });
        TimelineFrame frame = timeline.step(60.0f, spectrum); // the credits scene: most uniforms
        Shader& scene = *show.programs().scenes[int(frame.program)];
        Shader& post = *show.programs().post;
        const double uniformMicros = medianCpuMicroseconds(9, 2000, [&](int) {
            scene.bind();
            setSceneUniforms(scene, frame);
            scene.unbind();
            post.bind();
            setPostUniforms(post, frame);
            post.unbind();
        });

        restoreStdout();
        const GLubyte* renderer = glGetString(GL_RENDERER);
        std::printf("renderer: %s, window %dx%d\n", renderer ? (const char*)renderer : "?", width,
                    height);
        std::printf("%-44s %10s\n", "measure", "value");
        std::printf("%-44s %8.1f ms\n", "Run to preload picture on screen", preloadShown * 1e3);
        std::printf("%-44s %8.1f ms\n", "Run to first intro frame on screen", firstIntroFrame * 1e3);
        std::printf("%-44s %8.1f ms\n", "hold on the intro's last frame (2nd batch)", secondBatch * 1e3);
        std::printf("%-44s %8.2f us\n", "timeline step, six spectrum updates", stepMicros);
        std::printf("%-44s %8.2f us\n", "uniforms of both passes", uniformMicros);
        std::printf("%-44s %8.2f us  (target under 100 us)\n", "CPU per frame outside drawing",
                    stepMicros + uniformMicros);
        std::printf("%-44s %8.1f MB\n", "peak resident memory during loading", loadingPeakMb);
        std::printf("\nthe start, step by step\n");
        for (const auto& s : startSteps) std::printf("  %-42s %8.1f ms\n", s.first.c_str(), s.second * 1e3);
        std::printf("second batch on one thread, in all (%u cores share it)\n",
                    availableCores());
        std::printf("  %-42s %8.1f ms\n", "PNG decoding", decodeSeconds * 1e3);
        std::printf("  %-42s %8.1f ms\n", "row flip and DXT compression", compressSeconds * 1e3);
        std::printf("  %-42s %8.1f ms\n", "upload", uploadSeconds * 1e3);
    } catch (const ContextError& e) {
        restoreStdout();
        std::cerr << "bench-show: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
