#include "math/matrix.h"
#include "math/random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using Bx::Matrix4;
using Bx::Vec3;
using Bx::Vec4;

namespace {

// A matrix with m[n] = n.
Matrix4 counting() {
    Matrix4 m;
    for (int n = 0; n < 16; ++n) m.set(n / 4, n % 4, float(n));
    return m;
}

void expectElements(const Matrix4& m, const float* expected) {
    for (int n = 0; n < 16; ++n) EXPECT_FLOAT_EQ(m.elements()[n], expected[n]) << "m[" << n << "]";
}

void expectVec3(const Vec3& v, float x, float y, float z) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

} // namespace

TEST(Matrix4Product, CombinesEachGroupOfFourOfAWithEachGroupOfFourOfB) {
    // With B[1] = 1 alone, P[4i + k] = A[4i + 1] for k = 0 and 0 elsewhere.
    Matrix4 b = counting() - counting();
    b.set(0, 1, 1.0f);
    const float expected[16] = {1, 0, 0, 0, 5, 0, 0, 0, 9, 0, 0, 0, 13, 0, 0, 0};
    expectElements(counting() * b, expected);
    Matrix4 a = counting();
    a *= b;
    expectElements(a, expected);
    // A matrix multiplied by itself reads its own elements only before
    // writing any.
    Matrix4 self = counting();
    self *= self;
    Matrix4 other = counting();
    expectElements(self, (counting() * other).elements());
    EXPECT_FLOAT_EQ(self.at(0, 0), 0 * 0 + 1 * 1 + 2 * 2 + 3 * 3);
    EXPECT_FLOAT_EQ(self.at(1, 2), 4 * 8 + 5 * 9 + 6 * 10 + 7 * 11);
}

TEST(Matrix4Product, SumsDifferencesAndTheVectorProduct) {
    Matrix4 twice = counting() + counting();
    Matrix4 none = counting() - counting();
    for (int n = 0; n < 16; ++n) {
        EXPECT_FLOAT_EQ(twice.elements()[n], 2.0f * n);
        EXPECT_FLOAT_EQ(none.elements()[n], 0.0f);
    }
    Matrix4 m = counting();
    m -= Matrix4();
    EXPECT_FLOAT_EQ(m.at(0, 0), -1.0f);
    EXPECT_FLOAT_EQ(m.at(1, 2), 6.0f);

    // r[i] = m[i] x + m[4 + i] y + m[8 + i] z + m[12 + i] w
    Vec4 r = counting() * Vec4{1, 2, 3, 4};
    EXPECT_FLOAT_EQ(r.x, 80);
    EXPECT_FLOAT_EQ(r.y, 90);
    EXPECT_FLOAT_EQ(r.z, 100);
    EXPECT_FLOAT_EQ(r.w, 110);
}

TEST(Matrix4Transforms, TranslationsAccumulateInElementsAndRecord) {
    Matrix4 m;
    m.translate(Vec3{1, 2, 3});
    expectVec3(m.getPosition(), 1, 2, 3);
    // identity (x) T is T transposed: the offsets land in m[3], m[7], m[11].
    const float once[16] = {1, 0, 0, 1, 0, 1, 0, 2, 0, 0, 1, 3, 0, 0, 0, 1};
    expectElements(m, once);
    m.translate(Vec3{1, 0, 0});
    expectVec3(m.getPosition(), 2, 2, 3);
    const float twice[16] = {1, 0, 0, 2, 0, 1, 0, 2, 0, 0, 1, 3, 0, 0, 0, 1};
    expectElements(m, twice);
    m.resetTranslation();
    expectVec3(m.getPosition(), 0, 0, 0);
    EXPECT_FLOAT_EQ(m.at(3, 0), 0.0f);
    EXPECT_FLOAT_EQ(m.at(0, 3), 2.0f); // only m[12], m[13], m[14] are cleared
    m.identity();
    expectVec3(m.getPosition(), 0, 0, 0);
    EXPECT_FLOAT_EQ(m.at(0, 3), 0.0f);
}

TEST(Matrix4Transforms, RotationsAndScalesWithTheirRecords) {
    const float a = 0.5f;
    Matrix4 m;
    m.rotateZ(a);
    expectVec3(m.getRotation(), 0, 0, a);
    EXPECT_FLOAT_EQ(m.at(0, 0), std::cos(a));
    EXPECT_FLOAT_EQ(m.at(0, 1), std::sin(a)); // R[4] = sin a, transposed
    EXPECT_FLOAT_EQ(m.at(1, 0), -std::sin(a));
    m.rotateX(0.25f);
    m.rotateY(-1.0f);
    m.rotateX(0.25f);
    expectVec3(m.getRotation(), 0.5f, -1.0f, a);
    m.identity();
    expectVec3(m.getRotation(), 0, 0, 0);

    Matrix4 s;
    s.translate(Vec3{4, 5, 6});
    s.rotateY(a);
    s.scale(Vec3{2, 3, 4});
    s.resetRotationScale();
    const float kept[16] = {1, 0, 0, s.at(0, 3), 0, 1, 0, s.at(1, 3), 0, 0, 1, s.at(2, 3),
                            s.at(3, 0), s.at(3, 1), s.at(3, 2), s.at(3, 3)};
    expectElements(s, kept);
    expectVec3(s.getRotation(), 0, 0, 0);
    expectVec3(s.getPosition(), 4, 5, 6);
}

