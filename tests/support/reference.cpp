#include "support/reference.h"

#include <cmath>
#include <stdexcept>
#include <string>

// Everything below must stay in 32-bit float, as on the GPU: a double literal
// or a silent promotion to double is an error here.
#pragma GCC diagnostic error "-Wdouble-promotion"
#pragma GCC diagnostic error "-Wfloat-conversion"

namespace Reference {

using glm::vec2;
using glm::vec3;
using glm::vec4;

// ---------------------------------------------------------------- images

vec4 Image::at(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height)
        throw std::out_of_range("pixel (" + std::to_string(x) + ", " + std::to_string(y) +
                                ") outside a " + std::to_string(width) + "x" +
                                std::to_string(height) + " image");
    return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
}

Image Image::fromRGBA8(int w, int h, const unsigned char* rgba)
{
    Image image;
    image.width = w;
    image.height = h;
    image.pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = vec4(rgba[4 * i], rgba[4 * i + 1], rgba[4 * i + 2], rgba[4 * i + 3]) / 255.0f;
    return image;
}

namespace {

// Texel i of a row or column of `size` texels, or -1 for the border.
int wrapIndex(int i, int size, Wrap wrap)
{
    if (wrap == Wrap::Repeat) {
        int m = i % size;
        return m < 0 ? m + size : m;
    }
    return (i < 0 || i >= size) ? -1 : i;
}

// Texel coordinate u (texel centres at integer + 0.5) and the two texels
// that linear filtering blends along one axis.
struct Axis {
    int i0, i1;
    float a;   // weight of i1
};

Axis axis(float s, int size, Wrap wrap)
{
    // GL_REPEAT uses the fractional part of the coordinate, GL_CLAMP clamps
    // it to [0, 1]; the texels beyond the edge then come from the border.
    s = wrap == Wrap::Repeat ? glm::fract(s) : glm::clamp(s, 0.0f, 1.0f);
    float u = s * static_cast<float>(size) - 0.5f;
    float i = glm::floor(u);
    int i0 = static_cast<int>(i);
    return {wrapIndex(i0, size, wrap), wrapIndex(i0 + 1, size, wrap), u - i};
}

vec4 texel(const Image& image, int x, int y)
{
    if (x < 0 || y < 0)
        return vec4(0.0f);   // border colour
    return image.pixels[static_cast<size_t>(y) * static_cast<size_t>(image.width) +
                        static_cast<size_t>(x)];
}

const Image& required(const Image* image, const char* name)
{
    if (image == nullptr || image->width <= 0 || image->height <= 0)
        throw std::invalid_argument(std::string("no image for ") + name);
    return *image;
}

}  // namespace

vec4 sample(const Image& image, vec2 uv, Wrap wrap)
{
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<size_t>(image.width) * static_cast<size_t>(image.height))
        throw std::invalid_argument("sampling an empty or inconsistent image");
    Axis x = axis(uv.x, image.width, wrap);
    Axis y = axis(uv.y, image.height, wrap);
    vec4 bottom = glm::mix(texel(image, x.i0, y.i0), texel(image, x.i1, y.i0), x.a);
    vec4 top = glm::mix(texel(image, x.i0, y.i1), texel(image, x.i1, y.i1), x.a);
    return glm::mix(bottom, top, y.a);
}

Image render(Program program, int width, int height, const Uniforms& uniforms)
{
    Image image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            vec2 uv((static_cast<float>(x) + 0.5f) / static_cast<float>(width),
                    (static_cast<float>(y) + 0.5f) / static_cast<float>(height));
            image.pixels[static_cast<size_t>(y) * static_cast<size_t>(width) +
                         static_cast<size_t>(x)] = program(uv, uniforms);
        }
    return image;
}

