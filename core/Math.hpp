#pragma once
// Vectors, 4 x 4 matrices and 4.12 fixed point, in single precision.
// Row vectors on the left of row-major matrices (v' = v . M), translation in
// row 3; A . B applies A first. Each sum is bracketed as the comment beside its
// function shows: results must match bit for bit wherever they are computed.

#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "core/MathPlain.hpp"

struct kzoVector {
    float x, y, z, w;
};

struct kzoVector3 {
    float x, y, z;
};

// Texture coordinates: u in x, v in y.
struct kzoVector2 {
    float x, y;
};

// Element [r][c] is the (4r + c)-th float.
struct kzoMatrix {
    float m[4][4];

    float* operator[](int row) { return m[row]; }
    const float* operator[](int row) const { return m[row]; }
};

static_assert(sizeof(kzoVector) == 16 && sizeof(kzoVector3) == 12 && sizeof(kzoVector2) == 8);
static_assert(sizeof(kzoMatrix) == 64);

inline kzoVector kzoMakeVector(float x, float y, float z) { return {x, y, z, 1.0f}; }
inline kzoVector kzoMakeVector4(float x, float y, float z, float w) { return {x, y, z, w}; }

// All four components take part, w included: two points added give w = 2.
inline kzoVector kzoAddVector(const kzoVector& a, const kzoVector& b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z, a.w + b.w};
}

inline kzoVector kzoSubVector(const kzoVector& a, const kzoVector& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z, a.w - b.w};
}

inline kzoVector kzoNegVector(const kzoVector& a) { return {-a.x, -a.y, -a.z, -a.w}; }

inline float kzoDot4(const kzoVector& a, const kzoVector& b)
{
    return ((a.x * b.x + a.y * b.y) + a.z * b.z) + a.w * b.w;
}

inline float kzoDot3(const kzoVector& a, const kzoVector& b)
{
    return (a.x * b.x + a.y * b.y) + a.z * b.z;
}

inline float kzoLength4(const kzoVector& a) { return std::sqrt(((a.x * a.x + a.y * a.y) + a.z * a.z) + a.w * a.w); }
inline float kzoLength3(const kzoVector& a) { return std::sqrt((a.x * a.x + a.y * a.y) + a.z * a.z); }

// The length includes w; the result is a point (w = 1).
inline kzoVector kzoNormalize4(const kzoVector& a)
{
    const float length = kzoLength4(a);
    return {a.x / length, a.y / length, a.z / length, 1.0f};
}

// Only x, y, z are normalised; w is carried over unchanged.
inline kzoVector kzoNormalize3(const kzoVector& a)
{
    const float length = kzoLength3(a);
    return {a.x / length, a.y / length, a.z / length, a.w};
}

inline kzoVector kzoCross(const kzoVector& a, const kzoVector& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x, 1.0f};
}

// Plain float equality in the order x, y, z, w: +0 equals -0, NaN equals nothing.
inline bool kzoSameVector(const kzoVector& a, const kzoVector& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}

inline bool kzoSameVector2(const kzoVector2& a, const kzoVector2& b) { return a.x == b.x && a.y == b.y; }

