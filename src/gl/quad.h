#pragma once
// The quads the production draws: the screen quad of every shader program,
// and textured pictures laid flat on a 2D view (the preload picture and the
// intro). The desktop draws them with immediate mode and the matrix stack;
// WebGL 2 has neither, so there they are one vertex buffer and a small
// program of their own, with the same corners and texture coordinates.

// Draws one quad over the whole viewport: corners (-1, -1), (-1, 1),
// (1, 1), (1, -1) in this order, with texture coordinates (0, 0), (0, 1),
// (1, 1), (1, 0) in set 0 (attribute locations 0 and 1 on WebGL 2). With the
// shared vertex shader the corners are clip coordinates and the texture
// coordinate runs from (0, 0) at the bottom-left to (1, 1) at the top-right
// of the target.
void drawScreenQuad();

// Texturing on for the flat pictures (the desktop's fixed-function switch;
// nothing on WebGL 2, where the pictures' program samples its texture).
void enableFlatTexturing();

// The 2D view of the flat pictures: (left, bottom) to (right, top) fills the
// viewport (an orthographic projection, depth -1 to 1), with no offset.
void setFlatView(float left, float right, float bottom, float top);

// Pictures drawn next are moved `x` to the right in the view's units
// (0: not moved).
void setFlatOffset(float x);

// Draws the texture bound to unit 0 over (left, bottom)-(right, top) of the
// view, moved by the offset: corners bottom-left, top-left, top-right,
// bottom-right with texture coordinates (0, 0), (0, 1), (1, 1), (1, 0),
// colour white, under whatever blending is set.
void drawFlatQuad(float left, float bottom, float right, float top);