glm::u8vec4 toRGBA8(vec4 colour)
{
    glm::u8vec4 out;
    for (int i = 0; i < 4; ++i) {
        float c = colour[i];
        c = std::isnan(c) ? 0.0f : glm::clamp(c, 0.0f, 1.0f);
        out[i] = static_cast<glm::u8>(c * 255.0f + 0.5f);
    }
    return out;
}

Image quantised(const Image& image)
{
    Image out = image;
    for (vec4& pixel : out.pixels)
        pixel = vec4(toRGBA8(pixel)) / 255.0f;
    return out;
}

// ---------------------------------------------------------------- blocks

namespace Blocks {

vec2 screenPosition(vec2 uv)
{
    return uv * 2.0f - 1.0f;
}

float hash(float n)
{
    return glm::fract(glm::sin(n) * 43758.5453f);
}

float noise(vec3 x)
{
    vec3 cell = glm::floor(x);
    vec3 f = glm::fract(x);
    f = f * f * (3.0f - 2.0f * f);
    float n = cell.x + 57.0f * cell.y + 113.0f * cell.z;
    float x00 = glm::mix(hash(n + 0.0f), hash(n + 1.0f), f.x);
    float x10 = glm::mix(hash(n + 57.0f), hash(n + 58.0f), f.x);
    float x01 = glm::mix(hash(n + 113.0f), hash(n + 114.0f), f.x);
    float x11 = glm::mix(hash(n + 170.0f), hash(n + 171.0f), f.x);
    return glm::mix(glm::mix(x00, x10, f.y), glm::mix(x01, x11, f.y), f.z);
}

float noise(vec2 x)
{
    vec2 cell = glm::floor(x);
    vec2 f = glm::fract(x);
    f = f * f * (3.0f - 2.0f * f);
    float n = cell.x + 57.0f * cell.y;
    return glm::mix(glm::mix(hash(n), hash(n + 1.0f), f.x),
                    glm::mix(hash(n + 57.0f), hash(n + 58.0f), f.x), f.y);
}

glm::mat3 octaveMatrix3()
{
    return glm::mat3(vec3(0.00f, 0.80f, 0.60f),
                     vec3(-0.80f, 0.36f, -0.48f),
                     vec3(-0.60f, -0.48f, 0.64f));
}

glm::mat2 octaveMatrix2()
{
    return glm::mat2(vec2(0.10f, 0.60f), vec2(-0.60f, 1.00f));
}

float fbm6(vec3 p)
{
    const glm::mat3 m = octaveMatrix3();
    float f = 0.5000f * noise(p);
    p = m * p * 2.02f;
    f += 0.2500f * noise(p);
    p = m * p * 2.03f;
    f += 0.1250f * noise(p);
    p = m * p * 2.01f;
    f += 0.0625f * noise(p);
    p = m * p * 2.04f;
    f += 0.0312f * noise(p);
    p = m * p * 2.022f;
    f += 0.0206f * noise(p);
    return f;
}

float fbm4(vec3 p)
{
    const glm::mat3 m = octaveMatrix3();
    float f = 0.5000f * noise(p);
    p = m * p * 2.02f;
    f += 0.2500f * noise(p);
    p = m * p * 2.03f;
    f += 0.1250f * noise(p);
    p = m * p * 2.01f;
    f += 0.0625f * noise(p);
    return f;
}

float fbm4(vec2 p, float time)
{
    const glm::mat2 m = octaveMatrix2();
    float f = 0.5000f * noise(p);
    p = m * p * 2.02f + time;
    f += 0.2500f * noise(p);
    p = m * p * 2.03f + time;
    f += 0.1250f * noise(p);
    p = m * p * 2.01f + time;
    f += 0.0625f * noise(p);
    return f;
}

Camera lookAt(vec3 prp)
{
    const vec3 vrp(0.0f, 1.0f, 0.0f);
    const vec3 vuv(0.0f, 1.0f, 0.0f);
    Camera camera;
    camera.prp = prp;
    camera.vpn = glm::normalize(vrp - prp);
    camera.u = glm::normalize(glm::cross(vuv, camera.vpn));
    camera.v = glm::cross(camera.vpn, camera.u);
    return camera;
}

vec3 rayDirection(const Camera& camera, vec2 p)
{
    vec3 centre = camera.prp + camera.vpn;
    vec3 point = centre + p.x * 1.77f * camera.u + p.y * camera.v;
    return glm::normalize(point - camera.prp);
}

TraceResult sphereTrace(vec3 prp, vec3 scp, const TraceParameters& parameters,
                        const DistanceFunction& d)
{
    TraceResult r{1.0f, parameters.s0, prp, 0};
    for (int i = 0; i < parameters.limit; ++i) {
        if (glm::abs(r.s) < parameters.epsilon || r.f > parameters.maxd)
            break;
        r.f += parameters.k * r.s;
        r.q = prp + scp * r.f;
        r.s = d(r.q);
        ++r.steps;
    }
    return r;
}

float sphere(vec3 q, float r)
{
    return glm::length(q) - r;
}

float box(vec3 q, float halfSize)
{
    return glm::length(glm::max(glm::abs(q) - halfSize, 0.0f));
}

vec3 repetition(vec3 q, float c)
{
    return glm::mod(q, c) - 0.75f;
}

vec3 twist(vec3 q, float time)
{
    float a = 0.2f * q.y + time;
    float c = glm::cos(a);
    float s = glm::sin(a);
    return vec3(c * q.x + s * q.z, -s * q.x + c * q.z, q.y);
}

// ------------------------------------------------------- volumetric cloud

namespace Cloud {

namespace {
const int volumeSteps = 64;
const float stepSize = 0.05f;
const float density = 0.0088f;
const float sphereRadius = 1.0f;
const float noiseFreq = 3.0f;
const float noiseAmp = 3.0f;
const vec4 c0(0.5f, 0.5f, 0.5f, 0.5f);
const vec4 c1(0.9f, 0.9f, 0.9f, 0.9f);
const vec4 c2(0.0f, 0.0f, 0.0f, 0.2f);
const vec4 c3(0.2f, 0.2f, 0.2f, 0.2f);
const vec4 tintColour(0.5f, 0.38f, 0.9f, 1.0f);

vec3 noiseAnim(float time)
{
    float s = glm::sin(0.1f * time);
    return vec3(s, s, glm::cos(0.1f * time));
}
}  // namespace

vec3 cameraPosition(float time)
{
    float rotx = 4.0f + glm::sin(time);
    float roty = 4.0f + glm::cos(time);
    return -2.0f * glm::normalize(vec3(glm::cos(roty), glm::cos(rotx), glm::sin(roty)));
}

vec3 rayDirection(float time, vec2 p)
{
    vec3 ro = cameraPosition(time);
    vec3 ww = glm::normalize(vec3(0.0f) - ro);
    vec3 uu = glm::normalize(glm::cross(vec3(0.0f, 1.0f, 0.0f), ww));
    vec3 vv = glm::normalize(glm::cross(ww, uu));
    return glm::normalize(p.x * uu + p.y * vv + 1.5f * ww);
}

float field(vec3 q, float time, float lowFreq)
{
    vec3 qq = q - vec3(0.0f, 0.5f, 0.0f);
    float a = glm::length(qq) - sphereRadius + lowFreq;
    float b = glm::length(glm::max(glm::abs(qq), 3.0f) - 1.0f);
    float n = fbm6(qq / noiseFreq + noiseAnim(time) * time * 0.01f);
    return glm::max(a * n * noiseAmp, b * n * noiseAmp);
}

vec4 sampleColour(float v, float time, float lowFreq)
{
    float x = glm::clamp(glm::sin(v + time) / 2.0f, 0.0f, 0.999f);
    float t = glm::fract(x * 4.0f * lowFreq * 0.5f);
    vec4 c;
    if (x < 0.25f)
        c = glm::mix(c0, c1, t);
    else if (x < 0.5f)
        c = glm::mix(c1, c2, t);
    else
        c = glm::mix(c2, c3, t);
    return (c / 2.0f + 2.0f * c) * tintColour;
}

vec4 march(vec3 ro, vec3 rd, float time, float lowFreq)
{
    vec3 start = ro + 2.0f * rd;
    vec4 sum(0.0f);
    for (int i = 0; i < volumeSteps; ++i) {
        vec3 q = start + static_cast<float>(i) * stepSize * rd;
        vec4 col = sampleColour(field(q, time, lowFreq), time, lowFreq);
        col.a *= density;
        col = vec4(vec3(col) * col.a, col.a);
        sum += col * (1.0f - sum.a);
    }
    return sum;
}

}  // namespace Cloud

// ---------------------------------------------------- sphere-box lattice

namespace Lattice {

const TraceParameters trace{0.2f, 1.0f, 13, 0.001f, 120.0f};

vec3 cameraPosition(float time)
{
    return vec3(4.0f * glm::sin(time / 2.0f), 2.0f * glm::sin(time), 4.0f * glm::cos(time / 2.0f));
}

float bBox(vec3 p, float lowFreq)
{
    vec3 q = repetition(p, 1.2f);
    float d1 = box(q, 0.25f + 0.9f * lowFreq);
    float d2 = sphere(p, 1.5f);
    return glm::max(d1, d2) - 0.1f;
}

float inbBox(vec3 p, float lowFreq)
{
    float d1 = box(p, 3.0f + 0.9f * lowFreq);
    float d2 = sphere(p, 4.0f);
    return glm::max(d1, -d2);
}

float boxTwist(vec3 p, float time, float lowFreq)
{
    vec3 q = twist(p, time);
    return glm::min(inbBox(q / 1.2f, lowFreq) * 1.2f, bBox(q / 1.2f, lowFreq) * 1.2f);
}

float boxRep(vec3 p)
{
    return box(repetition(p, 1.5f), 0.25f);
}

float inObj(vec3 p, float time, float lowFreq)
{
    return glm::max(boxTwist(p / 0.9f, time, lowFreq) * 0.9f, boxRep(p / 0.5f) * 0.5f);
}

vec4 shade(const TraceResult& result)
{
    if (result.f < trace.maxd)
        return vec4(result.s * (vec3(0.15f, 0.28f, 0.4f) * 2.0f), 1.0f);
    return vec4(0.0f);
}

}  // namespace Lattice

// -------------------------------------------------------- twisted column

namespace Column {

const TraceParameters trace{0.1f, 0.6f, 16, 0.0000002f, 60.0f};

vec3 cameraPosition()
{
    return vec3(1.0f, 5.0f, 1.0f);
}

float cylinder(vec3 p, vec3 c)
{
    return glm::length(vec2(p.x, p.y) - vec2(c.x, c.z)) - c.y;
}

float boxRep(vec3 p, float time, float lowFreq)
{
    vec3 q = repetition(p, 1.5f);
    float offset = glm::sin(time) - 0.5f;
    q.y += offset;
    q.z += offset;
    return box(q, 0.25f - 0.5f * lowFreq);
}

float inObj(vec3 p, float time, float lowFreq)
{
    float column = cylinder(twist(p, time) / 0.9f, vec3(1.5f, 1.5f, 5.5f)) * 0.9f;
    return glm::max(column, boxRep(p / 0.5f, time, lowFreq) * 0.5f);
}

vec4 fog(float D)
{
    return vec4(vec3(1.0f) - D * vec3(0.3f, 0.28f, 0.1f) / 5.0f, 1.0f);
}

vec4 shade(const TraceResult& result, vec3 prp)
{
    if (result.f < trace.maxd)
        return fog(glm::distance(prp, result.q));
    return vec4(0.0f, 0.0f, 0.0f, 1.0f);
}

}  // namespace Column

// ------------------------------------------------------ noisy sphere-box

namespace NoisyBox {

const TraceParameters trace{0.1f, 0.6f, 16, 0.0000002f, 60.0f};

vec3 cameraPosition(float time)
{
    return vec3(4.0f * glm::sin(time), 2.0f * glm::sin(time) - 1.0f, 4.0f * glm::cos(time));
}

vec3 drift(float time)
{
    float s = glm::sin(0.1f * time);
    return vec3(s, s, glm::cos(0.1f * time));
}

float bBox(vec3 p, float lowFreq)
{
    vec3 q = repetition(p, 1.2f);
    float d1 = box(q, 0.25f + 0.9f * lowFreq);
    float d2 = sphere(p, 2.5f);
    return glm::max(d1, d2) - 0.1f;
}

float opNoise(float d, vec3 p, float time)
{
    float n = fbm4(p / 2.0f + drift(time) * time * 0.01f);
    return d * n * 2.0f;
}

float inObj(vec3 p, float time, float lowFreq)
{
    return opNoise(bBox(p, lowFreq), p, time);
}

vec4 fog(float D)
{
    return vec4(vec3(1.0f) - D * vec3(0.38f, 0.38f, 0.1f) / 5.0f, 1.0f);
}

vec4 shade(const TraceResult& result, vec3 prp)
{
    if (result.f < trace.maxd)
        return fog(glm::distance(prp, result.q));
    return vec4(0.0f, 0.0f, 0.0f, 1.0f);
}

}  // namespace NoisyBox

// ----------------------------------------------------- cloud and credits

namespace Credits {

float warpedNoise(vec2 p, float time)
{
    vec2 p3 = p * 3.0f;
    float a = fbm4(p3, time);
    float b = fbm4(p3 + a, time);
    return fbm4(p3 + b, time);
}

vec3 cloudColour(vec2 p, float time, float lowFreq)
{
    float n = warpedNoise(p, time);
    vec3 col = n * (vec3(0.2f, 0.4f, 0.5f) * 2.9f);
    float g = n * lowFreq + 0.1f;
    return 2.0f * g * col;
}

float seam(float px)
{
    return glm::smoothstep(-0.3f, 0.1f, px);
}

float visibility(float rtime)
{
    return glm::smoothstep(65.75f, 67.75f, rtime) * (1.0f - glm::smoothstep(76.9f, 78.9f, rtime));
}

vec2 creditCoordinate(vec2 uv)
{
    return uv * 1.1f - vec2(0.1f, 0.1f);
}

}  // namespace Credits

// ------------------------------------------------------------ post pass

namespace Post {

vec2 bend(vec2 uv)
{
    float kx = 1.05f - 0.2f * glm::sin(3.14f * uv.y);
    float ky = 1.05f - 0.2f * glm::sin(3.14f * uv.x);
    return vec2((2.0f * uv.x - 1.0f) * kx * 0.5f + 0.5f, (2.0f * uv.y - 1.0f) * ky * 0.5f + 0.5f);
}

float scanLine(float uvY, float time)
{
    return 0.85f + 0.15f * (0.5f + 0.5f * glm::sin(640.0f * uvY - 10.0f * time));
}

float edgeFade(vec2 tc2)
{
    return glm::smoothstep(0.0f, 0.1f, tc2.x) * (1.0f - glm::smoothstep(0.9f, 1.0f, tc2.x)) *
           glm::smoothstep(0.0f, 0.1f, tc2.y) * (1.0f - glm::smoothstep(0.9f, 1.0f, tc2.y));
}

vec3 tint(vec3 c)
{
    float a = (c.r + c.g + c.b) / 3.0f;
    return 0.75f * c + 0.25f * a * vec3(0.2f, 0.6f, 0.15f);
}

}  // namespace Post

}  // namespace Blocks

