// Checks of the CPU reference of the scene programs against values worked out
// by hand, so that the image comparisons rest on a sound reference.

#include "support/reference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

using namespace Reference;
using namespace Reference::Blocks;
using glm::vec2;
using glm::vec3;
using glm::vec4;

namespace {

const float kPi = 3.14159265f;

#define EXPECT_VEC_NEAR(actual, expected, tolerance)                                   \
    do {                                                                               \
        auto a_ = (actual);                                                            \
        auto e_ = (expected);                                                          \
        for (int i_ = 0; i_ < a_.length(); ++i_)                                       \
            EXPECT_NEAR(a_[i_], e_[i_], (tolerance)) << "component " << i_ << " of " #actual; \
    } while (0)

// A w x h image whose pixel (x, y) is (x, y, x + 10y, 1).
Image coordinateImage(int w, int h)
{
    Image image;
    image.width = w;
    image.height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.pixels.push_back(vec4(float(x), float(y), float(x + 10 * y), 1.0f));
    return image;
}

Image uniformImage(int w, int h, vec4 colour)
{
    Image image;
    image.width = w;
    image.height = h;
    image.pixels.assign(size_t(w) * size_t(h), colour);
    return image;
}

// Opaque, with a different colour in every texel.
Image patternImage(int w, int h)
{
    Image image;
    image.width = w;
    image.height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.pixels.push_back(vec4(float(x) / float(w), float(y) / float(h),
                                        float((x * 7 + y * 3) % 11) / 11.0f, 1.0f));
    return image;
}

// Left half pure `left`, right half pure `right`.
Image splitImage(int w, int h, vec4 left, vec4 right)
{
    Image image;
    image.width = w;
    image.height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.pixels.push_back(x < w / 2 ? left : right);
    return image;
}

}  // namespace

// ------------------------------------------------------------ images

TEST(ReferenceImage, BytesLoadBottomRowFirstAndOutOfRangePixelsThrow)
{
    const unsigned char bytes[] = {255, 0, 0, 255,    0, 255, 0, 255,
                                   0, 0, 255, 255,    51, 102, 153, 0};
    Image image = Image::fromRGBA8(2, 2, bytes);
    EXPECT_VEC_NEAR(image.at(0, 0), vec4(1, 0, 0, 1), 0.0f);
    EXPECT_VEC_NEAR(image.at(1, 0), vec4(0, 1, 0, 1), 0.0f);
    EXPECT_VEC_NEAR(image.at(0, 1), vec4(0, 0, 1, 1), 0.0f);
    EXPECT_VEC_NEAR(image.at(1, 1), vec4(0.2f, 0.4f, 0.6f, 0.0f), 1e-7f);
    EXPECT_THROW(image.at(2, 0), std::out_of_range);
    EXPECT_THROW(image.at(0, -1), std::out_of_range);
    EXPECT_THROW(sample(Image(), vec2(0.5f), Wrap::Repeat), std::invalid_argument);
}

TEST(ReferenceImage, LinearSamplingHitsTexelCentresAndBlendsBetweenThem)
{
    Image image = coordinateImage(4, 2);
    for (Wrap wrap : {Wrap::Repeat, Wrap::Clamp}) {
        EXPECT_VEC_NEAR(sample(image, vec2(0.375f, 0.25f), wrap), vec4(1, 0, 1, 1), 1e-6f);
        EXPECT_VEC_NEAR(sample(image, vec2(0.875f, 0.75f), wrap), vec4(3, 1, 13, 1), 1e-6f);
        // Halfway between four texel centres.
        EXPECT_VEC_NEAR(sample(image, vec2(0.5f, 0.5f), wrap), vec4(1.5f, 0.5f, 6.5f, 1), 1e-6f);
        // A quarter of the way from texel 0 to texel 1.
        EXPECT_VEC_NEAR(sample(image, vec2(0.1875f, 0.25f), wrap), vec4(0.25f, 0, 0.25f, 1), 1e-6f);
    }
}

TEST(ReferenceImage, RepeatWrapsAcrossTheEdgesAndClampBlendsWithTransparentBlack)
{
    Image image = coordinateImage(4, 2);
    // Repeat: the left edge lies halfway between the last and the first texel.
    EXPECT_VEC_NEAR(sample(image, vec2(0.0f, 0.25f), Wrap::Repeat), vec4(1.5f, 0, 1.5f, 1), 1e-6f);
    EXPECT_VEC_NEAR(sample(image, vec2(-0.125f, 0.25f), Wrap::Repeat),
                    sample(image, vec2(0.875f, 0.25f), Wrap::Repeat), 1e-6f);
    EXPECT_VEC_NEAR(sample(image, vec2(2.375f, -0.75f), Wrap::Repeat), vec4(1, 0, 1, 1), 1e-5f);
    // Clamp: at and beyond an edge half the border colour comes in, alpha included.
    EXPECT_VEC_NEAR(sample(image, vec2(0.0f, 0.25f), Wrap::Clamp), vec4(0, 0, 0, 0.5f), 1e-6f);
    EXPECT_VEC_NEAR(sample(image, vec2(-3.0f, 0.25f), Wrap::Clamp), vec4(0, 0, 0, 0.5f), 1e-6f);
    EXPECT_VEC_NEAR(sample(image, vec2(1.05f, 0.25f), Wrap::Clamp), vec4(1.5f, 0, 1.5f, 0.5f), 1e-6f);
    // A corner blends three border texels with one texel.
    EXPECT_VEC_NEAR(sample(image, vec2(1.0f, 1.0f), Wrap::Clamp), vec4(0.75f, 0.25f, 3.25f, 0.25f), 1e-6f);
}

