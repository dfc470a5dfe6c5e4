#include "show.h"

#include "bx/archive.h"
#include "bx/music.h"
#include "gl/framebuffer.h"
#include "gl/quad.h"
#include "gl/rendertarget.h"
#include "gl/shader.h"
#include "gl/texture.h"
#include "shaders.h"

#include <GL/glew.h>

#include <cstdio>

namespace {

// Appends "prefix01.png" … in order; `first` is the number of the first file.
void addNumbered(std::vector<std::string>& names, const char* prefix, int first, int count) {
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof(name), "%s%02d.png", prefix, first + i);
        names.push_back(name);
    }
}

// The images called `names`, in that order. Every name is looked up before
// any image is decoded, so a missing one stops the program with the same
// message as when the images were loaded one by one.
TextureList loadImages(Bx::Archive& archive, const std::vector<std::string>& names) {
    std::vector<EncodedImage> files;
    for (const std::string& name : names) {
        Bx::ArchiveFile* file = archive.getFile(name.c_str());
        files.push_back(EncodedImage{file->data, file->size});
    }
    return loadTextures(files);
}

// Moves `count` textures from the front of `from`, starting at `*at`.
void take(TextureList& from, size_t& at, size_t count, TextureList& into) {
    for (size_t i = 0; i < count; ++i) into.push_back(std::move(from[at++]));
}

// One textured quad in the virtual screen, corners in the order
// bottom-left, top-left, top-right, bottom-right.
void drawQuad(Texture& texture, float left, float bottom, float right, float top) {
    texture.bind(0);
    glBegin(GL_QUADS);
    glTexCoord2f(0, 0); glVertex2f(left, bottom);
    glTexCoord2f(0, 1); glVertex2f(left, top);
    glTexCoord2f(1, 1); glVertex2f(right, top);
    glTexCoord2f(1, 0); glVertex2f(right, bottom);
    glEnd();
    texture.unbind();
}

void drawFigure(const IntroImages& images, int walkFrame, float x) {
    glLoadIdentity();
    glTranslatef(x, 0, 0);
    drawQuad(*images.walk[size_t(walkFrame)], -68, -70, 68, 178);
}

void drawPicture(Texture& texture) {
    glLoadIdentity();
    drawQuad(texture, -480, -270, 480, 270);
}

} // namespace

const char* const kBlueImage = "blue.png";

std::vector<std::string> introImageNames() {
    std::vector<std::string> names;
    addNumbered(names, "queltwalk/", 1, 8);
    addNumbered(names, "us/", 1, 7);
    addNumbered(names, "logo/", 1, 7);
    return names;
}

std::vector<std::string> timelineImageNames() {
    std::vector<std::string> names;
    addNumbered(names, "lyrics/", 0, 18);
    names.push_back("credit.png");
    return names;
}

std::unique_ptr<Texture> loadImage(Bx::Archive& archive, const std::string& name) {
    Bx::ArchiveFile* file = archive.getFile(name.c_str());
    return std::unique_ptr<Texture>(new Texture(file->data, int(file->size)));
}

void setVirtualScreen() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-960, 960, -540, 540, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

std::unique_ptr<Texture> drawPreload(Bx::Archive& archive) {
    std::unique_ptr<Texture> preload = loadImage(archive, "preload.png");
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawQuad(*preload, -960, -540, 960, 540);
    return preload;
}

void loadIntroImages(Bx::Archive& archive, IntroImages& images) {
    TextureList loaded = loadImages(archive, introImageNames());
    size_t at = 0;
    take(loaded, at, 8, images.walk);
    take(loaded, at, 7, images.us);
    take(loaded, at, 7, images.logo);
}

void setIntroState() {
    glClearColor(1, 1, 1, 1);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    setVirtualScreen();
}

void drawIntroFrame(const IntroImages& images, const Intro::Frame& frame) {
    switch (frame.phase) {
    case Intro::Phase::Walk:
        drawFigure(images, frame.walkFrame, frame.x);
        break;
    case Intro::Phase::Us:
        drawFigure(images, frame.walkFrame, frame.x);
        drawPicture(*images.us[size_t(frame.usFrame)]);
        break;
    case Intro::Phase::Logo:
        drawFigure(images, frame.walkFrame, frame.x);
        drawPicture(*images.us[6]);
        drawPicture(*images.logo[size_t(frame.logoFrame)]);
        break;
    case Intro::Phase::Done:
        break;
    }
}

