#pragma once
// The OpenGL the GL layer and the show draw with. The desktop has a
// compatibility profile through GLEW; the browser build (TIDEWANE_WEBGL)
// has WebGL 2, which is OpenGL ES 3.0: no fixed-function drawing, no
// attribute stack, no GL_CLAMP. The few places that differ say so here or
// branch on TIDEWANE_WEBGL.

#ifdef TIDEWANE_WEBGL
#include <GLES3/gl3.h>
#include <GLES2/gl2ext.h>
// Clamping without a border colour: the nearest OpenGL ES has.
constexpr GLenum kClampWrap = GL_CLAMP_TO_EDGE;
#else
#include <GL/glew.h>
constexpr GLenum kClampWrap = GL_CLAMP;
#endif