TEST(ReferenceOutput, RenderVisitsPixelCentresFromTheBottomRowAndStoringClampsAndRounds)
{
    Image image = render([](vec2 uv, const Uniforms&) { return vec4(uv, 0.0f, 1.0f); }, 4, 2, Uniforms());
    ASSERT_EQ(image.pixels.size(), 8u);
    EXPECT_VEC_NEAR(image.at(0, 0), vec4(0.125f, 0.25f, 0, 1), 0.0f);
    EXPECT_VEC_NEAR(image.at(3, 1), vec4(0.875f, 0.75f, 0, 1), 0.0f);
    EXPECT_VEC_NEAR(image.pixels[1], vec4(0.375f, 0.25f, 0, 1), 0.0f);

    EXPECT_EQ(toRGBA8(vec4(-0.5f, 0.2f, 1.5f, 2.0f / 255.0f)), glm::u8vec4(0, 51, 255, 2));
    EXPECT_EQ(toRGBA8(vec4(NAN, 0.5f, 0.998f, 1.0f)), glm::u8vec4(0, 128, 254, 255));
    EXPECT_EQ(quantised(image).at(3, 1), vec4(toRGBA8(image.at(3, 1))) / 255.0f);
}

// ------------------------------------------------------------ blocks

TEST(ReferenceBlocks, HashAndNoiseTakeTheirCornersFromTheCellNumber)
{
    EXPECT_EQ(hash(0.0f), 0.0f);
    for (float n : {1.0f, 4.0f, 57.0f, 171.0f, -3.0f, 454.0f}) {   // sin(4) and sin(-3) are negative
        EXPECT_GE(hash(n), 0.0f) << n;
        EXPECT_LT(hash(n), 1.0f) << n;
    }
    // At lattice points the noise is the corner value hash(x + 57y + 113z).
    EXPECT_EQ(noise(vec3(1, 2, 3)), hash(454.0f));
    EXPECT_EQ(noise(vec3(0, 1, 0)), hash(57.0f));
    EXPECT_EQ(noise(vec3(0, 0, 1)), hash(113.0f));
    EXPECT_EQ(noise(vec3(1, 1, 1)), hash(171.0f));
    EXPECT_EQ(noise(vec2(1, 1)), hash(58.0f));
    // In between, the fraction is smoothed by f*f*(3 - 2f): 0.25 -> 0.15625.
    EXPECT_NEAR(noise(vec3(0.5f, 0, 0)), 0.5f * hash(1.0f), 1e-6f);
    EXPECT_NEAR(noise(vec3(0.25f, 0, 0)), 0.15625f * hash(1.0f), 1e-6f);
    EXPECT_NEAR(noise(vec3(0, 0, 0.25f)), 0.15625f * hash(113.0f), 1e-6f);
    EXPECT_NEAR(noise(vec2(0, 0.5f)), 0.5f * hash(57.0f), 1e-6f);
    // The origin is a zero of every octave, so of every fractal sum.
    EXPECT_EQ(fbm6(vec3(0.0f)), 0.0f);
    EXPECT_EQ(fbm4(vec3(0.0f)), 0.0f);
    EXPECT_EQ(fbm4(vec2(0.0f), 0.0f), 0.0f);
}

// The fractal sums written out from the expanded octave transforms (matrices by columns).
TEST(ReferenceBlocks, FractalSumsWeighAndTransformTheirOctaves)
{
    auto m3 = [](vec3 p) {
        return vec3(-0.80f * p.y - 0.60f * p.z, 0.80f * p.x + 0.36f * p.y - 0.48f * p.z,
                    0.60f * p.x - 0.48f * p.y + 0.64f * p.z);
    };
    auto m2 = [](vec2 p) { return vec2(0.10f * p.x - 0.60f * p.y, 0.60f * p.x + 1.00f * p.y); };
    const float weights[] = {0.5f, 0.25f, 0.125f, 0.0625f, 0.0312f, 0.0206f};
    const float scales[] = {2.02f, 2.03f, 2.01f, 2.04f, 2.022f};
    for (vec3 start : {vec3(0.3f, -1.7f, 2.2f), vec3(5.5f, 0.25f, -0.8f), vec3(-0.2f, 0.1f, 0.45f)}) {
        float six = 0, four = 0;
        vec3 p = start;
        for (int i = 0; i < 6; ++i) {
            const float n = noise(p);
            six += weights[i] * n;
            if (i < 4)
                four += weights[i] * n;
            if (i < 5)
                p = m3(p) * scales[i];
        }
        EXPECT_NEAR(fbm6(start), six, 1e-5f);
        EXPECT_NEAR(fbm4(start), four, 1e-5f);

        const float time = start.z * 10.0f;
        float flat = 0;
        vec2 q(start.x, start.y);
        for (int i = 0; i < 4; ++i) {
            flat += weights[i] * noise(q);
            if (i < 3)
                q = m2(q) * scales[i] + vec2(time);
        }
        EXPECT_NEAR(fbm4(vec2(start.x, start.y), time), flat, 1e-5f);
    }
}

