#include "renderer.h"

#include "bx/archive.h"
#include "gl/context.h"
#include "gl/framebuffer.h"
#include "gl/headless.h"
#include "gl/texture.h"
#include "manifest.h"
#include "toolcontext.h"

#include <GL/glew.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <sys/stat.h>

namespace {

bool looseFileExists(const std::string& name) {
    struct stat st;
    return stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

bool checkArchive(const std::string& path, std::string& error) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        error = "cannot read the archive " + path + ": " + std::strerror(errno) +
                " (run in the folder that holds tidewane.velk, or name it with --archive)";
        return false;
    }
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::fclose(f);
        error = "the archive " + path + " is not a file";
        return false;
    }
    Bx::ArchiveContents contents = Bx::readArchiveEntries(f, uint64_t(st.st_size));
    std::fclose(f);
    if (!contents.error.empty()) {
        error = "the archive " + path + " is damaged: " + contents.error;
        return false;
    }
    std::set<std::string> packed;
    for (const Bx::ArchiveFile* file : contents.files) packed.insert(file->name);
    Bx::releaseArchiveFiles(contents.files);
    for (const std::string& name : Manifest::loadOrder())
        if (!packed.count(name) && !looseFileExists(name)) {
            error = "the archive " + path + " has no " + name;
            return false;
        }
    return true;
}

ShowRenderer::ShowRenderer(const std::string& archivePath, int width, int height,
                           Surface surface, int gpu)
    : m_width(width), m_height(height) {
    try {
        if (surface == Surface::Window) {
            m_context.reset(new Context(width, height, false));
            m_origin = "window";
        } else {
            m_context = openToolContext(surface == Surface::Headless, gpu, m_origin);
        }
    } catch (const ContextError& e) {
        throw CaptureError(std::string("no OpenGL context: ") + e.what());
    }

    GLint maxSize = 0, maxViewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, maxViewport);
    if (width > maxSize || height > maxSize || width > maxViewport[0] || height > maxViewport[1])
        throw CaptureError("the driver renders at most " +
                           std::to_string(std::min<int>(maxSize, maxViewport[0])) + "x" +
                           std::to_string(std::min<int>(maxSize, maxViewport[1])) + " pixels");

    m_capture.reset(new FrameBuffer(width, height));
    m_capture->addRenderTarget(GL_RGBA8);
    glBindFramebuffer(GL_FRAMEBUFFER, m_capture->getId());
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (status != GL_FRAMEBUFFER_COMPLETE)
        throw CaptureError("cannot render at " + std::to_string(width) + "x" +
                           std::to_string(height) + " (framebuffer incomplete)");

    // The live driver's set-up up to the intro, in its order; nothing is
    // presented and the music comes from the decoded stream instead.
    m_show.reset(new Production(archivePath, width, height, MusicOpener(), [] {}));
}

// Members go in reverse order: every GL object, then the archive, then the
// context, as in the live teardown.
ShowRenderer::~ShowRenderer() = default;

const Bx::ArchiveFile& ShowRenderer::music() const {
    return *m_show->archive().getFile(Manifest::kMusic);
}

DrawTarget ShowRenderer::target() const {
    return DrawTarget{m_capture->getId(), m_width, m_height};
}

void ShowRenderer::read(std::vector<uint8_t>& rgba) {
    rgba.resize(size_t(m_width) * size_t(m_height) * 4);
    glBindFramebuffer(GL_FRAMEBUFFER, m_capture->getId());
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, m_width, m_height, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
}

std::string ShowRenderer::rendererLine() const {
    return rendererDescription() + " (" + m_origin + ")";
}

std::string ShowRenderer::rendererName() const {
    const GLubyte* name = glGetString(GL_RENDERER);
    return name ? reinterpret_cast<const char*>(name) : "unknown";
}
