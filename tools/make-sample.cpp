// Makes the bundled sample: assets/sample.obj, an ellipsoid pebble of 3,968
// triangles, and a 256 x 256 PPM texture whose lettering and arrows show
// which side faces the viewer (tools/make-sample.sh encodes it as
// assets/sample.jpg). Standalone on purpose: it is run by hand, not built.
//
//   make-sample OUT.obj OUT.ppm
//
// Sizes come from the viewer's fixed camera, which shows about +-7.1 x +-4.0
// units at z = 0: the pebble spans 10.4 x 5.8 units, z within +-2.6, so every
// coordinate stays inside the +-7.99 of 4.12 fixed point. UVs stay within
// 0..1 and the texture within 256 pixels, so the converter keeps its fixed
// 8-bit texture coordinates.

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double rx = 5.2, ry = 2.9, rz = 2.6; // half-axes
constexpr int rings = 32, segments = 64;       // 2 x 64 x 30 quads' triangles + 2 x 64 at the poles
constexpr int size = 256;                      // texture width and height

// ---- model ----------------------------------------------------------------

struct Point {
    double x, y, z;
};

// theta 0 is the top (+y), phi runs so that u = s / segments grows towards +x
// on the side facing +z: the lettering reads unmirrored from outside.
Point surface(int r, int s)
{
    if (r == 0)
        return {0, ry, 0};
    if (r == rings)
        return {0, -ry, 0};
    const double theta = pi * r / rings, phi = 2 * pi * (s % segments) / segments;
    return {rx * std::sin(theta) * std::cos(phi), ry * std::cos(theta), -rz * std::sin(theta) * std::sin(phi)};
}

Point unitNormal(const Point& p)
{
    const Point g{p.x / (rx * rx), p.y / (ry * ry), p.z / (rz * rz)};
    const double length = std::sqrt(g.x * g.x + g.y * g.y + g.z * g.z);
    return {g.x / length, g.y / length, g.z / length};
}

// Grid corner (r, s) as a 1-based OBJ index: one vertex per corner, seam
// column s = segments included so that u reaches 1 (its position equals s = 0).
int corner(int r, int s) { return r * (segments + 1) + s + 1; }

// Outward (counter-clockwise seen from outside) when the cross product of the
// edges points away from the centre, which for an ellipsoid is the centroid.
bool outward(const Point& a, const Point& b, const Point& c)
{
    const Point e{b.x - a.x, b.y - a.y, b.z - a.z}, f{c.x - a.x, c.y - a.y, c.z - a.z};
    const Point n{e.y * f.z - e.z * f.y, e.z * f.x - e.x * f.z, e.x * f.y - e.y * f.x};
    return n.x * (a.x + b.x + c.x) + n.y * (a.y + b.y + c.y) + n.z * (a.z + b.z + c.z) > 0;
}

void face(std::FILE* out, int a, int b, int c, int& count)
{
    std::fprintf(out, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c);
    ++count;
}

int writeModel(std::FILE* out)
{
    std::vector<Point> points;
    std::fprintf(out, "# kzo sample: an ellipsoid pebble, %d x %d grid, made by tools/make-sample.cpp\n", rings,
                 segments);
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s <= segments; ++s) {
            const Point p = surface(r, s), n = unitNormal(p);
            points.push_back(p);
            // A pole vertex takes the u of the middle of the one fan triangle that
            // uses it: the top fan uses column s + 1, the bottom fan column s.
            double u = double(s) / segments;
            if (r == 0 && s > 0)
                u = (s - 0.5) / segments;
            if (r == rings && s < segments)
                u = (s + 0.5) / segments;
            std::fprintf(out, "v %.6f %.6f %.6f\nvt %.6f %.6f\nvn %.6f %.6f %.6f\n", p.x, p.y, p.z, u,
                         1.0 - double(r) / rings, n.x, n.y, n.z);
        }
    int count = 0;
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const int a = corner(r, s), b = corner(r, s + 1), c = corner(r + 1, s), d = corner(r + 1, s + 1);
            if (r != 0)
                face(out, a, c, b, count);
            if (r != rings - 1)
                face(out, b, c, d, count);
            const Point& pa = points[a - 1];
            const Point& pb = points[b - 1];
            const Point& pc = points[c - 1];
            const Point& pd = points[d - 1];
            if ((r != 0 && !outward(pa, pc, pb)) || (r != rings - 1 && !outward(pb, pc, pd))) {
                std::fprintf(stderr, "make-sample: triangle at ring %d segment %d faces inwards\n", r, s);
                std::exit(1);
            }
        }
    return count;
}

// ---- texture --------------------------------------------------------------

using Pixel = std::array<std::uint8_t, 3>;