TEST(ReferenceBlocks, RepetitionWrapsNegativeCoordinatesAndTwistKeepsItsComponentOrder)
{
    EXPECT_VEC_NEAR(repetition(vec3(-0.1f, 1.6f, 3.0f), 1.5f), vec3(0.65f, -0.65f, -0.75f), 1e-6f);
    EXPECT_NEAR(repetition(vec3(-0.1f), 1.2f).x, 0.35f, 1e-6f);
    // Angle 0.2*y + time: zero here, so x and z pass unrotated, old y goes last.
    EXPECT_VEC_NEAR(twist(vec3(1, 2, 3), -0.4f), vec3(1, 3, 2), 1e-6f);
    // Quarter turn: (c x + s z, -s x + c z, y) with c = 0, s = 1.
    EXPECT_VEC_NEAR(twist(vec3(1, 2, 3), kPi / 2 - 0.4f), vec3(3, -1, 2), 1e-5f);
    EXPECT_NEAR(box(vec3(0.3f, 0, 0), 0.25f), 0.05f, 1e-6f);
    EXPECT_EQ(box(vec3(0.1f, -0.2f, 0.2f), 0.25f), 0.0f);
    EXPECT_NEAR(sphere(vec3(0, 3, 4), 1.5f), 3.5f, 1e-6f);
}

TEST(ReferenceBlocks, LookAtCameraCentreRayAndHandedness)
{
    // The lattice camera at time 0 stands at (0, 0, 4); at time pi it has gone a quarter round.
    EXPECT_VEC_NEAR(Lattice::cameraPosition(0.0f), vec3(0, 0, 4), 1e-6f);
    EXPECT_VEC_NEAR(Lattice::cameraPosition(kPi), vec3(4, 0, 0), 1e-5f);
    EXPECT_VEC_NEAR(NoisyBox::cameraPosition(0.0f), vec3(0, -1, 4), 1e-6f);
    EXPECT_VEC_NEAR(NoisyBox::cameraPosition(kPi / 2), vec3(4, 1, 0), 1e-5f);

    Camera camera = lookAt(vec3(0, 0, 4));
    const float r17 = std::sqrt(17.0f);
    EXPECT_VEC_NEAR(camera.vpn, vec3(0, 1 / r17, -4 / r17), 1e-6f);
    EXPECT_VEC_NEAR(rayDirection(camera, screenPosition(vec2(0.5f, 0.5f))), camera.vpn, 1e-6f);
    // cross(up, vpn) then cross(vpn, u): screen right looks towards -x, screen up towards +y.
    EXPECT_VEC_NEAR(camera.u, vec3(-1, 0, 0), 1e-6f);
    EXPECT_VEC_NEAR(camera.v, vec3(0, 4 / r17, 1 / r17), 1e-6f);
    EXPECT_VEC_NEAR(rayDirection(camera, screenPosition(vec2(1.0f, 0.5f))),
                    glm::normalize(vec3(-1.77f, 1 / r17, -4 / r17)), 1e-6f);
    EXPECT_VEC_NEAR(rayDirection(camera, screenPosition(vec2(0.5f, 0.0f))),
                    glm::normalize(vec3(0, 1 / r17, -4 / r17) - vec3(0, 4 / r17, 1 / r17)), 1e-6f);
}

TEST(ReferenceBlocks, SphereTracingStepsStopsAndRunsOut)
{
    const vec3 prp(0, 0, 10), down(0, 0, -1);
    auto plane = [](vec3 q) { return q.z; };
    // k = 1: the first step lands at f = 1.2, the next one on the plane.
    TraceResult r = sphereTrace(prp, down, Lattice::trace, plane);
    EXPECT_EQ(r.steps, 2);
    EXPECT_NEAR(r.f, 10.0f, 1e-5f);
    EXPECT_NEAR(r.s, 0.0f, 1e-5f);
    // Constant distance 1: all 13 steps run, f = 1.2 + 12.
    r = sphereTrace(prp, down, Lattice::trace, [](vec3) { return 1.0f; });
    EXPECT_EQ(r.steps, 13);
    EXPECT_NEAR(r.f, 13.2f, 1e-5f);
    EXPECT_VEC_NEAR(r.q, vec3(0, 0, 10 - 13.2f), 1e-5f);
    // A jump past maxd ends the loop at once and counts as background.
    r = sphereTrace(prp, down, Lattice::trace, [](vec3) { return 100.0f; });
    EXPECT_EQ(r.steps, 3);
    EXPECT_NEAR(r.f, 201.2f, 1e-3f);
    EXPECT_EQ(Lattice::shade(r), vec4(0.0f));
    // k = 0.6: the first point lies at 1.06 and 16 shortened steps stop just short of the plane.
    TraceParameters one = Column::trace;
    one.limit = 1;
    EXPECT_NEAR(sphereTrace(prp, down, one, plane).f, 1.06f, 1e-6f);
    r = sphereTrace(prp, down, Column::trace, plane);
    EXPECT_EQ(r.steps, 16);
    EXPECT_LT(r.f, 10.0f);
    EXPECT_NEAR(r.f, 10.0f, 1e-4f);
    EXPECT_EQ(toRGBA8(Column::shade(r, prp)), toRGBA8(vec4(0.4f, 0.44f, 0.8f, 1.0f)));
}

// ------------------------------------------------------------ scenes

