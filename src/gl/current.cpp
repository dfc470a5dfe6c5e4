// The one open context, which every GL class checks before it touches
// OpenGL. It is defined apart from the window code so that the show's core
// links without a window library; whichever host opens a context sets it.

#include "gl/context.h"

Context* Context::ms_context = 0;