Programs::Programs() = default;
Programs::~Programs() = default;

void buildPrograms(Programs& programs) {
    const char* const fragments[5] = {Shaders::cloud, Shaders::lattice, Shaders::credits,
                                      Shaders::column, Shaders::noisyBox};
    for (int i = 0; i < 5; ++i) programs.scenes[i].reset(new Shader(Shaders::vertex, fragments[i]));
    programs.post.reset(new Shader(Shaders::vertex, Shaders::post));
}

TimelineImages::TimelineImages() = default;
TimelineImages::~TimelineImages() = default;

void loadTimelineImages(Bx::Archive& archive, TimelineImages& images) {
    TextureList loaded = loadImages(archive, timelineImageNames());
    size_t at = 0;
    take(loaded, at, 18, images.lyrics);
    images.credit = std::move(loaded[at]);
}

void setTimelineState() {
    glDisable(GL_BLEND);
    glClearColor(0, 0, 0, 1);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void drawTimelineFrame(const TimelineFrame& frame, Programs& programs, FrameBuffer& frameBuffer,
                       TimelineImages& images) {
    drawScenePass(frame, programs, frameBuffer, images);
    drawPostPass(frame, programs, frameBuffer, images);
}

void setSceneUniforms(Shader& scene, const TimelineFrame& frame) {
    if (frame.usesImages) {
        scene.setUniform1i("blue_img", 0);
        scene.setUniform1i("credit", 1);
        scene.setUniform1f("rtime", frame.rtime);
    }
    scene.setUniform1f("lowFreq", frame.lowFreq);
    scene.setUniform1f("time", frame.time);
    scene.setUniform1f("bass", frame.bass);
}

void setPostUniforms(Shader& post, const TimelineFrame& frame) {
    post.setUniform1f("time", frame.postTime);
    post.setUniform1f("bass", frame.postBass);
    post.setUniform1f("white", frame.white);
    post.setUniform1i("rt0", 0);
    post.setUniform1i("rt1", 1);
}

void drawScenePass(const TimelineFrame& frame, Programs& programs, FrameBuffer& frameBuffer,
                   TimelineImages& images) {
    Shader& scene = *programs.scenes[int(frame.program)];
    frameBuffer.bind();
    scene.bind();
    setSceneUniforms(scene, frame);
    if (frame.usesImages) {
        images.blue->bind(0);
        images.credit->bind(1);
    }
    drawScreenQuad();
    if (frame.usesImages) {
        images.blue->unbind();
        images.credit->unbind();
    }
    scene.unbind();
    frameBuffer.unbind();
}

void drawPostPass(const TimelineFrame& frame, Programs& programs, FrameBuffer& frameBuffer,
                  TimelineImages& images) {
    Shader& post = *programs.post;
    Texture& lyrics = *images.lyrics[size_t(frame.lyricsImage)];
    RenderTarget& target = *frameBuffer.getRenderTarget(0);
    post.bind();
    setPostUniforms(post, frame);
    target.bind(0);
    lyrics.bind(1);
    drawScreenQuad();
    lyrics.unbind();
    target.unbind();
    post.unbind();
}

Production::Production(const std::string& archivePath, bool withMusic,
                       const std::function<void()>& present, const StepDone& stepDone) {
    auto done = [&](const char* step) {
        if (stepDone) stepDone(step);
    };
    m_archive.reset(new Bx::Archive(archivePath.c_str()));
    done("archive read");
    if (withMusic) m_music.reset(new Bx::Music(m_archive->getFile("music.mp3")));
    done("music player (decoding goes on behind)");
    glEnable(GL_TEXTURE_2D);
    buildPrograms(m_programs);
    done("six programs compiled and linked");
    // The preload picture stays on screen while the intro's images load.
    setVirtualScreen();
    m_preload = drawPreload(*m_archive);
    present();
    done("preload picture decoded, drawn, shown");
    loadIntroImages(*m_archive, m_intro);
    done("first batch (22 intro images)");
}

Production::~Production() = default;

void Production::loadTimeline(int width, int height) {
    loadTimelineImages(*m_archive, m_images);
    setTimelineState();
    m_frameBuffer.reset(new FrameBuffer(width, height));
    m_frameBuffer->addRenderTarget(GL_RGBA8);
    m_images.blue = loadImage(*m_archive, kBlueImage);
}

const float* MusicSpectrum::update() {
    return m_music.update();
}
