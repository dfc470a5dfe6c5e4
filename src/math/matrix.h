#pragma once
// A 4x4 float matrix that accumulates translations, scalings and rotations,
// and can be loaded with orthographic, perspective and look-at matrices.
//
// Elements are m[0] to m[15], at(i, j) = m[4i + j]. The one product used
// throughout is P = A (x) B with P[4i + k] = sum over j of A[4i + j] * B[4k + j].

#include "math/vector.h"

namespace Bx {

class Matrix4 {
public:
    // The identity.
    Matrix4();
    // Copying transfers the 16 elements only: a copy starts with empty
    // position and rotation records, and assignment keeps the target's.
    Matrix4(const Matrix4& other);
    Matrix4& operator=(const Matrix4& other);

    // Identity elements; position and rotation records cleared.
    void identity();
    // The upper-left 3x3 block becomes the identity; rotation record cleared.
    void resetRotationScale();
    // m[12], m[13], m[14] cleared; position record cleared.
    void resetTranslation();

    // m = m (x) T, T the identity with the vector in m[12..14]; the vector is
    // added to the position record.
    void translate(const Vec3& v);
    // m = m (x) S, S the identity with the vector on the diagonal.
    void scale(const Vec3& v);
    // m = m (x) R for a rotation by `angle` radians about x, y or z; the
    // angle is added to the rotation record.
    void rotateX(float angle);
    void rotateY(float angle);
    void rotateZ(float angle);

    Matrix4& operator*=(const Matrix4& b);
    Matrix4& operator+=(const Matrix4& b);
    Matrix4& operator-=(const Matrix4& b);
    Matrix4 operator*(const Matrix4& b) const;
    Matrix4 operator+(const Matrix4& b) const;
    Matrix4 operator-(const Matrix4& b) const;
    // r[i] = m[i] x + m[4 + i] y + m[8 + i] z + m[12 + i] w.
    Vec4 operator*(const Vec4& v) const;

    float at(int i, int j) const { return m_elements[4 * i + j]; }
    void set(int i, int j, float value) { m_elements[4 * i + j] = value; }
    const float* elements() const { return m_elements; }

    void transpose();
    // Copies the elements into a scratch array and returns it: mode 0 as
    // they are, mode 1 transposed; any other mode leaves the scratch as it
    // was. The matrix itself is unchanged.
    const float* data(int mode);

    Vec3 getPosition() const { return m_position; }
    Vec3 getRotation() const { return m_rotation; }

    void ortho(float left, float right, float bottom, float top, float nearPlane, float farPlane);
    // fovy in degrees, converted with the factor 0.017445918 (the float with
    // bits 0x3C8EEABE); the focal scale is 2 / tan of the whole angle.
    void perspective(float fovy, float aspect, float nearPlane, float farPlane);
    // Writes the 16 elements of a view matrix looking from `eye` at `centre`;
    // the records are left alone.
    void lookAt(const Vec3& eye, const Vec3& centre, const Vec3& up);

    // The float used by perspective() to turn degrees into radians.
    static constexpr float kDegreesToRadians = 0x1.1DD57Cp-6f;

private:
    void multiply(const float* b);

    float m_elements[16];
    float m_scratch[16];
    Vec3 m_position;
    Vec3 m_rotation;
};

} // namespace Bx