// -------------------------------------------------------------- programs

vec4 cloud(vec2 uv, const Uniforms& u)
{
    vec2 p = Blocks::screenPosition(uv);
    vec3 ro = Blocks::Cloud::cameraPosition(u.time);
    vec3 rd = Blocks::Cloud::rayDirection(u.time, p);
    vec4 sum = Blocks::Cloud::march(ro, rd, u.time, u.lowFreq);
    return sum * glm::distance(uv, vec2(0.5f, 0.5f));
}

vec4 lattice(vec2 uv, const Uniforms& u)
{
    using namespace Blocks;
    Camera camera = lookAt(Lattice::cameraPosition(u.time));
    vec3 scp = rayDirection(camera, screenPosition(uv));
    const float time = u.time, lowFreq = u.lowFreq;
    TraceResult r = sphereTrace(camera.prp, scp, Lattice::trace,
                                [time, lowFreq](vec3 q) { return Lattice::inObj(q, time, lowFreq); });
    return Lattice::shade(r);
}

vec4 credits(vec2 uv, const Uniforms& u)
{
    using namespace Blocks;
    const Image& blue = required(u.blue, "blue_img");
    const Image& credit = required(u.credit, "credit");
    vec2 p = screenPosition(uv);
    vec3 cloudRgb = Credits::cloudColour(p, u.time, u.lowFreq);
    float s = Credits::seam(p.x);
    float w = 1.0f - s;
    // The cloud, weighted by w, mixed over the image by the same w.
    vec3 b = vec3(sample(blue, uv, Wrap::Repeat));
    vec3 r = glm::mix(b, cloudRgb * w, w);
    vec4 c = sample(credit, Credits::creditCoordinate(uv), Wrap::Repeat);
    c.a *= Credits::visibility(u.rtime);
    return vec4(r * (1.0f - c.a) + vec3(c) * c.a, 1.0f);
}

