#include "math/matrix.h"

#include <cmath>
#include <cstring>
#include <utility>

namespace Bx {

namespace {

void loadIdentity(float* m) {
    for (int n = 0; n < 16; ++n) m[n] = (n % 5 == 0) ? 1.0f : 0.0f;
}

// p = a (x) b, into a temporary first so that p may be a or b.
void product(float* p, const float* a, const float* b) {
    float result[16];
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k) {
            double sum = 0.0;
            for (int j = 0; j < 4; ++j) sum += double(a[4 * i + j]) * double(b[4 * k + j]);
            result[4 * i + k] = float(sum);
        }
    std::memcpy(p, result, sizeof(result));
}

} // namespace

// 0.017445918, the float with bits 0x3C8EEABE: slightly less than pi / 180.
constexpr float Matrix4::kDegreesToRadians;

Vec3 normalize(const Vec3& v) {
    const double length = std::sqrt(double(v.x) * v.x + double(v.y) * v.y + double(v.z) * v.z);
    if (length == 0.0) return Vec3{0.0f, 0.0f, 0.0f};
    return Vec3{float(v.x / length), float(v.y / length), float(v.z / length)};
}

Matrix4::Matrix4() : m_scratch{}, m_position{0, 0, 0}, m_rotation{0, 0, 0} { identity(); }

Matrix4::Matrix4(const Matrix4& other) : m_scratch{}, m_position{0, 0, 0}, m_rotation{0, 0, 0} {
    std::memcpy(m_elements, other.m_elements, sizeof(m_elements));
}

Matrix4& Matrix4::operator=(const Matrix4& other) {
    std::memmove(m_elements, other.m_elements, sizeof(m_elements));
    return *this;
}

void Matrix4::identity() {
    loadIdentity(m_elements);
    m_position = Vec3{0, 0, 0};
    m_rotation = Vec3{0, 0, 0};
}

void Matrix4::resetRotationScale() {
    m_elements[0] = m_elements[5] = m_elements[10] = 1.0f;
    m_elements[1] = m_elements[2] = m_elements[4] = 0.0f;
    m_elements[6] = m_elements[8] = m_elements[9] = 0.0f;
    m_rotation = Vec3{0, 0, 0};
}

void Matrix4::resetTranslation() {
    m_elements[12] = m_elements[13] = m_elements[14] = 0.0f;
    m_position = Vec3{0, 0, 0};
}

void Matrix4::multiply(const float* b) { product(m_elements, m_elements, b); }

void Matrix4::translate(const Vec3& v) {
    float t[16];
    loadIdentity(t);
    t[12] = v.x;
    t[13] = v.y;
    t[14] = v.z;
    m_position += v;
    multiply(t);
}

void Matrix4::scale(const Vec3& v) {
    float s[16];
    loadIdentity(s);
    s[0] = v.x;
    s[5] = v.y;
    s[10] = v.z;
    multiply(s);
}

void Matrix4::rotateX(float angle) {
    float r[16];
    loadIdentity(r);
    const float c = float(std::cos(double(angle))), s = float(std::sin(double(angle)));
    r[5] = c;
    r[6] = -s;
    r[9] = s;
    r[10] = c;
    m_rotation.x += angle;
    multiply(r);
}

void Matrix4::rotateY(float angle) {
    float r[16];
    loadIdentity(r);
    const float c = float(std::cos(double(angle))), s = float(std::sin(double(angle)));
    r[0] = c;
    r[2] = -s;
    r[8] = s;
    r[10] = c;
    m_rotation.y += angle;
    multiply(r);
}

void Matrix4::rotateZ(float angle) {
    float r[16];
    loadIdentity(r);
    const float c = float(std::cos(double(angle))), s = float(std::sin(double(angle)));
    r[0] = c;
    r[1] = -s;
    r[4] = s;
    r[5] = c;
    m_rotation.z += angle;
    multiply(r);
}

Matrix4& Matrix4::operator*=(const Matrix4& b) {
    multiply(b.m_elements);
    return *this;
}

Matrix4& Matrix4::operator+=(const Matrix4& b) {
    for (int n = 0; n < 16; ++n) m_elements[n] += b.m_elements[n];
    return *this;
}

Matrix4& Matrix4::operator-=(const Matrix4& b) {
    for (int n = 0; n < 16; ++n) m_elements[n] -= b.m_elements[n];
    return *this;
}

Matrix4 Matrix4::operator*(const Matrix4& b) const {
    Matrix4 result;
    product(result.m_elements, m_elements, b.m_elements);
    return result;
}

Matrix4 Matrix4::operator+(const Matrix4& b) const {
    Matrix4 result;
    for (int n = 0; n < 16; ++n) result.m_elements[n] = m_elements[n] + b.m_elements[n];
    return result;
}

Matrix4 Matrix4::operator-(const Matrix4& b) const {
    Matrix4 result;
    for (int n = 0; n < 16; ++n) result.m_elements[n] = m_elements[n] - b.m_elements[n];
    return result;
}

Vec4 Matrix4::operator*(const Vec4& v) const {
    float r[4];
    for (int i = 0; i < 4; ++i)
        r[i] = float(double(m_elements[i]) * v.x + double(m_elements[4 + i]) * v.y +
                     double(m_elements[8 + i]) * v.z + double(m_elements[12 + i]) * v.w);
    return Vec4{r[0], r[1], r[2], r[3]};
}

void Matrix4::transpose() {
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j) std::swap(m_elements[4 * i + j], m_elements[4 * j + i]);
}

const float* Matrix4::data(int mode) {
    if (mode == 0) {
        std::memcpy(m_scratch, m_elements, sizeof(m_scratch));
    } else if (mode == 1) {
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) m_scratch[4 * i + j] = m_elements[4 * j + i];
    }
    return m_scratch;
}

void Matrix4::ortho(float left, float right, float bottom, float top, float nearPlane,
                    float farPlane) {
    identity();
    m_elements[0] = 2.0f / (right - left);
    m_elements[5] = 2.0f / (top - bottom);
    m_elements[10] = -2.0f / (farPlane - nearPlane);
    m_elements[3] = (left + right) / (left - right);
    m_elements[7] = (bottom + top) / (bottom - top);
    m_elements[11] = (nearPlane + farPlane) / (nearPlane - farPlane);
}

void Matrix4::perspective(float fovy, float aspect, float nearPlane, float farPlane) {
    identity();
    const double s = 2.0 / std::tan(double(fovy * kDegreesToRadians));
    m_elements[0] = float(s / aspect);
    m_elements[5] = float(s);
    m_elements[10] = (farPlane + nearPlane) / (nearPlane - farPlane);
    m_elements[11] = 2.0f * farPlane * nearPlane / (nearPlane - farPlane);
    m_elements[14] = -1.0f;
    m_elements[15] = 0.0f;
}

void Matrix4::lookAt(const Vec3& eye, const Vec3& centre, const Vec3& up) {
    const Vec3 f = normalize(eye - centre);
    const Vec3 s = normalize(cross(up, f));
    const Vec3 u = cross(f, s);
    const Vec3 rows[3] = {s, u, f};
    for (int i = 0; i < 3; ++i) {
        m_elements[4 * i + 0] = rows[i].x;
        m_elements[4 * i + 1] = rows[i].y;
        m_elements[4 * i + 2] = rows[i].z;
        m_elements[4 * i + 3] = -dot(rows[i], eye);
    }
    m_elements[12] = m_elements[13] = m_elements[14] = 0.0f;
    m_elements[15] = 1.0f;
}

} // namespace Bx
