#pragma once
// The production's pieces: its images and programs, set up in the driver's
// order, and how one intro frame and one timeline frame are drawn. What
// frame comes when is the core's business (core.h); every host draws through
// here.

#include "intro.h"
#include "timeline.h"

#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace Bx {
class Archive;
struct ArchiveFile;
}
class FrameBuffer;
class ImageBatch;
class Shader;
class Texture;

using TextureList = std::vector<std::unique_ptr<Texture>>;

// Where a frame is drawn: a framebuffer object (0 is the window's) and its
// size. A width of 0 leaves the viewport as the host's context has it.
struct DrawTarget {
    unsigned int framebuffer = 0;
    int width = 0;
    int height = 0;
};

// Binds the target and sets its viewport; beginTarget also clears colour and
// depth.
void bindTarget(const DrawTarget& target);
void beginTarget(const DrawTarget& target);

// The music as the show uses it: started when the timeline starts, and
// analysed six times a frame as the timeline's spectrum source. The host
// makes it from the archive's "music.mp3" (a sound device on the desktop,
// nothing for an offline capture).
class ShowMusic : public SpectrumSource {
public:
    virtual void play() = 0;
};
using MusicOpener = std::function<std::unique_ptr<ShowMusic>(const Bx::ArchiveFile& mp3)>;

// One image of the archive as a texture.
std::unique_ptr<Texture> loadImage(Bx::Archive& archive, const std::string& name);

// Projection and model-view for the virtual 1920x1080 screen of the preload
// picture and the intro.
void setVirtualScreen();

struct IntroImages {
    TextureList walk; // the walking figure, 8 frames
    TextureList us;   // the "us" sequence, 7 frames
    TextureList logo; // the logo sequence, 7 frames
};

// Drawing state of the intro: blending on white in the virtual screen.
void setIntroState();
void drawIntroFrame(const IntroImages& images, const Intro::Frame& frame);

struct Programs {
    std::unique_ptr<Shader> scenes[5];
    std::unique_ptr<Shader> post;
    Programs();
    ~Programs();
};
// The five scene programs and the post pass, in the scene table's order;
// `built` is called after each scene program.
void buildPrograms(Programs& programs, const std::function<void()>& built = {});

struct TimelineImages {
    TextureList lyrics; // 18 images
    std::unique_ptr<Texture> credit;
    std::unique_ptr<Texture> blue;
    TimelineImages();
    ~TimelineImages();
};

// Drawing state of the timeline: no blending, black clear, clip-space
// matrices.
void setTimelineState();

// The uniforms of a frame's scene program (the images' units and rtime only
// where the scene uses images) and of its post pass; the program is bound.
void setSceneUniforms(Shader& scene, const TimelineFrame& frame);
void setPostUniforms(Shader& post, const TimelineFrame& frame);

// The archive and the first pictures, read and decoded on threads of their
// own from before the window exists, for a Production to take over. It
// gives up quietly on anything unexpected (an archive that cannot be read,
// a missing picture): the Production then reads and loads as usual and
// stops the program at the same point with the same message.
class Prefetch {
public:
    explicit Prefetch(const std::string& archivePath);
    // Waits for the reading; stops the decoding that was not taken.
    ~Prefetch();
    Prefetch(const Prefetch&) = delete;
    Prefetch& operator=(const Prefetch&) = delete;

private:
    friend class Production;
    void run(const std::string& archivePath);
    void join();

    std::unique_ptr<Bx::Archive> m_archive;
    std::unique_ptr<ImageBatch> m_first; // "preload.png", then the intro's images
    // Started in the constructor's body, once the members it writes exist.
    std::thread m_thread;
};

// The production's set-up in the driver's order, written once for every
// host. It owns what the set-up makes; its members go in the teardown order:
// the frame buffer, the images, the programs (the post pass with them), the
// music, the archive. The context comes before it and ends after it.
class Production {
public:
    // Called after each step of the set-up with the step's name, for the
    // benchmark's breakdown.
    using StepDone = std::function<void(const char* step)>;