// 5 x 7 capitals, one string per row, '#' set.
struct Glyph {
    char letter;
    const char* rows[7];
};

const Glyph font[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "#####"}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'N', {"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
};

const Glyph* glyphOf(char letter)
{
    for (const Glyph& g : font)
        if (g.letter == letter)
            return &g;
    return nullptr;
}

struct Canvas {
    std::vector<Pixel> pixels = std::vector<Pixel>(size * size);

    // Columns wrap around, as u does across the seam.
    void set(int x, int y, const Pixel& colour)
    {
        if (y >= 0 && y < size)
            pixels[static_cast<std::size_t>(y * size + ((x % size) + size) % size)] = colour;
    }

    void fill(int x0, int y0, int w, int h, const Pixel& colour)
    {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x)
                set(x, y, colour);
    }

    // Text centred on column cx, top row y, each font pixel scale x scale.
    void text(const std::string& s, int cx, int y, int scale, const Pixel& colour)
    {
        const int width = static_cast<int>(s.size()) * 6 * scale - scale;
        int x = cx - width / 2;
        for (const char c : s) {
            if (const Glyph* g = glyphOf(c))
                for (int row = 0; row < 7; ++row)
                    for (int col = 0; col < 5; ++col)
                        if (g->rows[row][col] == '#')
                            fill(x + col * scale, y + row * scale, scale, scale, colour);
            x += 6 * scale;
        }
    }

    // An arrow pointing up (towards the model's top), tip at (cx, y).
    void arrowUp(int cx, int y, const Pixel& colour)
    {
        for (int row = 0; row < 10; ++row)
            fill(cx - row, y + row, 2 * row + 1, 1, colour);
        fill(cx - 3, y + 10, 7, 14, colour);
    }

    // An arrow pointing right (growing u: to the right seen from outside), tip at (x, cy).
    void arrowRight(int x, int cy, const Pixel& colour)
    {
        for (int col = 0; col < 8; ++col)
            fill(x - col, cy - col, 1, 2 * col + 1, colour);
        fill(x - 26, cy - 2, 19, 5, colour);
    }
};

void drawTexture(Canvas& c)
{
    // Quarter of the way round each: the side facing the viewer at the start
    // (+z) is u = 0.75, +x is u = 0 (and 1), -z is 0.25, -x is 0.5.
    struct Side {
        const char* name;
        double u;
        Pixel background;
    } const sides[] = {
        {"RIGHT", 0.0, {200, 60, 50}},
        {"BACK", 0.25, {60, 160, 70}},
        {"LEFT", 0.5, {220, 190, 40}},
        {"FRONT", 0.75, {50, 100, 210}},
    };
    const Pixel white{255, 255, 255}, dark{25, 25, 35};
    for (const Side& side : sides) {
        const int cx = static_cast<int>(std::lround(side.u * size));
        c.fill(cx - size / 8, 0, size / 4, size, side.background);
    }
    // A grid every 16 pixels shows the curvature.
    for (int i = 0; i < size; i += 16) {
        c.fill(i, 0, 1, size, dark);
        c.fill(0, i, size, 1, dark);
    }
    for (const Side& side : sides) {
        const int cx = static_cast<int>(std::lround(side.u * size));
        c.fill(cx - 31, 114, 62, 28, dark);
        c.text(side.name, cx, 121, 2, white);
        c.arrowUp(cx, 74, white);
        c.text("UP", cx, 56, 2, white);
        c.arrowRight(cx + 24, 170, white);
        c.text("KZO", cx, 190, 2, dark);
    }
    // The poles: white cap on top, dark cap at the bottom.
    c.fill(0, 0, size, 12, white);
    c.fill(0, size - 12, size, 12, dark);
}

bool writePPM(const Canvas& c, const char* path)
{
    std::FILE* out = std::fopen(path, "wb");
    if (!out)
        return false;
    std::fprintf(out, "P6\n%d %d\n255\n", size, size);
    const bool ok = std::fwrite(c.pixels.data(), 3, c.pixels.size(), out) == c.pixels.size();
    return std::fclose(out) == 0 && ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "make-sample OUT.obj OUT.ppm\n");
        return 2;
    }
    std::FILE* obj = std::fopen(argv[1], "w");
    if (!obj) {
        std::perror(argv[1]);
        return 1;
    }
    const int triangles = writeModel(obj);
    if (std::fclose(obj) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    Canvas canvas;
    drawTexture(canvas);
    if (!writePPM(canvas, argv[2])) {
        std::perror(argv[2]);
        return 1;
    }
    std::printf("make-sample: %d triangles in %s, %d x %d texture in %s\n", triangles, argv[1], size, size, argv[2]);
    return 0;
}
