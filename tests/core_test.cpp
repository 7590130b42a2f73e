// Vectors, matrices, fixed point, polygons and the winding tests.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <random>

#include "core/Core.hpp"
#include "core/MathPlain.hpp"
#include "core/TriangleNormals.hpp"
#include "tests/support/Process.hpp"

namespace {

void expectVector(const kzoVector& v, float x, float y, float z, float w)
{
    EXPECT_EQ(v.x, x);
    EXPECT_EQ(v.y, y);
    EXPECT_EQ(v.z, z);
    EXPECT_EQ(v.w, w);
}

bool sameBits(const kzoMatrix& a, const kzoMatrix& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(Vector, WTakesPartInAdditionAndSubtraction)
{
    const kzoVector p = kzoMakeVector(0, 0, 20);
    expectVector(p, 0, 0, 20, 1);
    EXPECT_EQ(kzoAddVector(p, p).w, 2.0f);
    EXPECT_EQ(kzoSubVector(p, p).w, 0.0f);
    expectVector(kzoNegVector(kzoMakeVector4(1, -2, 0, 3)), -1, 2, -0.0f, -3);
    EXPECT_TRUE(std::signbit(kzoNegVector(kzoMakeVector4(0, 0, 0, 0)).x));
}

TEST(Vector, Normalize4DividesByTheLengthIncludingW)
{
    expectVector(kzoNormalize4(kzoMakeVector4(3, 0, 4, 0)), 0.6f, 0, 0.8f, 1);
    const float length = std::sqrt(26.0f);
    expectVector(kzoNormalize4(kzoMakeVector4(3, 0, 4, 1)), 3 / length, 0, 4 / length, 1);
}

TEST(Vector, Normalize3KeepsW)
{
    const kzoVector n = kzoNormalize3(kzoMakeVector4(0, 3, 4, 7));
    expectVector(n, 0, 0.6f, 0.8f, 7);
}

TEST(Vector, SameVectorIsPlainFloatEquality)
{
    EXPECT_TRUE(kzoSameVector(kzoMakeVector4(0.0f, 1, 2, 1), kzoMakeVector4(-0.0f, 1, 2, 1)));
    EXPECT_FALSE(kzoSameVector(kzoMakeVector4(1, 2, 3, 1), kzoMakeVector4(1, 2, 3, 0)));
    EXPECT_FALSE(kzoSameVector(kzoMakeVector4(NAN, 0, 0, 1), kzoMakeVector4(NAN, 0, 0, 1)));
    EXPECT_FALSE(kzoSameVector2({NAN, 0}, {NAN, 0}));
    EXPECT_TRUE(kzoSameVector2({0.5f, -0.0f}, {0.5f, 0.0f}));
}

TEST(Matrix, TranslationMovesPointsNotDirections)
{
    const kzoMatrix t = kzoTranslation(1, 2, 3);
    expectVector(kzoTransform(t, kzoMakeVector4(0, 0, 0, 1)), 1, 2, 3, 1);
    expectVector(kzoTransform(t, kzoMakeVector4(5, 6, 7, 0)), 5, 6, 7, 0);
}

TEST(Matrix, RotationYTurnsXTowardsMinusZ)
{
    const kzoVector v = kzoTransform(kzoRotationY(static_cast<float>(M_PI / 2)), kzoMakeVector(1, 0, 0));
    EXPECT_NEAR(v.x, 0, 1e-7);
    EXPECT_EQ(v.y, 0);
    EXPECT_EQ(v.z, -1);
    EXPECT_EQ(v.w, 1);
}

TEST(Matrix, RotationXTurnsYTowardsPlusZAndZTowardsMinusY)
{
    const kzoMatrix r = kzoRotationX(static_cast<float>(M_PI / 2));
    const kzoVector y = kzoTransform(r, kzoMakeVector(0, 1, 0));
    const kzoVector z = kzoTransform(r, kzoMakeVector(0, 0, 1));
    EXPECT_EQ(y.x, 0);
    EXPECT_NEAR(y.y, 0, 1e-7);
    EXPECT_EQ(y.z, 1);
    EXPECT_EQ(z.y, -1);
    EXPECT_NEAR(z.z, 0, 1e-7);
    for (const float a : {0.01f, -2.5f, 100.0f}) {
        const kzoMatrix x = kzoRotationX(a);
        EXPECT_EQ(x[1][1], static_cast<float>(std::cos(static_cast<long double>(a))));
        EXPECT_EQ(x[1][2], static_cast<float>(std::sin(static_cast<long double>(a))));
        EXPECT_EQ(x[2][1], -x[1][2]);
        EXPECT_EQ(x[2][2], x[1][1]);
    }
}

TEST(Matrix, RotationYTakesSinAndCosInExtendedPrecision)
{
    for (const float a : {0.1f, -0.1f, 6.3f, 1e-3f, 100.0f}) {
        const kzoMatrix r = kzoRotationY(a);
        EXPECT_EQ(r[0][0], static_cast<float>(std::cos(static_cast<long double>(a))));
        EXPECT_EQ(r[2][0], static_cast<float>(std::sin(static_cast<long double>(a))));
        EXPECT_EQ(r[0][2], -r[2][0]);
        EXPECT_EQ(r[2][2], r[0][0]);
    }
}

TEST(Matrix, ProductAppliesTheLeftOperandFirst)
{
    const float a = 0.5f;
    const kzoMatrix moveThenTurn = kzoMatMul(kzoTranslation(1, 0, 0), kzoRotationY(a));
    const kzoVector direct = kzoTransform(moveThenTurn, kzoMakeVector(0, 0, 0));
    const kzoVector stepwise = kzoTransform(kzoRotationY(a), kzoTransform(kzoTranslation(1, 0, 0), kzoMakeVector(0, 0, 0)));
    expectVector(direct, stepwise.x, stepwise.y, stepwise.z, stepwise.w);
    EXPECT_EQ(direct.x, static_cast<float>(std::cos(static_cast<long double>(a))));
}

TEST(Matrix, ProductSumsInTheWrittenOrder)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<float> value(-100, 100);
    kzoMatrix a, b;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            a[r][c] = value(random), b[r][c] = value(random);
    const kzoMatrix p = kzoMatMul(a, b);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            float sum = a[r][0] * b[0][c];
            sum = sum + a[r][1] * b[1][c];
            sum = sum + a[r][2] * b[2][c];
            sum = sum + a[r][3] * b[3][c];
            EXPECT_EQ(p[r][c], sum);
        }
}

