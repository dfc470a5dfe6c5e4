#pragma once
// The production's pieces that the driver puts together: its images and
// programs, and how one intro frame and one timeline frame are drawn. Kept
// apart from the driver's sequence so that tools can drive them with a clock
// of their own.

#include "intro.h"
#include "timeline.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Bx {
class Archive;
class Music;
}
class FrameBuffer;
class Shader;
class Texture;

using TextureList = std::vector<std::unique_ptr<Texture>>;

// The archive names of the images, in load order: the intro's 22 (walk, us,
// logo), then the second batch's lyrics and credit, then "blue.png", which
// loads on its own after the frame buffer exists.
std::vector<std::string> introImageNames();
std::vector<std::string> timelineImageNames();
extern const char* const kBlueImage;

// One image of the archive as a texture.
std::unique_ptr<Texture> loadImage(Bx::Archive& archive, const std::string& name);

// Projection and model-view for the virtual 1920x1080 screen of the preload
// picture and the intro.
void setVirtualScreen();

// Shows "preload.png" over the whole window; the caller presents it.
std::unique_ptr<Texture> drawPreload(Bx::Archive& archive);

struct IntroImages {
    TextureList walk; // "queltwalk/01.png" to "08.png"
    TextureList us;   // "us/01.png" to "07.png"
    TextureList logo; // "logo/01.png" to "07.png"
};
// The first batch: the 22 images of the intro, in load order. Each batch is
// decoded on worker threads and uploaded on this one (loadTextures).
void loadIntroImages(Bx::Archive& archive, IntroImages& images);

// Drawing state of the intro: blending on white in the virtual screen.
void setIntroState();
void drawIntroFrame(const IntroImages& images, const Intro::Frame& frame);

struct Programs {
    std::unique_ptr<Shader> scenes[5];
    std::unique_ptr<Shader> post;
    Programs();
    ~Programs();
};
// The five scene programs and the post pass, in that order.
void buildPrograms(Programs& programs);

struct TimelineImages {
    TextureList lyrics; // "lyrics/00.png" to "17.png"
    std::unique_ptr<Texture> credit;
    std::unique_ptr<Texture> blue;
    TimelineImages();
    ~TimelineImages();
};
// The second batch: the lyrics images and "credit.png". "blue.png" is
// loaded on its own after the frame buffer exists.
void loadTimelineImages(Bx::Archive& archive, TimelineImages& images);

// Drawing state of the timeline: no blending, black clear, clip-space
// matrices.
void setTimelineState();

// The uniforms and textures of one frame: the scene into the frame buffer,
// then the post pass to the window.
void drawTimelineFrame(const TimelineFrame& frame, Programs& programs, FrameBuffer& frameBuffer,
                       TimelineImages& images);
// The uniforms of a frame's scene program (the images' units and rtime only
// where the scene uses images) and of its post pass; the program is bound.
void setSceneUniforms(Shader& scene, const TimelineFrame& frame);
void setPostUniforms(Shader& post, const TimelineFrame& frame);
// Its two halves. The scene pass leaves the window's framebuffer bound; the
// post pass draws into whatever framebuffer is bound, so an offscreen
// capture binds its own in between.
void drawScenePass(const TimelineFrame& frame, Programs& programs, FrameBuffer& frameBuffer,
                   TimelineImages& images);
void drawPostPass(const TimelineFrame& frame, Programs& programs, FrameBuffer& frameBuffer,
                  TimelineImages& images);

// The production's set-up in the driver's order, written once for the show,
// its benchmark and the capture tool. It owns what the set-up makes; its
// members go in the teardown order: the frame buffer, the images, the
// programs (the post pass with them), the music player, the archive. The
// window and its context come before it and end after it.
class Production {
public:
    // Called after each step of the set-up with the step's name, for the
    // benchmark's breakdown.
    using StepDone = std::function<void(const char* step)>;

    // Up to the intro: opens the archive at `archivePath` and, when
    // `withMusic`, creates the music player from "music.mp3" (it does not
    // play yet); enables 2D texturing; builds the six programs; sets the
    // virtual screen, draws the preload picture and calls `present` to show
    // it; then loads the intro's images behind it.
    Production(const std::string& archivePath, bool withMusic,
               const std::function<void()>& present, const StepDone& stepDone = StepDone());
    ~Production();
    Production(const Production&) = delete;
    Production& operator=(const Production&) = delete;

    // After the intro, with its last frame on screen: the lyrics and
    // "credit.png", the timeline's drawing state, the frame buffer with its
    // render target at `width` x `height`, then "blue.png". Once only.
    void loadTimeline(int width, int height);

    Bx::Archive& archive() { return *m_archive; }
    Bx::Music* music() { return m_music.get(); } // null without music
    Programs& programs() { return m_programs; }
    const IntroImages& intro() const { return m_intro; }
    TimelineImages& images() { return m_images; }
    FrameBuffer& frameBuffer() { return *m_frameBuffer; } // after loadTimeline

private:
    std::unique_ptr<Bx::Archive> m_archive;
    std::unique_ptr<Bx::Music> m_music;
    Programs m_programs;
    std::unique_ptr<Texture> m_preload;
    IntroImages m_intro;
    TimelineImages m_images;
    std::unique_ptr<FrameBuffer> m_frameBuffer;
};

// The music player as the timeline's spectrum source.
class MusicSpectrum : public SpectrumSource {
public:
    explicit MusicSpectrum(Bx::Music& music) : m_music(music) {}
    const float* update() override;

private:
    Bx::Music& m_music;
};