TEST(Matrix4Access, DataTransposeAndCopies) {
    Matrix4 m;
    m.set(0, 1, 5.0f);
    const float* transposed = m.data(1);
    EXPECT_FLOAT_EQ(transposed[4], 5.0f);
    EXPECT_FLOAT_EQ(transposed[1], 0.0f);
    EXPECT_FLOAT_EQ(m.at(0, 1), 5.0f);
    EXPECT_FLOAT_EQ(m.at(1, 0), 0.0f);
    // Any other mode leaves the scratch as it was.
    m.set(2, 3, 7.0f);
    const float* again = m.data(2);
    EXPECT_EQ(again, transposed);
    EXPECT_FLOAT_EQ(again[4], 5.0f);
    EXPECT_FLOAT_EQ(again[11], 0.0f);
    EXPECT_FLOAT_EQ(m.data(0)[11], 7.0f);

    Matrix4 c = counting();
    c.transpose();
    EXPECT_FLOAT_EQ(c.at(0, 1), 4.0f);
    EXPECT_FLOAT_EQ(c.at(1, 0), 1.0f);
    EXPECT_FLOAT_EQ(c.at(3, 2), 11.0f);
    EXPECT_FLOAT_EQ(c.at(2, 2), 10.0f);

    // Copies take the elements, not the records.
    Matrix4 moved;
    moved.translate(Vec3{1, 2, 3});
    moved.rotateZ(1.0f);
    Matrix4 copy(moved);
    expectElements(copy, moved.elements());
    expectVec3(copy.getPosition(), 0, 0, 0);
    expectVec3(copy.getRotation(), 0, 0, 0);
    Matrix4 target;
    target.translate(Vec3{9, 9, 9});
    target = counting();
    expectElements(target, counting().elements());
    expectVec3(target.getPosition(), 9, 9, 9);
}

TEST(Matrix4Projection, OrthoPerspectiveAndLookAt) {
    Matrix4 m = counting();
    m.ortho(-1, 1, -1, 1, -1, 1);
    const float unit[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1};
    expectElements(m, unit);
    m.ortho(0, 640, 0, 400, 1, 3);
    EXPECT_FLOAT_EQ(m.at(0, 0), 2.0f / 640);
    EXPECT_FLOAT_EQ(m.at(1, 1), 2.0f / 400);
    EXPECT_FLOAT_EQ(m.at(2, 2), -1.0f);
    EXPECT_FLOAT_EQ(m.at(0, 3), -1.0f);
    EXPECT_FLOAT_EQ(m.at(1, 3), -1.0f);
    EXPECT_FLOAT_EQ(m.at(2, 3), -2.0f);

    uint32_t bits = 0;
    std::memcpy(&bits, &Matrix4::kDegreesToRadians, sizeof(bits));
    EXPECT_EQ(bits, 0x3C8EEABEu);
    Matrix4 p;
    p.translate(Vec3{1, 1, 1});
    p.perspective(45.0f, 2.0f, 1.0f, 3.0f);
    // 2 / tan(45 * 0.017445918), not cot(22.5 degrees) = 2.414...
    EXPECT_NEAR(p.at(1, 1), 2.0013279, 1e-5);
    EXPECT_NEAR(p.at(0, 0), 1.0006639, 1e-5);
    EXPECT_FLOAT_EQ(p.at(2, 2), -2.0f);
    EXPECT_FLOAT_EQ(p.at(2, 3), -3.0f);
    EXPECT_FLOAT_EQ(p.at(3, 2), -1.0f);
    EXPECT_FLOAT_EQ(p.at(3, 3), 0.0f);
    EXPECT_FLOAT_EQ(p.at(0, 3), 0.0f);
    expectVec3(p.getPosition(), 0, 0, 0);

    Matrix4 view;
    view.translate(Vec3{1, 1, 1});
    view.lookAt(Vec3{3, 0, 4}, Vec3{0, 0, 0}, Vec3{0, 1, 0});
    const float expected[16] = {0.8f, 0, -0.6f, 0, 0, 1, 0, 0, 0.6f, 0, 0.8f, -5, 0, 0, 0, 1};
    for (int n = 0; n < 16; ++n) EXPECT_NEAR(view.elements()[n], expected[n], 1e-6) << n;
    expectVec3(view.getPosition(), 1, 1, 1); // lookAt writes the elements only
}

TEST(Random, FollowsTheFixedSequenceWithWrapAround) {
    ASSERT_EQ(Bx::randomSeed(), 0x0BADCAFE);
    const int32_t seeds[3] = {-1091966542, -286415586, 871584914};
    const double values[3] = {-0.508487, -0.133373, 0.405863};
    for (int i = 0; i < 3; ++i) {
        double v = Bx::nextRandom();
        EXPECT_EQ(Bx::randomSeed(), seeds[i]);
        EXPECT_NEAR(v, values[i], 1e-6);
        EXPECT_EQ(v, seeds[i] / 2147483648.0);
    }
    for (int i = 0; i < 10000; ++i) {
        double v = Bx::nextRandom();
        ASSERT_GE(v, -1.0);
        ASSERT_LT(v, 1.0);
    }
}

TEST(Vectors, NormalizeKeepsAZeroVectorZero) {
    expectVec3(Bx::normalize(Vec3{0, 3, 4}), 0, 0.6f, 0.8f);
    expectVec3(Bx::normalize(Vec3{0, 0, 0}), 0, 0, 0);
    expectVec3(Bx::cross(Vec3{1, 0, 0}, Vec3{0, 1, 0}), 0, 0, 1);
}