    // Up to the intro: opens the archive at `archivePath`; makes the music
    // with `openMusic` when one is given (it does not play yet); enables 2D
    // texturing; builds the six programs; sets the virtual screen, draws the
    // preload picture and calls `present` to show it; then loads the
    // intro's images behind it. The preload picture and the intro's images
    // decode on worker threads from the archive's reading on, and the
    // second batch from the end of this set-up, through the intro. The
    // scenes will be drawn at `width` x `height`.
    // With a `prefetch` made for the same archive, its archive and decoded
    // pictures are taken over where the context can use them as they are.
    Production(const std::string& archivePath, int width, int height,
               const MusicOpener& openMusic, const std::function<void()>& present,
               const StepDone& stepDone = StepDone(), Prefetch* prefetch = nullptr);
    // As above over an archive open already. One still arriving (the
    // browser's, read as it downloads) is waited for entry by entry: the
    // preload picture decodes by itself first, so that it shows as soon as
    // its bytes are in, and the second batch starts during the intro once
    // its pictures have arrived.
    Production(std::unique_ptr<Bx::Archive> archive, int width, int height,
               const MusicOpener& openMusic, const std::function<void()>& present,
               const StepDone& stepDone = StepDone());
    ~Production();
    Production(const Production&) = delete;
    Production& operator=(const Production&) = delete;

    // During the intro, after a frame is shown: starts the second batch once
    // its pictures have arrived, and uploads its next image if it is
    // decoded, so little is left for loadTimeline.
    void uploadAhead();

    // After the intro, with its last frame on screen: the lyrics and
    // "credit.png", the timeline's drawing state, the frame buffer with its
    // render target at the scene size, then "blue.png". Later calls do
    // nothing.
    void loadTimeline();
    bool timelineLoaded() const { return m_frameBuffer != nullptr; }
    // Whether loadTimeline would find every image it uploads prepared, so
    // that it would not wait (the browser holds the intro's last frame until
    // then instead).
    bool timelineReady() const;

    // The two passes of a timeline frame. The scene pass draws into the
    // frame buffer's render target and binds `target` again afterwards; the
    // post pass draws into `target`.
    void drawScenePass(const TimelineFrame& frame, const DrawTarget& target);
    void drawPostPass(const TimelineFrame& frame, const DrawTarget& target);

    Bx::Archive& archive() { return *m_archive; }
    ShowMusic* music() { return m_music.get(); } // null without music
    Programs& programs() { return m_programs; }
    const IntroImages& intro() const { return m_intro; }
    TimelineImages& images() { return m_images; }
    FrameBuffer& frameBuffer() { return *m_frameBuffer; } // after loadTimeline
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    using StepNamed = std::function<void(const char* step)>;
    void setUp(std::unique_ptr<ImageBatch> ahead, const MusicOpener& openMusic,
               const std::function<void()>& present, const StepNamed& done);
    void startSecondBatch();
    // `image`, or the transparent texture where it could not be used.
    Texture& overlay(Texture& image);

    int m_width;
    int m_height;
    std::unique_ptr<Bx::Archive> m_archive;
    std::unique_ptr<ShowMusic> m_music;
    Programs m_programs;
    std::unique_ptr<Texture> m_preload;
    IntroImages m_intro;
    TimelineImages m_images;
    std::unique_ptr<FrameBuffer> m_frameBuffer;
    // Fully transparent, drawn in place of a lyric or the credit that could
    // not be used: those are laid over the scene by their alpha, so the
    // frame is the one drawn without them.
    std::unique_ptr<Texture> m_clear;
    // The second batch, decoding from the intro's start until loadTimeline
    // uploads it; it borrows the archive's bytes, so it goes first.
    std::unique_ptr<ImageBatch> m_second;
    bool m_secondPending = false; // its pictures are still arriving
    TextureList m_early; // the second batch's textures uploaded during the intro
};
