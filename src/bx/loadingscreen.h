#pragma once
// Shows loading progress by revealing a picture through a mask: each pixel
// stays black until the progress reaches the mask's red value there.

#include <memory>

class Shader;
class Texture;

namespace Bx {

class LoadingScreen {
public:
    // The reveal program's sources.
    static const char* const kVertexSource;
    static const char* const kFragmentSource;

    // Loads the picture and the mask from the archive entries of these names
    // and builds the reveal program. Needs the archive and the Context.
    LoadingScreen(const char* imagePath, const char* maskPath);
    // Deletes the program and the two Texture objects (their OpenGL textures
    // stay until the Context ends, as every Texture's do).
    ~LoadingScreen();

    LoadingScreen(const LoadingScreen&) = delete;
    LoadingScreen& operator=(const LoadingScreen&) = delete;

    // Stores the value clamped to [0, 1]; a value that is not a number
    // stores 0.
    void setProgress(float value);
    float getProgress() const { return m_progress; }

    // Clears the window and draws the picture as far as the progress reveals
    // it. Leaves the reveal program bound; the caller presents the frame.
    void draw();

private:
    std::unique_ptr<Texture> m_image;
    std::unique_ptr<Texture> m_mask;
    std::unique_ptr<Shader> m_shader;
    float m_progress;
};

} // namespace Bx
