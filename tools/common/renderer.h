#pragma once
// The show drawn offscreen with the live show's own code, for the tools: the
// same set-up, images and programs, into a framebuffer of the picture's size
// that is read back. The window it needs for its OpenGL context stays hidden
// (or there is none, through EGL); the studio shows one.

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
class FrameBuffer;
class Texture;

class CaptureError : public std::runtime_error {
public:
    explicit CaptureError(const std::string& what) : std::runtime_error(what) {}
};

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

    // Opens the OpenGL context, a framebuffer of the picture's size, the
    // archive and everything the intro needs, in the live show's order (no
    // music player: the tools decode the music themselves). `gpu` is for
    // Headless. Throws CaptureError when no OpenGL context can be had or the
    // size is beyond the driver.
    ShowRenderer(const std::string& archivePath, int width, int height,
                 Surface surface = Surface::Hidden, int gpu = -1);
    ~ShowRenderer();
    ShowRenderer(const ShowRenderer&) = delete;
    ShowRenderer& operator=(const ShowRenderer&) = delete;

    // The music: its bytes and size from one look-up, so that a loose
    // music.mp3 replaced meanwhile cannot give a size that is not the bytes'.
    const Bx::ArchiveFile& music() const;

    // The production, which draws the frames (see core.h), and the
    // framebuffer it draws them into.
    Production& production() { return *m_show; }
    DrawTarget target() const;
    // The framebuffer as RGBA8, bottom row first.
    void read(std::vector<uint8_t>& rgba);

    std::string rendererName() const;
    Context& context() { return *m_context; }
    // Vendor, renderer and version, and how the context was made.
    std::string rendererLine() const;
    int width() const { return m_width; }
    int height() const { return m_height; }

private:
    int m_width;
    int m_height;
    std::unique_ptr<Context> m_context;
    std::string m_origin;
    std::unique_ptr<FrameBuffer> m_capture;
    std::unique_ptr<Production> m_show;
};