TEST(ReferenceLattice, DistancesOfTheHollowedBoxBallAndLattice)
{
    // The hollowed box: solid rim and corners, holes of radius sqrt(7) in the faces.
    EXPECT_NEAR(Lattice::inbBox(vec3(0.0f), 0.0f), 4.0f, 1e-6f);
    EXPECT_NEAR(Lattice::inbBox(vec3(3, 0, 0), 0.0f), 1.0f, 1e-6f);
    EXPECT_EQ(Lattice::inbBox(vec3(3, 2.7f, 0), 0.0f), 0.0f);
    EXPECT_EQ(Lattice::inbBox(vec3(3, 3, 3), 0.0f), 0.0f);
    EXPECT_NEAR(Lattice::inbBox(vec3(3, 2.6f, 0), 0.0f), 4.0f - std::sqrt(9 + 2.6f * 2.6f), 1e-5f);
    EXPECT_NEAR(Lattice::inbBox(vec3(3.5f, 3.5f, 0), 0.0f), std::sqrt(0.5f), 1e-6f);
    EXPECT_EQ(Lattice::inbBox(vec3(3.5f, 3.5f, 0), 1.0f), 0.0f);   // the box grows to 3.9
    // The ball of boxes: repetition offset 0.75 with period 1.2, ball radius 1.5.
    EXPECT_NEAR(Lattice::bBox(vec3(0.0f), 0.0f), std::sqrt(0.75f) - 0.1f, 1e-6f);
    EXPECT_NEAR(Lattice::bBox(vec3(0.0f), 1.0f), -0.1f, 1e-6f);          // boxes grow to 1.15
    EXPECT_NEAR(Lattice::bBox(vec3(3, 0, 0), 0.0f), 1.4f, 1e-6f);
    EXPECT_NEAR(Lattice::boxRep(vec3(0.0f)), std::sqrt(0.75f), 1e-6f);
    // The scene: twisted parts scaled by 1.2 inside 0.9, cut by the lattice at 0.5.
    EXPECT_NEAR(Lattice::inObj(vec3(0.0f), 0.0f, 0.0f), 0.9f * 1.2f * (std::sqrt(0.75f) - 0.1f), 1e-6f);
    EXPECT_NEAR(Lattice::boxTwist(vec3(3.6f, 0, 0), 0.0f, 0.0f), 1.2f, 1e-5f);
    EXPECT_NEAR(Lattice::inObj(vec3(3.24f, 0, 0), 0.0f, 0.0f), 1.08f, 1e-5f);
}

TEST(ReferenceLattice, ColourIsTheRemainingDistanceTimesLightBlue)
{
    EXPECT_EQ(toRGBA8(Lattice::shade({5.0f, 2.0f, vec3(0.0f), 13})), glm::u8vec4(153, 255, 255, 255));
    EXPECT_EQ(toRGBA8(Lattice::shade({5.0f, 3.4f, vec3(0.0f), 13})), glm::u8vec4(255, 255, 255, 255));
    EXPECT_EQ(toRGBA8(Lattice::shade({5.0f, 0.0009f, vec3(0.0f), 4})), glm::u8vec4(0, 0, 0, 255));
    EXPECT_EQ(toRGBA8(Lattice::shade({5.0f, -0.5f, vec3(0.0f), 13})), glm::u8vec4(0, 0, 0, 255));
    EXPECT_VEC_NEAR(Lattice::shade({119.0f, 1.0f, vec3(0.0f), 13}), vec4(0.3f, 0.56f, 0.8f, 1.0f), 1e-6f);
    EXPECT_EQ(Lattice::shade({120.0f, 1.0f, vec3(0.0f), 13}), vec4(0.0f));
}

TEST(ReferenceColumn, CylinderLatticeAndTwistedColumnDistances)
{
    const vec3 c(1.5f, 1.5f, 5.5f);
    EXPECT_NEAR(Column::cylinder(vec3(1.5f, 5.5f, 7), c), -1.5f, 1e-6f);
    EXPECT_NEAR(Column::cylinder(vec3(4.5f, 5.5f, -2), c), 1.5f, 1e-6f);
    EXPECT_NEAR(Column::cylinder(vec3(1.5f, 1.5f, 0), c), 2.5f, 1e-6f);
    // Lattice offset sin(time) - 0.5 on y and z; lowFreq 0.6 gives half-size -0.05.
    const float inPoint = std::sqrt(3 * 0.05f * 0.05f);
    EXPECT_NEAR(Column::boxRep(vec3(0.75f, 1.25f, 1.25f), 0.0f, 0.6f), inPoint, 1e-5f);
    EXPECT_NEAR(Column::boxRep(vec3(0.75f, 0.25f, 0.25f), kPi / 2, 0.6f), inPoint, 1e-5f);
    EXPECT_NEAR(Column::boxRep(vec3(0.75f, 1.25f, 1.25f), kPi / 2, 0.6f),
                std::sqrt(0.05f * 0.05f + 2 * 1.05f * 1.05f), 1e-5f);
    EXPECT_EQ(Column::boxRep(vec3(0.75f, 1.25f, 1.25f), 0.0f, 0.0f), 0.0f);
    // Twist first, then scale: 3 world units right of the axis, the column's
    // surface is 3 - 1.35 away, at time 0 and a quarter turn later.
    EXPECT_NEAR(Column::inObj(vec3(4.35f, 0, 4.95f), 0.0f, 0.0f), 1.65f, 1e-5f);
    EXPECT_NEAR(Column::inObj(vec3(-4.95f, 0, 4.35f), kPi / 2, 0.0f), 1.65f, 1e-4f);
    // At height 5 the twist angle is 1: the same spot, turned back by one radian.
    const float c1 = std::cos(1.0f), s1 = std::sin(1.0f);
    EXPECT_NEAR(Column::inObj(vec3(c1 * 4.35f - s1 * 4.95f, 5, s1 * 4.35f + c1 * 4.95f), 0.0f, 0.0f),
                1.65f, 1e-4f);
}

