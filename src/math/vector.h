#pragma once
// Small float vectors.

namespace Bx {

struct Vec3 {
    float x, y, z;
};

struct Vec4 {
    float x, y, z, w;
};

inline Vec3 operator+(const Vec3& a, const Vec3& b) { return Vec3{a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(const Vec3& a, const Vec3& b) { return Vec3{a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3& operator+=(Vec3& a, const Vec3& b) { return a = a + b; }
inline float dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 cross(const Vec3& a, const Vec3& b) {
    return Vec3{a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
// The vector scaled to length 1. A zero vector has no direction and stays
// zero rather than turning into NaNs.
Vec3 normalize(const Vec3& v);

} // namespace Bx
