#include "bench/SphereObj.hpp"

#include <cmath>
#include <cstdio>

std::string SphereObjText(int segments, int rows, double radius)
{
    std::string text;
    char line[256];
    const double pi = 3.14159265358979323846;
    const int rings = rows - 1;
    text.reserve(static_cast<std::size_t>(rows) * (segments + 1) * 90 + static_cast<std::size_t>(rings) * segments * 130);
    for (int r = 0; r < rows; ++r)
        for (int s = 0; s <= segments; ++s) {
            const double theta = pi * r / rings, phi = 2 * pi * s / segments;
            const double x = std::sin(theta) * std::cos(phi), y = std::cos(theta), z = -std::sin(theta) * std::sin(phi);
            std::snprintf(line, sizeof line, "v %.6f %.6f %.6f\nvt %.6f %.6f\nvn %.6f %.6f %.6f\n", radius * x,
                          radius * y, radius * z, double(s) / segments, 1.0 - double(r) / rings, x, y, z);
            text += line;
        }
    // Counter-clockwise seen from outside: a (top left), c (below it), b (right of a).
    const int stride = segments + 1;
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < segments; ++s) {
            const int a = r * stride + s + 1, b = a + 1, c = a + stride, d = c + 1;
            std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d\nf %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a,
                          c, c, c, b, b, b, b, b, b, c, c, c, d, d, d);
            text += line;
        }
    return text;
}
