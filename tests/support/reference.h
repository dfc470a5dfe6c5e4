#pragma once
// A CPU computation of what each of the six fragment programs (five scenes and
// the post pass) draws at one pixel, in 32-bit float as the GPU computes it.
// The tests render the programs with OpenGL and compare against it.

#include <glm/glm.hpp>

#include <functional>
#include <vector>

namespace Reference {

// RGBA image, values as floats; row 0 is the BOTTOM row (as glReadPixels returns it).
struct Image {
    int width = 0, height = 0;
    std::vector<glm::vec4> pixels;            // width*height, row-major from the bottom row
    // The pixel in column x of row y (row 0 at the bottom); throws
    // std::out_of_range outside the image.
    glm::vec4 at(int x, int y) const;
    static Image fromRGBA8(int w, int h, const unsigned char* rgba); // bottom row first, /255
};

// Clamp = OpenGL GL_CLAMP: with GL_LINEAR, samples beyond the edge blend with
// the border colour, transparent black (0,0,0,0).
enum class Wrap { Repeat, Clamp };

// GL_LINEAR filtering, texel centres at (i+0.5)/w. Throws std::invalid_argument
// for an empty image.
glm::vec4 sample(const Image& image, glm::vec2 uv, Wrap wrap);

struct Uniforms {
    float time = 0, lowFreq = 0, bass = 0, rtime = 0, white = 0;
    const Image* blue = nullptr;   // blue_img, unit 0 (Repeat)
    const Image* credit = nullptr; // credit, unit 1 (Repeat)
    const Image* rt0 = nullptr;    // post pass: scene render target (Clamp)
    const Image* rt1 = nullptr;    // post pass: lyrics image (Repeat)
};

using Program = glm::vec4 (*)(glm::vec2 uv, const Uniforms&);

// Each takes the texture coordinate of the fragment (0..1 across the target).
// A program that samples an image throws std::invalid_argument when the image
// it needs is missing from the uniforms.
glm::vec4 cloud(glm::vec2 uv, const Uniforms&);      // volumetric cloud
glm::vec4 lattice(glm::vec2 uv, const Uniforms&);    // sphere-box lattice
glm::vec4 credits(glm::vec2 uv, const Uniforms&);    // cloud and credits
glm::vec4 column(glm::vec2 uv, const Uniforms&);     // twisted column
glm::vec4 noisyBox(glm::vec2 uv, const Uniforms&);   // noisy sphere-box
glm::vec4 post(glm::vec2 uv, const Uniforms&);       // post-processing pass

// Evaluates a program at every pixel centre uv = ((x+0.5)/w, (y+0.5)/h); the
// result is NOT clamped or quantised.
Image render(Program program, int width, int height, const Uniforms& uniforms);

// Clamp to [0,1] and quantise to 8 bits as storing into an RGBA8 target does
// (round to nearest; NaN stores as 0).
glm::u8vec4 toRGBA8(glm::vec4 colour);

// Quantises every pixel as an RGBA8 target stores it and returns the values
// as floats (k/255), e.g. to feed a scene picture to the post pass.
Image quantised(const Image& image);

// The pieces the programs are built from, for tests that check one on its own.
namespace Blocks {

// Screen position p = uv*2 - 1: (-1,-1) bottom-left to (1,1) top-right.
glm::vec2 screenPosition(glm::vec2 uv);

// fract(sin(n) * 43758.5453), in [0, 1).
float hash(float n);

// Value noise over the integer lattice, corner values hash(cell number + k),
// cell number x + 57y (+ 113z), smoothed trilinear (bilinear) interpolation.
float noise(glm::vec3 x);
float noise(glm::vec2 x);

// Octave matrices (column-major, as GLSL builds them from columns).
glm::mat3 octaveMatrix3();
glm::mat2 octaveMatrix2();

float fbm6(glm::vec3 p);              // six octaves, the volumetric cloud
float fbm4(glm::vec3 p);              // four octaves, the noisy sphere-box
float fbm4(glm::vec2 p, float time);  // four octaves with time drift, the credits cloud

// Look-at camera towards (0,1,0) with up (0,1,0) and horizontal factor 1.77.
struct Camera {
    glm::vec3 prp;   // position
    glm::vec3 vpn;   // view direction (unit)
    glm::vec3 u;     // screen right (unit)
    glm::vec3 v;     // screen up
};
Camera lookAt(glm::vec3 prp);
// Unit ray direction scp through screen position p.
glm::vec3 rayDirection(const Camera& camera, glm::vec2 p);

// Sphere tracing: f starts at 1 and s at s0; at most `limit` times, unless
// |s| < epsilon or f > maxd, f += k*s, q = prp + scp*f, s = d(q).
struct TraceParameters {
    float s0, k;
    int limit;
    float epsilon, maxd;
};
struct TraceResult {
    float f;        // distance along the ray
    float s;        // the distance function at q
    glm::vec3 q;    // the last point
    int steps;      // iterations that ran
};
using DistanceFunction = std::function<float(glm::vec3)>;
TraceResult sphereTrace(glm::vec3 prp, glm::vec3 scp, const TraceParameters& parameters,
                        const DistanceFunction& d);

// Distance primitives and operators.
float sphere(glm::vec3 q, float r);
float box(glm::vec3 q, float halfSize);        // exterior distance, 0 inside
glm::vec3 repetition(glm::vec3 q, float c);    // mod(q, c) - 0.75
glm::vec3 twist(glm::vec3 q, float time);      // (rotated x, rotated z, old y)

namespace Cloud {
glm::vec3 cameraPosition(float time);          // ro, at distance 2 from the origin
// Unit ray direction rd for screen position p.
glm::vec3 rayDirection(float time, glm::vec2 p);
// The field value v at sample point q.
float field(glm::vec3 q, float time, float lowFreq);
// Colour of a sample with field value v: 2.5 * gradient key * tint, before
// the density factor.
glm::vec4 sampleColour(float v, float time, float lowFreq);
// Front-to-back sum of the 64 samples of one ray (before the screen factor).
glm::vec4 march(glm::vec3 ro, glm::vec3 rd, float time, float lowFreq);
}

namespace Lattice {
extern const TraceParameters trace;            // s0 0.2, k 1, 13 steps, 0.001, 120
glm::vec3 cameraPosition(float time);
float bBox(glm::vec3 p, float lowFreq);
float inbBox(glm::vec3 p, float lowFreq);
float boxTwist(glm::vec3 p, float time, float lowFreq);
float boxRep(glm::vec3 p);
float inObj(glm::vec3 p, float time, float lowFreq);
// Colour for the final state of a ray (remaining distance s, hit when f < 120).
glm::vec4 shade(const TraceResult& result);
}

namespace Column {
extern const TraceParameters trace;            // s0 0.1, k 0.6, 16 steps, 2e-7, 60
glm::vec3 cameraPosition();
float cylinder(glm::vec3 p, glm::vec3 c);
float boxRep(glm::vec3 p, float time, float lowFreq);
float inObj(glm::vec3 p, float time, float lowFreq);
// Depth-fog colour of a hit at distance D from the camera.
glm::vec4 fog(float D);
glm::vec4 shade(const TraceResult& result, glm::vec3 prp);
}

namespace NoisyBox {
extern const TraceParameters trace;            // same as the column
glm::vec3 cameraPosition(float time);
glm::vec3 drift(float time);                   // (sin 0.1t, sin 0.1t, cos 0.1t)
float bBox(glm::vec3 p, float lowFreq);
float opNoise(float d, glm::vec3 p, float time);
float inObj(glm::vec3 p, float time, float lowFreq);
glm::vec4 fog(float D);
glm::vec4 shade(const TraceResult& result, glm::vec3 prp);
}

namespace Credits {
// The warped noise value n at screen position p.
float warpedNoise(glm::vec2 p, float time);
// The cloud colour 2*g*col before the seam.
glm::vec3 cloudColour(glm::vec2 p, float time, float lowFreq);
// smoothstep(-0.3, 0.1, p.x): 0 for pure cloud, 1 for pure image.
float seam(float px);
float visibility(float rtime);
// Where the credits image is sampled for texture coordinate uv.
glm::vec2 creditCoordinate(glm::vec2 uv);
}

namespace Post {
glm::vec2 bend(glm::vec2 uv);                  // tc2
float scanLine(float uvY, float time);         // intensity, 0.85 to 1
float edgeFade(glm::vec2 tc2);
glm::vec3 tint(glm::vec3 c);                   // 0.75 c + 0.25 mean(c) colorBkgd
}

}  // namespace Blocks
}  // namespace Reference
