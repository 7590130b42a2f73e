// The span rasterizer: which pixels a polygon covers, the depth test, and
// which texel each pixel takes.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "render/pipeline/Fill.hpp"
#include "render/pipeline/FillRow.hpp"
#include "tests/support/SceneBuilders.hpp"

namespace {

// A frame, its viewport and a textured surface to draw with.
struct Target {
    peltoImage frame;
    kzoViewPort vp;

    Target(std::uint32_t width, std::uint32_t height)
    {
        AllocImage(frame, width, height);
        kzoInitViewPort(vp, frame);
    }
    ~Target() { FreeImage(frame); }
    Target(const Target&) = delete;
    Target& operator=(const Target&) = delete;

    std::uint32_t at(int x, int y) const { return frame.pixels[y * static_cast<int>(frame.width) + x]; }
};

// A projected vertex: screen position, depth, 1/w and (u, v) before the divide.
kzoVertex screenVertex(float x, float y, float depth = 5.0f, float invW = 1.0f, float u = 0.0f, float v = 0.0f)
{
    kzoVertex vertex{};
    vertex.position = {x, y, depth, invW};
    vertex.texCoord = {u * invW, v * invW};
    vertex.screenX = kzoRoundToInt(x);
    vertex.screenY = kzoRoundToInt(y);
    return vertex;
}

// Counter-clockwise on screen (drawn): down the left side, back up the right.
kzoPoly rectangle(float left, float top, float right, float bottom, float depth)
{
    return polygonOf({screenVertex(left, top, depth), screenVertex(left, bottom, depth),
                      screenVertex(right, bottom, depth), screenVertex(right, top, depth)});
}

int countPixels(const Target& t, std::uint32_t value)
{
    int n = 0;
    for (std::uint32_t i = 0; i < t.frame.width * t.frame.height; ++i)
        n += t.frame.pixels[i] == value ? 1 : 0;
    return n;
}

TEST(Fill, FullScreenPolygonLeavesTheLastColumnAndRowUnwritten)
{
    Target t(1280, 720);
    peltoImage texture;
    AllocImage(texture, 1, 1);
    texture.pixels[0] = 0xFF112233;
    kzoFillPoly(rectangle(0, 0, 1279, 719, 5), texture, t.vp);
    for (int y = 0; y < 720; ++y)
        for (int x = 0; x < 1280; ++x)
            ASSERT_EQ(t.at(x, y), x < 1279 && y < 719 ? 0xFF112233u : 0u) << x << "," << y;
    EXPECT_EQ(t.vp.depthBuffer[0], 5.0f);
    EXPECT_EQ(t.vp.depthBuffer[1279], 0.1f);
    FreeImage(texture);
}

TEST(Fill, PolygonOnOneRowDrawsNothing)
{
    Target t(64, 32);
    kzoFillPolyColour(polygonOf({screenVertex(2, 10), screenVertex(30, 10), screenVertex(50, 10)}), 0xFFFFFFFF, t.vp);
    EXPECT_EQ(countPixels(t, 0), 64 * 32);
}

TEST(Fill, SpansAreHalfOpenOnBothAxes)
{
    Target t(64, 32);
    kzoFillPolyColour(rectangle(10, 5, 20, 8, 5), 0xFFFFFFFF, t.vp);
    // Columns 10..19 of rows 5..7.
    EXPECT_EQ(countPixels(t, 0xFFFFFFFF), 10 * 3);
    EXPECT_EQ(t.at(10, 5), 0xFFFFFFFFu);
    EXPECT_EQ(t.at(19, 7), 0xFFFFFFFFu);
    EXPECT_EQ(t.at(20, 5), 0u);
    EXPECT_EQ(t.at(10, 8), 0u);
    EXPECT_EQ(t.at(9, 5), 0u);
}

TEST(Fill, NearerPolygonWinsInEitherOrderAndEqualDepthKeepsTheFirst)
{
    struct Case {
        float firstDepth, secondDepth;
        std::uint32_t expected; // in the overlap
    };
    const Case cases[] = {
        {6.0f, 5.0f, 0xFF0000FF}, // first nearer
        {5.0f, 6.0f, 0xFF00FF00}, // second nearer
        {5.5f, 5.5f, 0xFF0000FF}, // equal: the first stays
    };
    for (const Case& c : cases) {
        Target t(64, 32);
        kzoFillPolyColour(rectangle(0, 0, 40, 20, c.firstDepth), 0xFF0000FF, t.vp);
        kzoFillPolyColour(rectangle(20, 10, 60, 30, c.secondDepth), 0xFF00FF00, t.vp);
        EXPECT_EQ(t.at(30, 15), c.expected);
        EXPECT_EQ(t.at(5, 5), 0xFF0000FFu);
        EXPECT_EQ(t.at(50, 25), 0xFF00FF00u);
        EXPECT_EQ(t.vp.depthBuffer[15 * 64 + 30], std::max(c.firstDepth, c.secondDepth));
    }
}

TEST(Fill, DepthNotAboveTheClearedBufferIsNotDrawn)
{
    Target t(16, 16);
    kzoFillPolyColour(rectangle(0, 0, 10, 10, 0.1f), 0xFFFFFFFF, t.vp);
    EXPECT_EQ(countPixels(t, 0xFFFFFFFF), 0);
}

TEST(Fill, TexelOfAConstantCoordinateWrapsOutsideZeroToOne)
{
    // A 4 x 3 texture whose texel (c, r) holds 0xFF000000 + 16 r + c.
    peltoImage texture;
    AllocImage(texture, 4, 3);
    for (std::uint32_t r = 0; r < 3; ++r)
        for (std::uint32_t c = 0; c < 4; ++c)
            texture.pixels[c + r * 4] = 0xFF000000u + 16 * r + c;
    struct Case {
        float u, v;
        std::uint32_t column, row;
    };
    const Case cases[] = {
        {0.0f, 0.0f, 0, 0},
        {1.0f, 1.0f, 3, 2},   // (1, 1): the last texel
        {0.5f, 0.0f, 2, 0},   // 3 x 0.5 = 1.5, a tie: the even 2
        {0.5f, 0.25f, 2, 0},  // 2 x 0.25 = 0.5, a tie: the even 0
        {1.5f, 0.0f, 0, 0},   // 4.5 rounds to 4, wraps to 0
        {-0.25f, 0.0f, 3, 0}, // -0.75 rounds to -1, wraps to 3
        {0.0f, -1.0f, 0, 1},  // -2 wraps to 1
        {2.0f, 3.0f, 2, 0},   // 6 wraps to 2; 6 wraps to 0
    };
    for (const Case& c : cases) {
        Target t(16, 16);
        // invW 0.5 on every vertex: the texture coordinate is divided and multiplied back.
        kzoFillPoly(polygonOf({screenVertex(0, 0, 5, 0.5f, c.u, c.v), screenVertex(0, 8, 5, 0.5f, c.u, c.v),
                               screenVertex(8, 8, 5, 0.5f, c.u, c.v)}),
                    texture, t.vp);
        EXPECT_EQ(t.at(0, 4), 0xFF000000u + 16 * c.row + c.column) << c.u << "," << c.v;
    }
    FreeImage(texture);
}

TEST(Fill, TextureCoordinatesAreCorrectedForPerspective)
{
    // Along the span 1/w falls from 1 to 1/3 and u/w rises from 0 to 1/3, so at
    // screen fraction s the pixel's u is s / (3 - 2s). Texel 1 of a 3-wide
    // texture starts at u = 0.25 (2u rounds to 1): at s = 0.5, column 30,
    // where an affine lookup would have put it at s = 0.25, column 15.
    peltoImage texture;
    AllocImage(texture, 3, 1);
    texture.pixels[0] = 0xFF000000;
    texture.pixels[1] = 0xFF000001;
    texture.pixels[2] = 0xFF000002;
    Target t(64, 8);
    kzoFillPoly(polygonOf({screenVertex(0, 0, 5, 1.0f, 0, 0), screenVertex(0, 4, 5, 1.0f, 0, 0),
                           screenVertex(60, 4, 5, 1.0f / 3, 1, 0), screenVertex(60, 0, 5, 1.0f / 3, 1, 0)}),
                texture, t.vp);
    EXPECT_EQ(t.at(0, 1), 0xFF000000u);
    int firstTexel1 = -1;
    for (int x = 0; x < 60 && firstTexel1 < 0; ++x)
        if (t.at(x, 1) == 0xFF000001u)
            firstTexel1 = x;
    EXPECT_EQ(firstTexel1, 30);
    FreeImage(texture);
}

TEST(Fill, VertexOutsideTheClipRectangleDrawsNothing)
{
    Target t(16, 16);
    kzoFillPolyColour(polygonOf({screenVertex(0, 0), screenVertex(0, 16), screenVertex(8, 8)}), 0xFFFFFFFF, t.vp);
    kzoFillPolyColour(polygonOf({screenVertex(-1, 0), screenVertex(0, 10), screenVertex(8, 8)}), 0xFFFFFFFF, t.vp);
    EXPECT_EQ(countPixels(t, 0xFFFFFFFF), 0);
}

// Random spans through every row kernel this processor has: the frame and
// depth buffer must hold the plain kernel's bits. Values cover texels inside
// and outside the texture (wrapped), coordinates out of int range, NaN and
// infinities, depth ties with the buffer, and spans of 0 to 70 pixels.
TEST(Fill, RowKernelsGiveThePlainKernelsBitsOnRandomSpans)
{
    constexpr int width = 96;
    std::mt19937 rng(7);
    const peltoImage texture = makeCodedTexture(13, 7);
    const kzoTexels texels = kzoTexelsOf(texture);
    const float specials[] = {NAN, INFINITY, -INFINITY, 0.0f, -0.0f, 3e9f, -3e9f, 1e-30f};
    const auto value = [&](float low, float high) {
        if (rng() % 40 == 0)
            return specials[rng() % std::size(specials)];
        return std::uniform_real_distribution<float>(low, high)(rng);
    };
    const kzoRowKernels* kernels[] = {&kzoSse2Rows(), &kzoAvx2Rows()};
    int compared = 0;
    for (int round = 0; round < 20000; ++round) {
        kzoScreenSideType left{}, right{};
        left.offset = static_cast<std::int32_t>(rng() % 24);
        right.offset = left.offset + static_cast<std::int32_t>(rng() % 71) - 2;
        left.depth = value(4, 6);
        right.depth = rng() % 8 == 0 ? left.depth : value(4, 6);
        left.invW = value(0.05f, 2);
        right.invW = value(0.05f, 2);
        const float scale = rng() % 2 ? 1.0f : 4.0f; // 4: most texels wrap
        left.uOverW = value(-scale, scale) * left.invW;
        right.uOverW = value(-scale, scale) * right.invW;
        left.vOverW = value(-scale, scale) * left.invW;
        right.vOverW = value(-scale, scale) * right.invW;
        std::vector<float> depth(width);
        for (float& d : depth)
            d = rng() % 4 == 0 ? left.depth : value(3.5f, 6.5f);
        const std::uint32_t colour = rng();
        for (const bool textured : {true, false}) {
            std::vector<std::uint32_t> plainFrame(width, 1), plainDepthBits(width);
            std::vector<float> plainDepth = depth;
            if (textured)
                kzoPlainRows().textured(left, right, texels, plainDepth.data(), plainFrame.data());
            else
                kzoPlainRows().colour(left, right, colour, plainDepth.data(), plainFrame.data());
            for (const kzoRowKernels* k : kernels) {
                if (!k->textured)
                    continue;
                std::vector<std::uint32_t> frame(width, 1);
                std::vector<float> laneDepth = depth;
                if (textured)
                    k->textured(left, right, texels, laneDepth.data(), frame.data());
                else
                    k->colour(left, right, colour, laneDepth.data(), frame.data());
                ASSERT_EQ(frame, plainFrame) << "round " << round << (textured ? " textured" : " colour");
                ASSERT_EQ(std::memcmp(laneDepth.data(), plainDepth.data(), width * sizeof(float)), 0)
                    << "round " << round;
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 0) << "no lane kernel on this processor";
    peltoImage owned = texture;
    FreeImage(owned);
}

// The same bits, any NaN equal to any NaN: the compiler may order the operands
// of a commutative add either way, which decides a NaN's sign when both are
// NaN; a NaN depth is never drawn, so no pixel depends on it.
bool sameFloat(float a, float b) { return std::memcmp(&a, &b, 4) == 0 || (a != a && b != b); }
bool sameEntry(const kzoScreenSideType& a, const kzoScreenSideType& b)
{
    return a.offset == b.offset && sameFloat(a.depth, b.depth) && sameFloat(a.invW, b.invW)
           && sameFloat(a.uOverW, b.uOverW) && sameFloat(a.vOverW, b.vOverW);
}

// Random edges through every edge walk this processor has: the same side
// table entries as the plain walk, for edges of 0 to 40 rows, rising and flat
// edges, and attributes that are NaN or infinite now and then.
TEST(Fill, EdgeWalksGiveThePlainWalksEntriesOnRandomEdges)
{
    constexpr int rows = 48, width = 100;
    std::mt19937 rng(5);
    const auto value = [&] {
        const float specials[] = {NAN, INFINITY, -INFINITY, 0.0f, -0.0f};
        return rng() % 30 == 0 ? specials[rng() % std::size(specials)]
                               : std::uniform_real_distribution<float>(-10, 10)(rng);
    };
    const auto vertex = [&] {
        return kzoScreenVertex{value(), value(), value(), value(), static_cast<std::int32_t>(rng() % width),
                               static_cast<std::int32_t>(rng() % rows)};
    };
    int compared = 0;
    for (int round = 0; round < 20000; ++round) {
        const kzoScreenVertex a = vertex(), b = vertex();
        std::vector<kzoScreenSideType> plain(rows);
        kzoPlainRows().edge(plain.data(), a, b, width);
        for (const kzoRowKernels* k : {&kzoSse2Rows(), &kzoAvx2Rows()}) {
            if (!k->edge)
                continue;
            std::vector<kzoScreenSideType> side(rows);
            k->edge(side.data(), a, b, width);
            for (int r = 0; r < rows; ++r)
                ASSERT_TRUE(sameEntry(side[r], plain[r])) << "round " << round << " row " << r;
            ++compared;
        }
    }
    EXPECT_GT(compared, 0) << "no lane kernel on this processor";
}

} // namespace