inline kzoMatrix kzoIdentity()
{
    return {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}

// R[r][c] = ((A[r][0].B[0][c] + A[r][1].B[1][c]) + A[r][2].B[2][c]) + A[r][3].B[3][c]
inline kzoMatrix kzoMatMul(const kzoMatrix& a, const kzoMatrix& b)
{
    kzoMatrix r;
    for (int row = 0; row < 4; ++row)
        for (int c = 0; c < 4; ++c)
            r.m[row][c] = ((a.m[row][0] * b.m[0][c] + a.m[row][1] * b.m[1][c]) + a.m[row][2] * b.m[2][c])
                          + a.m[row][3] * b.m[3][c];
    return r;
}

// v . M, all four components.
inline kzoVector kzoTransform(const kzoMatrix& m, const kzoVector& v)
{
    return {((v.x * m.m[0][0] + v.y * m.m[1][0]) + v.z * m.m[2][0]) + v.w * m.m[3][0],
            ((v.x * m.m[0][1] + v.y * m.m[1][1]) + v.z * m.m[2][1]) + v.w * m.m[3][1],
            ((v.x * m.m[0][2] + v.y * m.m[1][2]) + v.z * m.m[2][2]) + v.w * m.m[3][2],
            ((v.x * m.m[0][3] + v.y * m.m[1][3]) + v.z * m.m[2][3]) + v.w * m.m[3][3]};
}

inline kzoMatrix kzoMatScale(const kzoMatrix& m, float s)
{
    kzoMatrix r;
    for (int row = 0; row < 4; ++row)
        for (int c = 0; c < 4; ++c)
            r.m[row][c] = m.m[row][c] * s;
    return r;
}

inline kzoMatrix kzoMatAdd(const kzoMatrix& a, const kzoMatrix& b)
{
    kzoMatrix r;
    for (int row = 0; row < 4; ++row)
        for (int c = 0; c < 4; ++c)
            r.m[row][c] = a.m[row][c] + b.m[row][c];
    return r;
}

inline kzoMatrix kzoTranslation(float x, float y, float z)
{
    kzoMatrix r = kzoIdentity();
    r.m[3][0] = x;
    r.m[3][1] = y;
    r.m[3][2] = z;
    return r;
}

// Rotation about +Y by a radians: a positive angle turns +X towards -Z.
// sin and cos are taken in extended precision and each rounded to float.
kzoMatrix kzoRotationY(float a);

// Rotation about +X by a radians: a positive angle turns +Y towards +Z (and +Z
// towards -Y). sin and cos as for kzoRotationY.
kzoMatrix kzoRotationX(float a);

// M without its translation: rows 0..2 whole, [3][3], and zeros in [3][0..2].
inline kzoMatrix kzoRotationPart(const kzoMatrix& m)
{
    kzoMatrix r = kzoIdentity();
    for (int row = 0; row < 3; ++row)
        for (int c = 0; c < 4; ++c)
            r.m[row][c] = m.m[row][c];
    r.m[3][3] = m.m[3][3];
    return r;
}

// i / 4096: the product is taken in double and rounded to float.
inline float kzoFixedToFloat(std::int16_t i)
{
    return static_cast<float>(static_cast<double>(i) * 0.000244140625);
}

// f x 4096 in float, rounded to nearest (ties to even), low 16 bits kept:
// values outside -8 .. 7.99988 wrap around. Infinities and NaN give 0.
std::int16_t kzoFloatToFixed(float f);

// Round to nearest, ties to even, under the default rounding mode. Values
// beyond the int32 range saturate and NaN gives 0, so a hostile coordinate is
// never undefined behaviour. The plain form (MathPlain.hpp) is the definition;
// kzoRoundToInt gives the same integer for every input (tests compare the two).
//
// cvtss2si and cvtsd2si round by the current mode (nearest, ties to even: no
// program changes it), exactly like nearbyint, in one instruction instead of a
// library call that saves and restores the floating-point state. Projection
// rounds twice per vertex and the edge walk once per row, so it matters. Values
// whose rounding could leave the int32 range (and NaN) take the plain path.
inline std::int32_t kzoRoundToInt(float v)
{
#if defined(__SSE2__)
    if (std::fabs(v) < 2147483648.0f)
        return _mm_cvtss_si32(_mm_set_ss(v));
#endif
    return kzoRoundToIntPlain(v);
}

inline std::int32_t kzoRoundToInt(double v)
{
#if defined(__SSE2__)
    if (std::fabs(v) < 2147483647.0)
        return _mm_cvtsd_si32(_mm_set_sd(v));
#endif
    return kzoRoundToIntPlain(v);
}