vec4 column(vec2 uv, const Uniforms& u)
{
    using namespace Blocks;
    Camera camera = lookAt(Column::cameraPosition());
    vec3 scp = rayDirection(camera, screenPosition(uv));
    const float time = u.time, lowFreq = u.lowFreq;
    TraceResult r = sphereTrace(camera.prp, scp, Column::trace,
                                [time, lowFreq](vec3 q) { return Column::inObj(q, time, lowFreq); });
    return Column::shade(r, camera.prp);
}

vec4 noisyBox(vec2 uv, const Uniforms& u)
{
    using namespace Blocks;
    Camera camera = lookAt(NoisyBox::cameraPosition(u.time));
    vec3 scp = rayDirection(camera, screenPosition(uv));
    const float time = u.time, lowFreq = u.lowFreq;
    TraceResult r = sphereTrace(camera.prp, scp, NoisyBox::trace,
                                [time, lowFreq](vec3 q) { return NoisyBox::inObj(q, time, lowFreq); });
    return NoisyBox::shade(r, camera.prp);
}

vec4 post(vec2 uv, const Uniforms& u)
{
    using namespace Blocks;
    const Image& scene = required(u.rt0, "rt0");
    const Image& lyrics = required(u.rt1, "rt1");
    vec2 tc2 = Post::bend(uv);
    float intensity = Post::scanLine(uv.y, u.time);
    float o = 0.1f * u.bass;
    float red = sample(scene, tc2 + vec2(o, 0.0f), Wrap::Clamp).r;
    float green = sample(scene, tc2, Wrap::Clamp).g;
    float blue = sample(scene, tc2 - vec2(o, 0.0f), Wrap::Clamp).b;
    vec3 c = vec3(red, green, blue) * intensity;
    vec3 f = Post::tint(c) * Post::edgeFade(tc2);
    vec3 b = f * (1.0f - u.white) + vec3(1.0f) * u.white;
    vec4 l = sample(lyrics, uv, Wrap::Repeat);
    return vec4(b, 1.0f) * (1.0f - l.a) + l * l.a;
}

}  // namespace Reference
