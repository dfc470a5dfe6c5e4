#include "show.h"

#include "bx/archive.h"
#include "gl/framebuffer.h"
#include "gl/quad.h"
#include "gl/rendertarget.h"
#include "gl/shader.h"
#include "gl/texture.h"
#include "manifest.h"
#include "shaders.h"

#include "gl/api.h"

#include <sys/stat.h>

#include <cstdio>

namespace {

// The images called `names`, in that order. Every name is looked up before
// any image is decoded, so a missing one stops the program with the same
// message as when the images were loaded one by one.
TextureList loadImages(Bx::Archive& archive, const std::vector<std::string>& names) {
    std::vector<EncodedImage> files;
    for (const std::string& name : names) {
        Bx::ArchiveFile* file = archive.getFile(name.c_str());
        files.push_back(EncodedImage{file->data, file->size, name});
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
    drawFlatQuad(left, bottom, right, top);
    texture.unbind();
}

void drawFigure(const IntroImages& images, int walkFrame, float x) {
    setFlatOffset(x);
    drawQuad(*images.walk[size_t(walkFrame)], -68, -70, 68, 178);
}

void drawPicture(Texture& texture) {
    setFlatOffset(0);
    drawQuad(texture, -480, -270, 480, 270);
}

} // namespace

void bindTarget(const DrawTarget& target) {
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    if (target.width > 0) glViewport(0, 0, target.width, target.height);
}

void beginTarget(const DrawTarget& target) {
    bindTarget(target);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

std::unique_ptr<Texture> loadImage(Bx::Archive& archive, const std::string& name) {
    Bx::ArchiveFile* file = archive.getFile(name.c_str());
    return std::unique_ptr<Texture>(new Texture(file->data, int(file->size), name));
}

void setVirtualScreen() {
    setFlatView(-960, 960, -540, 540);
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

const char* fragmentSource(int index) {
    // The embedded constants in the scene table's order; the build checks
    // that the embedded files are the table's.
    const char* const sources[kSceneCount + 1] = {Shaders::cloud,  Shaders::lattice,
                                                  Shaders::credits, Shaders::column,
                                                  Shaders::noisyBox, Shaders::post};
    return index >= 0 && index <= kSceneCount ? sources[index] : nullptr;
}

Programs::Programs() = default;
Programs::~Programs() = default;

void buildPrograms(Programs& programs, const std::function<void()>& built) {
    for (int i = 0; i < kSceneCount; ++i) {
        programs.scenes[i].reset(new Shader(Shaders::vertex, fragmentSource(i)));
        if (built) built();
    }
    programs.post.reset(new Shader(Shaders::vertex, fragmentSource(kPostProgram)));
}

TimelineImages::TimelineImages() = default;
TimelineImages::~TimelineImages() = default;

void setTimelineState() {
    glDisable(GL_BLEND);
    glClearColor(0, 0, 0, 1);
    setFlatView(-1, 1, -1, 1);
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

namespace {

// The preload picture, then the intro's images.
std::vector<std::string> firstPictures() {
    std::vector<std::string> names = {Manifest::kPreload};
    for (const std::string& name : Manifest::introImages()) names.push_back(name);
    return names;
}

// What a prefetch decodes for before any context exists: what a desktop
// driver offers. A context that takes less gets pictures decoded anew.
UploadCaps likelyCaps() {
    UploadCaps caps;
    caps.dxt = true;
    caps.npot = true;
    caps.maxSide = int(kMaxImageSide);
    return caps;
}

// The images called `names` decoding on worker threads for `caps` from now
// on, or null when one of them is missing from the archive: a missing name
// leaves the batch to the usual loading, which stops the program naming the
// first missing one at the point it always has.
std::unique_ptr<ImageBatch> startBatch(Bx::Archive& archive, const std::vector<std::string>& names,
                                       const UploadCaps& caps) {
    std::vector<EncodedImage> files;
    for (const std::string& name : names) {
        Bx::ArchiveFile* file = archive.findFile(name.c_str());
        if (!file) return nullptr;
        files.push_back(EncodedImage{file->data, file->size, name});
    }
    return std::unique_ptr<ImageBatch>(new ImageBatch(files, caps));
}

// All images of `batch` but its last, uploaded after those of `loaded` that
// are up already; without a batch, the images called `names` loaded as
// usual.
TextureList allButLast(ImageBatch* batch, TextureList loaded, Bx::Archive& archive,
                       const std::vector<std::string>& names) {
    if (!batch) return loadImages(archive, names);
    while (loaded.size() + 1 < batch->size()) loaded.push_back(batch->upload());
    return loaded;
}

// A 1x1 texture of transparent black.
std::unique_ptr<Texture> clearTexture() {
    PreparedImage image;
    image.decoded = true;
    image.width = image.height = 1;
    image.channels = 4;
    image.pixels.assign(4, 0);
    return std::unique_ptr<Texture>(new Texture(image, "(transparent)"));
}

bool sameCaps(const UploadCaps& a, const UploadCaps& b) {
    return a.dxt == b.dxt && a.npot == b.npot && a.dxtWholeBlocks == b.dxtWholeBlocks &&
           a.maxSide >= b.maxSide;
}

} // namespace

Prefetch::Prefetch(const std::string& archivePath) {
    m_thread = std::thread([this, archivePath] { run(archivePath); });
}

Prefetch::~Prefetch() {
    join();
}

void Prefetch::join() {
    if (m_thread.joinable()) m_thread.join();
}

void Prefetch::run(const std::string& archivePath) {
    // On one core the decoding would only slow the window's making down.
    if (availableCores() < 2) return;
    // The archive is read here only when it is sure to read without a fatal
    // assertion, which must come once the window is open.
    FILE* f = std::fopen(archivePath.c_str(), "rb");
    if (!f) return;
    struct stat st;
    const bool regular = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode);
    Bx::ArchiveContents contents;
    if (regular) contents = Bx::readArchiveEntries(f, uint64_t(st.st_size));
    std::fclose(f);
    Bx::releaseArchiveFiles(contents.files);
    if (!regular || !contents.error.empty() || Bx::Archive::ms_archive) return;
    m_archive.reset(new Bx::Archive(archivePath.c_str()));
    m_first = startBatch(*m_archive, firstPictures(), likelyCaps());
}

Production::Production(const std::string& archivePath, int width, int height,
                       const MusicOpener& openMusic, const std::function<void()>& present,
                       const StepDone& stepDone, Prefetch* prefetch)
    : m_width(width), m_height(height) {
    auto done = [&](const char* step) {
        if (stepDone) stepDone(step);
    };
    std::unique_ptr<ImageBatch> ahead;
    if (prefetch) {
        prefetch->join();
        // The batch borrows the archive's bytes: the archive comes too.
        if (prefetch->m_first && sameCaps(queryUploadCaps(), likelyCaps()))
            ahead = std::move(prefetch->m_first);
        prefetch->m_first.reset();
        m_archive = std::move(prefetch->m_archive);
    }
    if (!m_archive) m_archive.reset(new Bx::Archive(archivePath.c_str()));
    setUp(std::move(ahead), openMusic, present, done);
}

Production::Production(std::unique_ptr<Bx::Archive> archive, int width, int height,
                       const MusicOpener& openMusic, const std::function<void()>& present,
                       const StepDone& stepDone)
    : m_width(width), m_height(height), m_archive(std::move(archive)) {
    setUp(nullptr, openMusic, present, [&](const char* step) {
        if (stepDone) stepDone(step);
    });
}

void Production::setUp(std::unique_ptr<ImageBatch> ahead, const MusicOpener& openMusic,
                       const std::function<void()>& present, const StepNamed& done) {
    done("archive read");
    // The preload picture and the intro's images decode behind the music's
    // and the programs' set-up, if they have not begun already. An archive
    // still arriving gives the preload picture first, by itself.
    const bool arriving = !m_archive->fed();
    if (!ahead)
        ahead = startBatch(*m_archive, arriving ? std::vector<std::string>{Manifest::kPreload}
                                                : firstPictures(),
                           queryUploadCaps());
    if (openMusic) m_music = openMusic(*m_archive->getFile(Manifest::kMusic));
    done("music player (decoding goes on behind)");
    enableFlatTexturing();
    // A step for each scene program too, so that a host that yields between
    // steps (the browser) never waits on all six at once.
    buildPrograms(m_programs, [&] { done("a scene program compiled and linked"); });
    done("six programs compiled and linked");
    // The preload picture stays on screen while the intro's images load.
    setVirtualScreen();
    m_preload = ahead ? ahead->upload() : loadImage(*m_archive, Manifest::kPreload);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawQuad(*m_preload, -960, -540, 960, 540);
    present();
    done("preload picture decoded, drawn, shown");
    TextureList loaded;
    if (arriving) {
        // The intro's images in a batch of their own, as they arrive.
        std::unique_ptr<ImageBatch> intro =
            startBatch(*m_archive, Manifest::introImages(), queryUploadCaps());
        if (!intro) loaded = loadImages(*m_archive, Manifest::introImages());
        while (intro && loaded.size() < intro->size()) loaded.push_back(intro->upload());
    } else {
        loaded = allButLast(ahead.get(), {}, *m_archive, Manifest::introImages());
    }
    size_t at = 0;
    take(loaded, at, Manifest::kWalkImages, m_intro.walk);
    take(loaded, at, Manifest::kUsImages, m_intro.us);
    take(loaded, at, Manifest::kLogoImages, m_intro.logo);
    done("first batch (22 intro images)");
    // The second batch decodes during the intro.
    m_secondPending = true;
    if (!arriving) startSecondBatch();
}

void Production::startSecondBatch() {
    std::vector<std::string> second = Manifest::timelineImages();
    second.push_back(Manifest::kBlue);
    for (const std::string& name : second)
        if (!m_archive->arrived(name.c_str())) return;
    m_secondPending = false;
    m_second = startBatch(*m_archive, second, queryUploadCaps());
}

Production::~Production() = default;

void Production::uploadAhead() {
    if (m_secondPending && !timelineLoaded()) startSecondBatch();
    // The lyrics and the credit, one a frame as they are ready; "blue.png"
    // waits for the frame buffer, so the textures keep their order.
    if (m_second && m_second->uploaded() + 1 < m_second->size() && m_second->nextReady())
        m_early.push_back(m_second->upload());
}

bool Production::timelineReady() const {
    if (timelineLoaded()) return true;
    return m_second ? m_second->allReady() : !m_secondPending;
}

void Production::loadTimeline() {
    if (timelineLoaded()) return;
    TextureList loaded =
        allButLast(m_second.get(), std::move(m_early), *m_archive, Manifest::timelineImages());
    size_t at = 0;
    take(loaded, at, Manifest::kLyricImages, m_images.lyrics);
    m_images.credit = std::move(loaded[at]);
    setTimelineState();
    m_frameBuffer.reset(new FrameBuffer(m_width, m_height));
    m_frameBuffer->addRenderTarget(GL_RGBA8);
    m_images.blue = m_second ? m_second->upload() : loadImage(*m_archive, Manifest::kBlue);
    m_second.reset();
    m_clear = clearTexture();
}

Texture& Production::overlay(Texture& image) {
    return image.getId() != 0 ? image : *m_clear;
}

void Production::drawScenePass(const TimelineFrame& frame, const DrawTarget& target) {
    Shader& scene = *m_programs.scenes[int(frame.program)];
    m_frameBuffer->bind();
    scene.bind();
    setSceneUniforms(scene, frame);
    Texture& credit = overlay(*m_images.credit);
    if (frame.usesImages) {
        m_images.blue->bind(0);
        credit.bind(1);
    }
    drawScreenQuad();
    if (frame.usesImages) {
        m_images.blue->unbind();
        credit.unbind();
    }
    scene.unbind();
    // Unbinding the frame buffer restores the viewport and binds the window.
    m_frameBuffer->unbind();
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
}

void Production::drawPostPass(const TimelineFrame& frame, const DrawTarget& target) {
    Shader& post = *m_programs.post;
    Texture& lyrics = overlay(*m_images.lyrics[size_t(frame.lyricsImage)]);
    RenderTarget& rt = *m_frameBuffer->getRenderTarget(0);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    post.bind();
    setPostUniforms(post, frame);
    rt.bind(0);
    lyrics.bind(1);
    drawScreenQuad();
    lyrics.unbind();
    rt.unbind();
    post.unbind();
}
