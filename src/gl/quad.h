#pragma once
// The screen quad on which every shader program of the production is drawn.

// Draws one quad over the whole viewport with immediate mode: corners
// (-1, -1), (-1, 1), (1, 1), (1, -1) in this order, with texture coordinates
// (0, 0), (0, 1), (1, 1), (1, 0) in set 0. With the shared vertex shader the
// corners are clip coordinates and the texture coordinate runs from (0, 0)
// at the bottom-left to (1, 1) at the top-right of the target.
void drawScreenQuad();