TEST(ReferenceColumn, DepthFogColours)
{
    EXPECT_VEC_NEAR(Column::fog(10.0f), vec4(0.4f, 0.44f, 0.8f, 1.0f), 1e-6f);
    EXPECT_EQ(toRGBA8(Column::fog(50.0f)), glm::u8vec4(0, 0, 0, 255));
    EXPECT_NEAR(Column::fog(1.0f / 0.06f).r, 0.0f, 1e-6f);
    EXPECT_EQ(Column::shade({60.0f, 1.0f, vec3(0.0f), 16}, Column::cameraPosition()), vec4(0, 0, 0, 1));
    // The distance comes from the point reached.
    const vec3 prp = Column::cameraPosition();
    EXPECT_VEC_NEAR(Column::shade({10.0f, 0.5f, prp + vec3(0, -6, 8), 16}, prp),
                    vec4(0.4f, 0.44f, 0.8f, 1.0f), 1e-6f);
}

TEST(ReferenceNoisyBox, NoiseScaledBallAndFog)
{
    // At time 0 the drift is zero and the origin is a zero of the noise sum.
    EXPECT_EQ(NoisyBox::inObj(vec3(0.0f), 0.0f, 0.0f), 0.0f);
    EXPECT_EQ(NoisyBox::inObj(vec3(0.0f), 0.0f, 1.0f), 0.0f);
    EXPECT_NE(NoisyBox::inObj(vec3(0.0f), 5.0f, 0.0f), 0.0f);
    // Ball radius 2.5: at (3, 0, 0) the boxes decide, not the sphere.
    EXPECT_NEAR(NoisyBox::bBox(vec3(3, 0, 0), 0.0f), std::sqrt(0.5f) - 0.1f, 1e-6f);
    EXPECT_NEAR(NoisyBox::bBox(vec3(0.0f), 0.0f), std::sqrt(0.75f) - 0.1f, 1e-6f);
    for (float x : {0.3f, 1.7f, 2.9f}) {
        float n = NoisyBox::opNoise(1.0f, vec3(x, 0.4f, -1.1f), 3.0f);
        EXPECT_GE(n, 0.0f);
        EXPECT_LT(n, 1.875f);
    }
    EXPECT_VEC_NEAR(NoisyBox::fog(10.0f), vec4(0.24f, 0.24f, 0.8f, 1.0f), 1e-6f);
    EXPECT_NEAR(NoisyBox::fog(1.0f / 0.076f).g, 0.0f, 1e-6f);
    EXPECT_EQ(NoisyBox::shade({61.0f, 1.0f, vec3(0.0f), 16}, vec3(0.0f)), vec4(0, 0, 0, 1));
}

TEST(ReferenceCloud, SampleColoursFollowTheGradientBands)
{
    const vec4 firstKey(0.625f, 0.475f, 1.125f, 1.25f);    // 2.5 * c0 * tint
    for (float lowFreq : {0.0f, 0.4f, 1.0f}) {
        SCOPED_TRACE(lowFreq);
        EXPECT_VEC_NEAR(Cloud::sampleColour(-1.0f, 0.0f, lowFreq), firstKey, 1e-6f);
    }
    // With lowFreq 0 a band shows its first key: c1 for x in [0.25, 0.5).
    const float x03 = std::asin(0.6f);   // sin/2 = 0.3
    EXPECT_VEC_NEAR(Cloud::sampleColour(x03, 0.0f, 0.0f), vec4(1.125f, 0.855f, 2.025f, 2.25f), 1e-5f);
    EXPECT_VEC_NEAR(Cloud::sampleColour(x03 - 2.0f, 2.0f, 0.0f), vec4(1.125f, 0.855f, 2.025f, 2.25f), 1e-5f);
    // t = fract(2 x lowFreq): x 0.3 -> mix(c1, c2, 0.6); x 0.2 -> mix(c0, c1, 0.4).
    const vec4 tint(0.5f, 0.38f, 0.9f, 1.0f);
    EXPECT_VEC_NEAR(Cloud::sampleColour(x03, 0.0f, 1.0f), 2.5f * vec4(0.36f, 0.36f, 0.36f, 0.48f) * tint, 1e-5f);
    EXPECT_VEC_NEAR(Cloud::sampleColour(std::asin(0.4f), 0.0f, 1.0f), 2.5f * vec4(0.66f) * tint, 1e-5f);
    // A sine of exactly 1 takes the last band.
    EXPECT_VEC_NEAR(Cloud::sampleColour(kPi / 2, 0.0f, 0.0f), vec4(0, 0, 0, 0.5f), 1e-6f);
}