TEST(Matrix, RotationPartDropsTheTranslationOnly)
{
    EXPECT_TRUE(sameBits(kzoRotationPart(kzoTranslation(4, 5, 6)), kzoIdentity()));
    kzoMatrix m = kzoMatMul(kzoRotationY(0.3f), kzoTranslation(4, 5, 6));
    m[0][3] = 9;
    m[3][3] = 2;
    const kzoMatrix r = kzoRotationPart(m);
    EXPECT_EQ(r[0][3], 9);
    EXPECT_EQ(r[3][3], 2);
    EXPECT_EQ(r[3][0], 0);
    EXPECT_EQ(r[2][0], m[2][0]);
}

TEST(Matrix, ScaleAndAdd)
{
    const kzoMatrix twice = kzoMatAdd(kzoIdentity(), kzoIdentity());
    EXPECT_TRUE(sameBits(twice, kzoMatScale(kzoIdentity(), 2)));
}

TEST(FixedPoint, ConversionsRoundTiesToEvenAndWrap)
{
    EXPECT_EQ(kzoFixedToFloat(4096), 1.0f);
    EXPECT_EQ(kzoFixedToFloat(-32768), -8.0f);
    EXPECT_EQ(kzoFixedToFloat(32767), 7.999755859375f);
    const struct {
        float value;
        std::int16_t fixed;
    } cases[] = {
        {1.0f, 4096}, {0.5f / 4096, 0}, {1.5f / 4096, 2}, {2.5f / 4096, 2}, {-0.5f / 4096, 0},
        {8.0f, -32768}, {-8.0f, -32768}, {-0.5f, static_cast<std::int16_t>(0xF800)},
        {9.0f, -28672}, {16.0f, 0}, {1e12f, 0}, {INFINITY, 0}, {-INFINITY, 0}, {NAN, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(kzoFloatToFixed(c.value), c.fixed) << c.value;
}

TEST(FixedPoint, EveryFixedValueSurvivesTheRoundTrip)
{
    for (int i = -32768; i <= 32767; ++i)
        ASSERT_EQ(kzoFloatToFixed(kzoFixedToFloat(static_cast<std::int16_t>(i))), i);
}

TEST(Rounding, TiesGoToEvenAndExtremesSaturate)
{
    EXPECT_EQ(kzoRoundToInt(0.5f), 0);
    EXPECT_EQ(kzoRoundToInt(1.5f), 2);
    EXPECT_EQ(kzoRoundToInt(2.5f), 2);
    EXPECT_EQ(kzoRoundToInt(-0.5f), 0);
    EXPECT_EQ(kzoRoundToInt(-1.5f), -2);
    EXPECT_EQ(kzoRoundToInt(819.982f), 820);
    EXPECT_EQ(kzoRoundToInt(3e9f), INT32_MAX);
    EXPECT_EQ(kzoRoundToInt(-3e9f), INT32_MIN);
    EXPECT_EQ(kzoRoundToInt(NAN), 0);
    EXPECT_EQ(kzoRoundToInt(2.5), 2);
    EXPECT_EQ(kzoRoundToInt(-2147483648.4), INT32_MIN);
}

TEST(Rounding, OneInstructionGivesThePlainRoundingOnEveryKindOfNumber)
{
    const float edges[] = {0.5f, 1.5f, 2.5f, -0.5f, -1.5f, 0.49999997f, 2147483520.0f, -2147483648.0f,
                           2147483648.0f, 3e9f, -3e9f, INFINITY, -INFINITY, NAN, -0.0f, 1e-45f, 8388607.5f};
    for (const float v : edges) {
        EXPECT_EQ(kzoRoundToInt(v), kzoRoundToIntPlain(v)) << v;
        EXPECT_EQ(kzoRoundToInt(double{v}), kzoRoundToIntPlain(double{v})) << v;
    }
    const double doubleEdges[] = {2147483646.5, 2147483647.0, 2147483647.4, 2147483647.5, 2147483648.0,
                                  -2147483647.5, -2147483648.0, -2147483648.4, -2147483648.5, -2147483649.0};
    for (const double v : doubleEdges)
        EXPECT_EQ(kzoRoundToInt(v), kzoRoundToIntPlain(v)) << v;
    // Random bit patterns cover every exponent, and halves cover the ties.
    std::mt19937_64 random(7);
    for (int i = 0; i < 2000000; ++i) {
        const float f = std::bit_cast<float>(static_cast<std::uint32_t>(random()));
        const double d = std::bit_cast<double>(random());
        const float half = static_cast<float>(static_cast<std::int64_t>(random() % 20001) - 10000) + 0.5f;
        const double offset = static_cast<double>(static_cast<std::int64_t>(random() % 8192) - 4096) + 0.5;
        ASSERT_EQ(kzoRoundToInt(f), kzoRoundToIntPlain(f)) << f;
        ASSERT_EQ(kzoRoundToInt(d), kzoRoundToIntPlain(d)) << d;
        ASSERT_EQ(kzoRoundToInt(half), kzoRoundToIntPlain(half)) << half;
        ASSERT_EQ(kzoRoundToInt(offset * 1024.0), kzoRoundToIntPlain(offset * 1024.0)) << offset;
    }
}

// --- Polygons -----------------------------------------------------------------

kzoVertex vertexAt(float x, float y, float z)
{
    kzoVertex v{};
    kzoMakeVertex(v, x, y, z, 0, 0, 0, 0, 0, 128, 128, 128, 255);
    v.position.w = 1;
    return v;
}

TEST(Poly, NormalFollowsTheRightHandRule)
{
    kzoPoly p{};
    const kzoVertex ccw[] = {vertexAt(0, 0, 0), vertexAt(1, 0, 0), vertexAt(0, 1, 0)};
    kzoCreatePoly(p, ccw, 3);
    expectVector(p.normal, 0, 0, 1, 1);
    EXPECT_EQ(p.vertexCount, 3);
    EXPECT_EQ(p.materialIndex, 3);

    const kzoVertex cw[] = {vertexAt(0, 0, 0), vertexAt(0, 1, 0), vertexAt(1, 0, 0)};
    kzoCreatePoly(p, cw, 0);
    expectVector(p.normal, 0, 0, -1, 1);

    const kzoVertex line[] = {vertexAt(0, 0, 0), vertexAt(1, 1, 1), vertexAt(2, 2, 2)};
    kzoCreatePoly(p, line, 0);
    expectVector(p.normal, 0, 0, 0, 1);
}

// Four normals at once must be kzoTriangleNormal's bits lane by lane: random
// corners from a pool with zeros of both signs, NaN, infinities, values whose
// products overflow or vanish, repeated corners (no area) and ordinary ones.
TEST(Poly, FourTriangleNormalsAtOnceAreTheScalarBits)
{
    std::mt19937 rng(17);
    const float pool[] = {0.0f, -0.0f, 1.0f, -1.0f, 0.5f, 3.75f, -7.5f, 1e-20f, 1e20f, 3e38f, 1e-45f, NAN, INFINITY,
                          -INFINITY, 2.0f, 0.1f};
    auto value = [&] {
        return rng() % 4 ? std::uniform_real_distribution<float>(-8.0f, 8.0f)(rng) : pool[rng() % std::size(pool)];
    };
    std::vector<kzoVector> points(64);
    for (int round = 0; round < 200000; ++round) {
        if (round % 16 == 0)
            for (kzoVector& p : points)
                p = kzoMakeVector4(value(), value(), value(), value());
        const kzoVector* corners[4][3];
        for (auto& triangle : corners)
            for (const kzoVector*& c : triangle)
                c = &points[rng() % points.size()];
        kzoVector normals[4];
        kzoTriangleNormals4(corners, normals);
        for (int t = 0; t < 4; ++t) {
            const kzoVector plain = kzoTriangleNormal(*corners[t][0], *corners[t][1], *corners[t][2]);
            ASSERT_EQ(std::memcmp(&plain, &normals[t], sizeof plain), 0) << "round " << round << " lane " << t;
        }
    }
}

TEST(Poly, CopiesVerticesWholeAndLeavesOtherSlots)
{
    kzoPoly p{};
    p.vertices[3].screenX = 77;
    kzoVertex v[3] = {vertexAt(1, 2, 3), vertexAt(4, 5, 6), vertexAt(7, 8, 9)};
    v[1].spare[0] = 42;
    kzoCreatePoly(p, v, 0);
    EXPECT_EQ(std::memcmp(&p.vertices[1], &v[1], sizeof(kzoVertex)), 0);
    EXPECT_EQ(p.vertices[3].screenX, 77);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(p.vertices[i].influenceCount, 0);
}

TEST(Poly, AcceptsEightVerticesAndNoMore)
{
    std::vector<kzoVertex> v(8, vertexAt(0, 0, 0));
    kzoPoly p{};
    kzoCreatePoly(p, v, 0);
    EXPECT_EQ(p.vertexCount, 8);

    v.push_back(vertexAt(0, 0, 0));
    const ProcessResult r = runInChild([&]() -> int {
        kzoPoly q{};
        kzoCreatePoly(q, v, 0);
        return 0;
    });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "kzoCreatePoly: v > kzoMaxVertex\n");
}

TEST(Poly, NoVerticesGiveAnEmptyPolygon)
{
    kzoPoly p{};
    kzoCreatePoly(p, {}, 0);
    EXPECT_EQ(p.vertexCount, 0);
    expectVector(p.normal, 0, 0, 0, 1);
}

TEST(Poly, MakeVertexSetsOnlyItsFields)
{
    kzoVertex v{};
    v.position.w = 5;
    v.screenX = 9;
    v.influenceCount = 4;
    kzoMakeVertex(v, 1, 2, 3, 4, 5, 6, 0.25f, 0.75f, 10, 20, 30, 40);
    expectVector(v.position, 1, 2, 3, 5);
    expectVector(v.normal, 4, 5, 6, 1);
    EXPECT_EQ(v.texCoord.x, 0.25f);
    EXPECT_EQ(v.texCoord.y, 0.75f);
    EXPECT_EQ(v.colour.r, 10);
    EXPECT_EQ(v.colour.a, 40);
    EXPECT_EQ(v.screenX, 9);
    EXPECT_EQ(v.influenceCount, 0);
}

kzoPoly onScreen(std::initializer_list<std::pair<std::int32_t, std::int32_t>> points)
{
    kzoPoly p{};
    for (const auto& [x, y] : points) {
        p.vertices[p.vertexCount].screenX = x;
        p.vertices[p.vertexCount].screenY = y;
        ++p.vertexCount;
    }
    return p;
}

TEST(Winding, ClockwiseOnScreenFacesAway)
{
    const kzoPoly clockwise = onScreen({{0, 0}, {10, 0}, {0, 10}});
    EXPECT_TRUE(kzoTriangleFacesAway(clockwise));
    EXPECT_TRUE(kzoPolyFacesAway(clockwise));
    const kzoPoly counterClockwise = onScreen({{0, 0}, {0, 10}, {10, 0}});
    EXPECT_FALSE(kzoTriangleFacesAway(counterClockwise));
    EXPECT_FALSE(kzoPolyFacesAway(counterClockwise));
    EXPECT_FALSE(kzoTriangleFacesAway(onScreen({{0, 0}, {5, 5}, {10, 10}}))) << "no area is drawn";
    EXPECT_TRUE(kzoPolyFacesAway(onScreen({{0, 0}, {10, 0}, {10, 10}, {0, 10}})));
}

TEST(Winding, TriangleAndPolygonSumsAgree)
{
    std::mt19937 random(11);
    std::uniform_int_distribution<std::int32_t> coordinate(-2000, 2000);
    for (int i = 0; i < 10000; ++i) {
        const kzoPoly p = onScreen({{coordinate(random), coordinate(random)},
                                    {coordinate(random), coordinate(random)},
                                    {coordinate(random), coordinate(random)}});
        ASSERT_EQ(kzoTriangleFacesAway(p), kzoPolyFacesAway(p));
    }
}

TEST(Winding, OverflowStopsTheProgramInsteadOfWrapping)
{
    // x0(y1 - y2) + x1(y2 - y0) + x2(y0 - y1) = 2^31 . 2^32 - ... lies outside 64 bits.
    const kzoPoly p = onScreen({{INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX}, {INT32_MIN, INT32_MAX}});
    const __int128 exact = __int128{INT32_MIN} * (__int128{INT32_MAX} - INT32_MAX)
                           + __int128{INT32_MAX} * (__int128{INT32_MAX} - INT32_MIN)
                           + __int128{INT32_MIN} * (__int128{INT32_MIN} - INT32_MAX);
    ASSERT_TRUE(exact > INT64_MAX || exact < INT64_MIN);
    const ProcessResult r = runInChild([&] { return kzoTriangleFacesAway(p) ? 2 : 3; });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Integer overflow in the winding test\n");
}

} // namespace
