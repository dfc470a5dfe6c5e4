#pragma once
// Draws frames of the show offscreen with the live show's own code: the same
// images, programs, intro and timeline drawing, in the order the live driver
// sets them up, into a framebuffer of the capture's size that is read back.
// The window it needs for its OpenGL context stays hidden.

#include "sequence.h"
#include "show.h"

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace Bx {
class Archive;
}
class Context;
class GlTimer;
class FrameBuffer;
class Texture;

class CaptureError : public std::runtime_error {
public:
    explicit CaptureError(const std::string& what) : std::runtime_error(what) {}
};

// Every entry the show reads, in load order.
std::vector<std::string> showAssetNames();

// Checks that `path` is a readable, well-formed archive holding every entry
// the show reads (or a loose file of that name in the working folder).
// False with the reason otherwise.
bool checkArchive(const std::string& path, std::string& error);

class ShowRenderer {
public:
    // How the OpenGL context is had.
    enum class Surface {
        Hidden,   // a hidden window on the X display
        Headless, // EGL, no window (see HeadlessContext)
        Window,   // a visible window of the picture's size, for the studio
    };

    // Opens the OpenGL context, the archive and everything the intro needs.
    // `gpu` is for Headless. Throws CaptureError when no OpenGL context can
    // be had or the size is beyond the driver.
    ShowRenderer(const std::string& archivePath, int width, int height,
                 Surface surface = Surface::Hidden, int gpu = -1);
    ~ShowRenderer();
    ShowRenderer(const ShowRenderer&) = delete;
    ShowRenderer& operator=(const ShowRenderer&) = delete;

    // The archive's copy of the music.
    const uint8_t* musicData() const;
    size_t musicSize() const;

    // Draws one frame of the sequence into the capture framebuffer. With a
    // timer, a timeline frame's scene pass and post pass are timed apart
    // (milliseconds in `sceneMs` and `postMs`).
    void draw(const ShowSequence::Frame& frame, GlTimer* timer = nullptr, double* sceneMs = nullptr,
              double* postMs = nullptr);
    // The capture framebuffer as RGBA8, bottom row first.
    void read(std::vector<uint8_t>& rgba);

    // The two passes of a timeline frame on their own, for the benchmark:
    // the scene into the scene render target, the post pass into the
    // capture framebuffer.
    void drawScene(const TimelineFrame& frame);
    void drawPost(const TimelineFrame& frame);

    std::string rendererName() const;
    Context& context() { return *m_context; }
    // The programs, which the studio may rebuild from edited sources.
    Programs& programs();
    unsigned int captureFramebuffer() const;
    // Vendor, renderer and version, and how the context was made.
    std::string rendererLine() const;
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    void bindCapture();
    void enterTimeline();

    int m_width;
    int m_height;
    std::unique_ptr<Context> m_context;
    std::string m_origin;
    std::unique_ptr<FrameBuffer> m_capture;
    std::unique_ptr<Production> m_show;
    bool m_inTimeline = false;
};