TEST(ReferenceCloud, FieldTakesTheLargerOfTheSphereAndCubeTermsTimesOneNoiseValue)
{
    // Inside the cube of half-size 3 around (0, 0.5, 0) the cube term is sqrt(12)
    // and wins; the noise is read at the shifted point divided by 3.
    for (vec3 q : {vec3(0, 0.5f, 0), vec3(1.2f, -0.7f, 2.0f), vec3(-2.9f, 0.9f, 0.3f)}) {
        const float n = fbm6((q - vec3(0, 0.5f, 0)) / 3.0f);
        for (float lowFreq : {0.0f, 1.0f})
            EXPECT_NEAR(Cloud::field(q, 0.0f, lowFreq), 3.0f * std::sqrt(12.0f) * n, 1e-5f);
    }
    // Far out on x the sphere term |q'| - 1 + lowFreq wins: 6 - 1 + 1 against sqrt(33).
    EXPECT_NEAR(Cloud::field(vec3(6, 0.5f, 0), 0.0f, 1.0f), 3.0f * 6.0f * fbm6(vec3(2, 0, 0)), 1e-5f);
    EXPECT_NEAR(Cloud::field(vec3(6, 0.5f, 0), 0.0f, 0.0f),
                3.0f * std::sqrt(33.0f) * fbm6(vec3(2, 0, 0)), 1e-5f);
    // The noise drifts along (sin 0.1t, sin 0.1t, cos 0.1t) * t * 0.01.
    const vec3 q(0.4f, 0.9f, -1.0f);
    const vec3 drift = vec3(std::sin(1.0f), std::sin(1.0f), std::cos(1.0f)) * 0.1f;
    EXPECT_NEAR(Cloud::field(q, 10.0f, 0.5f),
                3.0f * std::sqrt(12.0f) * fbm6((q - vec3(0, 0.5f, 0)) / 3.0f + drift), 1e-5f);
}

TEST(ReferenceCloud, CameraRaysAndTheScreenFactor)
{
    for (float time : {0.0f, 1.3f, 4.0f}) {
        const vec3 ro = Cloud::cameraPosition(time);
        EXPECT_NEAR(glm::length(ro), 2.0f, 1e-6f);
        const vec3 ww = -ro / 2.0f;
        EXPECT_VEC_NEAR(Cloud::rayDirection(time, vec2(0.0f)), ww, 1e-6f);
        // Focal length 1.5 in both directions, right along cross(up, forward).
        const vec3 right = Cloud::rayDirection(time, vec2(1, 0));
        const vec3 up = Cloud::rayDirection(time, vec2(0, 1));
        EXPECT_NEAR(glm::dot(right, ww), 1.5f / std::sqrt(3.25f), 1e-6f);
        EXPECT_NEAR(glm::dot(up, ww), 1.5f / std::sqrt(3.25f), 1e-6f);
        EXPECT_GT(glm::dot(right, glm::cross(vec3(0, 1, 0), ww)), 0.0f);
        EXPECT_GT(up.y - ww.y, 0.0f);
    }
    EXPECT_VEC_NEAR(Cloud::cameraPosition(0.0f),
                    -2.0f * glm::normalize(vec3(std::cos(5.0f), std::cos(4.0f), std::sin(5.0f))), 1e-6f);

    Uniforms u;
    u.time = 2.0f;
    u.lowFreq = 0.7f;
    EXPECT_EQ(cloud(vec2(0.5f, 0.5f), u), vec4(0.0f));
    // Brightest towards the corners; the opacity never reaches 1 - (1 - 0.0198)^64.
    Image image = render(cloud, 8, 6, u);
    float corners = 0, centre = 0;
    for (vec2 c : {vec2(0, 0), vec2(7, 0), vec2(0, 5), vec2(7, 5)})
        corners += image.at(int(c.x), int(c.y)).a;
    for (vec2 c : {vec2(3, 2), vec2(4, 2), vec2(3, 3), vec2(4, 3)})
        centre += image.at(int(c.x), int(c.y)).a;
    EXPECT_GT(corners, 3 * centre);
    const float maxAlpha = 1.0f - std::pow(1.0f - 0.0198f, 64.0f);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            vec2 uv((x + 0.5f) / 8, (y + 0.5f) / 6);
            // Colours are weighted by their opacity: the sum stays within the
            // brightest sample colour (2.5 * c1 * tint) times the opacity.
            const vec4 pixel = image.at(x, y);
            EXPECT_GT(pixel.a, 0.0f);
            EXPECT_LE(pixel.r, 1.125f * pixel.a + 1e-6f);
            EXPECT_LE(pixel.g, 0.855f * pixel.a + 1e-6f);
            EXPECT_LE(pixel.b, 2.025f * pixel.a + 1e-6f);
            EXPECT_GT(pixel.b, 0.0f);
            EXPECT_LE(image.at(x, y).a, maxAlpha * glm::distance(uv, vec2(0.5f)) + 1e-6f);
        }
}

