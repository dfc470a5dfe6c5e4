#pragma once
// Lines of text over the picture, drawn with pango and cairo into a texture
// and laid on the window's top-left corner with blending.

#include <string>
#include <vector>

class Hud {
public:
    Hud();
    ~Hud();
    Hud(const Hud&) = delete;
    Hud& operator=(const Hud&) = delete;

    // Draws `lines` into the window's framebuffer (bound now), which is
    // `width` x `height` pixels. Leaves the GL state as it found it.
    void draw(const std::vector<std::string>& lines, int width, int height);

private:
    unsigned int m_texture = 0;
};
