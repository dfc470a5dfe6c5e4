#pragma once
// The GLSL sources of the production's six programs, compiled into the
// program at build time from src/shaders/*.glsl. Every program pairs the
// shared vertex shader with one fragment shader and is drawn on the screen
// quad (gl/quad.h).

namespace Shaders {

// Shared vertex shader: position through unchanged, texture coordinate set 0
// copied.
extern const char* const vertex;

// Scene programs (uniforms time, lowFreq and bass; credits also rtime,
// blue_img and credit).
extern const char* const cloud;     // volumetric cloud
extern const char* const lattice;   // sphere-box lattice
extern const char* const credits;   // cloud and credits
extern const char* const column;    // twisted column
extern const char* const noisyBox;  // noisy sphere-box

// Post pass (uniforms rt0, rt1, bass, time, white).
extern const char* const post;

} // namespace Shaders