TEST(ReferenceCredits, VisibilityPlacementAndSeam)
{
    EXPECT_EQ(Credits::visibility(65.75f), 0.0f);
    EXPECT_NEAR(Credits::visibility(66.75f), 0.5f, 1e-6f);
    EXPECT_EQ(Credits::visibility(70.0f), 1.0f);
    EXPECT_NEAR(Credits::visibility(77.9f), 0.5f, 1e-4f);
    EXPECT_EQ(Credits::visibility(78.9f), 0.0f);
    EXPECT_EQ(Credits::visibility(90.0f), 0.0f);
    EXPECT_VEC_NEAR(Credits::creditCoordinate(vec2(0.05f, 0.5f)), vec2(-0.045f, 0.45f), 1e-6f);

    const Image blue = patternImage(16, 10);
    const Image credit = patternImage(12, 8);
    Uniforms u;
    u.time = 60.0f;
    u.lowFreq = 0.8f;
    u.rtime = 50.0f;
    u.blue = &blue;
    u.credit = &credit;
    // Right of the seam only the image shows.
    for (vec2 uv : {vec2(0.55f, 0.3f), vec2(0.8f, 0.9f), vec2(0.97f, 0.05f)})
        EXPECT_VEC_NEAR(credits(uv, u), vec4(vec3(sample(blue, uv, Wrap::Repeat)), 1.0f), 1e-6f);
    // Mid-seam: half the image, a quarter of the cloud.
    const vec2 mid(0.45f, 0.6f);
    EXPECT_VEC_NEAR(vec3(credits(mid, u)),
                    0.5f * vec3(sample(blue, mid, Wrap::Repeat)) +
                        0.25f * Credits::cloudColour(screenPosition(mid), u.time, u.lowFreq), 1e-5f);
    // Fully opaque credits at full visibility replace the picture; the strip
    // on the left shows the image's right edge.
    u.rtime = 70.0f;
    EXPECT_VEC_NEAR(credits(vec2(0.05f, 0.5f), u),
                    vec4(vec3(sample(credit, vec2(0.955f, 0.45f), Wrap::Repeat)), 1.0f), 1e-5f);
    EXPECT_VEC_NEAR(credits(vec2(0.8f, 0.8f), u),
                    vec4(vec3(sample(credit, vec2(0.78f, 0.78f), Wrap::Repeat)), 1.0f), 1e-5f);
    // Before and after the window no trace; at 66.75 half of it.
    u.rtime = 50.0f;
    const vec4 bare = credits(vec2(0.3f, 0.7f), u);
    for (float rtime : {65.75f, 78.9f}) {
        u.rtime = rtime;
        EXPECT_EQ(credits(vec2(0.3f, 0.7f), u), bare) << rtime;
    }
    u.rtime = 66.75f;
    EXPECT_VEC_NEAR(vec3(credits(vec2(0.3f, 0.7f), u)),
                    0.5f * vec3(bare) + 0.5f * vec3(sample(credit, vec2(0.23f, 0.67f), Wrap::Repeat)), 1e-5f);
}

TEST(ReferenceCredits, CloudColourAndBrightnessFollowTheWarpedNoise)
{
    const Image blue = uniformImage(4, 4, vec4(1.0f));
    const Image credit = uniformImage(4, 4, vec4(1.0f));
    Uniforms u;
    u.time = 61.5f;
    u.rtime = 50.0f;
    u.blue = &blue;
    u.credit = &credit;
    const vec2 uv(0.2f, 0.35f);   // p.x = -0.6: pure cloud
    const vec2 p3 = screenPosition(uv) * 3.0f;
    const float n = Credits::warpedNoise(screenPosition(uv), u.time);
    EXPECT_EQ(n, fbm4(p3 + fbm4(p3 + fbm4(p3, u.time), u.time), u.time));
    ASSERT_GT(n, 0.01f);
    // lowFreq 0: brightness floor 0.1, so 0.2 * n * (0.58, 1.16, 1.45).
    u.lowFreq = 0.0f;
    EXPECT_VEC_NEAR(credits(uv, u), vec4(0.2f * n * vec3(0.58f, 1.16f, 1.45f), 1.0f), 1e-5f);
    u.lowFreq = 1.0f;
    EXPECT_VEC_NEAR(credits(uv, u), vec4(2.0f * (n + 0.1f) * n * vec3(0.58f, 1.16f, 1.45f), 1.0f), 1e-5f);
    // The noise flows with the scene clock, not with the playback time.
    EXPECT_NE(Credits::warpedNoise(screenPosition(uv), 62.0f), n);
}

TEST(ReferencePost, CurvatureFadeTintAndScanLines)
{
    EXPECT_VEC_NEAR(Post::bend(vec2(0.5f)), vec2(0.5f), 1e-6f);
    EXPECT_VEC_NEAR(Post::bend(vec2(0.0f, 0.5f)), vec2(0.075f, 0.5f), 1e-6f);
    EXPECT_VEC_NEAR(Post::bend(vec2(0.0f)), vec2(-0.025f), 1e-6f);
    // The angle factor is 3.14, not pi: sin(3.14) leaves a trace at the far edges.
    EXPECT_VEC_NEAR(Post::bend(vec2(1.0f)), vec2(1.0248407f), 1e-6f);
    EXPECT_NEAR(Post::edgeFade(vec2(0.075f, 0.5f)), 0.84375f, 1e-5f);
    EXPECT_EQ(Post::edgeFade(vec2(-0.025f)), 0.0f);

    const Image grey = uniformImage(64, 40, vec4(0.6f, 0.6f, 0.6f, 1.0f));
    const Image clear = uniformImage(8, 8, vec4(0.0f));
    Uniforms u;
    u.time = 32.0f;    // 640 * 0.5 - 10 * 32 = 0: scan-line intensity 0.925 at mid-height
    u.rt0 = &grey;
    u.rt1 = &clear;
    const vec4 centre(0.6f * 0.925f * 0.8f, 0.6f * 0.925f * 0.9f, 0.6f * 0.925f * 0.7875f, 1.0f);
    EXPECT_VEC_NEAR(post(vec2(0.5f), u), centre, 1e-5f);
    EXPECT_VEC_NEAR(post(vec2(0.0f, 0.5f), u), vec4(vec3(centre) * 0.84375f, 1.0f), 1e-5f);
    EXPECT_VEC_NEAR(post(vec2(0.0f, 0.0f), u), vec4(0, 0, 0, 1), 1e-6f);
    EXPECT_NEAR(Post::scanLine(0.5f, 32.0f - kPi / 20), 1.0f, 1e-4f);
    EXPECT_NEAR(Post::scanLine(0.5f, 32.0f + kPi / 20), 0.85f, 1e-4f);
    // bass 1 at the right border: red comes from beyond the edge, half border black.
    u.bass = 1.0f;
    EXPECT_VEC_NEAR(post(vec2(1.0f, 0.5f), u), vec4(0.23125f * 0.84375f, 0.485625f * 0.84375f,
                                                     0.43359375f * 0.84375f, 1.0f), 1e-5f);
}

TEST(ReferencePost, ColourSplitSamplesRedRightAndBlueLeft)
{
    const Image clear = uniformImage(8, 8, vec4(0.0f));
    const Image redBlue = splitImage(10, 4, vec4(1, 0, 0, 1), vec4(0, 0, 1, 1));
    const Image blueRed = splitImage(10, 4, vec4(0, 0, 1, 1), vec4(1, 0, 0, 1));
    Uniforms u;
    u.time = 32.0f;
    u.bass = 1.0f;
    u.rt1 = &clear;
    u.rt0 = &redBlue;
    EXPECT_VEC_NEAR(post(vec2(0.5f), u), vec4(0, 0, 0, 1), 1e-6f);
    u.rt0 = &blueRed;
    EXPECT_VEC_NEAR(post(vec2(0.5f), u), vec4(0.724583f, 0.0925f, 0.716875f, 1.0f), 1e-5f);
    // Without bass all three channels come from the one texel pair at the centre.
    u.bass = 0.0f;
    const float half = 0.5f * 0.925f;
    const float mean = (half + half) / 3;
    EXPECT_VEC_NEAR(post(vec2(0.5f), u),
                    vec4(0.75f * half + 0.05f * mean, 0.15f * mean, 0.75f * half + 0.0375f * mean, 1.0f), 1e-5f);
}

TEST(ReferencePost, FlashAndLyricsOnTop)
{
    const Image grey = uniformImage(64, 40, vec4(0.6f, 0.6f, 0.6f, 1.0f));
    const Image clear = uniformImage(8, 8, vec4(0.0f));
    const Image opaque = patternImage(8, 8);
    const Image halfLyrics = uniformImage(8, 8, vec4(0.2f, 0.7f, 0.1f, 0.5f));
    Uniforms u;
    u.time = 7.0f;
    u.bass = 0.3f;
    u.rt0 = &grey;
    u.rt1 = &clear;
    u.white = 1.0f;
    for (vec2 uv : {vec2(0.0f), vec2(0.5f), vec2(1.0f, 0.0f), vec2(0.3f, 0.9f)})
        EXPECT_VEC_NEAR(post(uv, u), vec4(1.0f), 1e-6f);
    u.white = 0.5f;
    EXPECT_VEC_NEAR(post(vec2(0.0f), u), vec4(0.5f, 0.5f, 0.5f, 1.0f), 1e-6f);
    // Opaque lyrics show unchanged: no scan lines, tint, fade or flash.
    u.rt1 = &opaque;
    for (float white : {0.0f, 0.5f, 1.0f}) {
        u.white = white;
        for (vec2 uv : {vec2(0.0f), vec2(0.5f), vec2(0.2f, 0.9f), vec2(0.08f, 0.12f)})
            EXPECT_VEC_NEAR(post(uv, u), sample(opaque, uv, Wrap::Repeat), 1e-6f);
    }
    // Straight alpha: half the lyrics over the black corner, alpha 1 - a + a*a.
    u.white = 0.0f;
    u.rt1 = &halfLyrics;
    EXPECT_VEC_NEAR(post(vec2(0.0f), u), vec4(0.1f, 0.35f, 0.05f, 0.75f), 1e-6f);
    u.rt1 = nullptr;
    EXPECT_THROW(post(vec2(0.5f), u), std::invalid_argument);
}

TEST(ReferencePrograms, EveryProgramGivesFiniteColoursAcrossTheScreen)
{
    const Image blue = patternImage(16, 10);
    const Image credit = patternImage(12, 8);
    const Image clear = uniformImage(8, 8, vec4(0.0f));
    struct Case {
        const char* name;
        Program program;
    };
    const Case programs[] = {{"cloud", cloud},   {"lattice", lattice},   {"credits", credits},
                             {"column", column}, {"noisyBox", noisyBox}, {"post", post}};
    for (float time : {0.0f, 30.0f, 117.5f}) {
        for (float lowFreq : {0.0f, 0.6f, 1.0f}) {
            Uniforms u;
            u.time = time;
            u.lowFreq = lowFreq;
            u.bass = lowFreq;
            u.rtime = time;
            u.blue = &blue;
            u.credit = &credit;
            const Image scene = quantised(render(lattice, 12, 8, u));
            u.rt0 = &scene;
            u.rt1 = &clear;
            for (const Case& c : programs) {
                Image image = render(c.program, 6, 4, u);
                for (const vec4& pixel : image.pixels)
                    for (int i = 0; i < 4; ++i)
                        ASSERT_TRUE(std::isfinite(pixel[i]))
                            << c.name << " time " << time << " lowFreq " << lowFreq;
            }
        }
    }
}
