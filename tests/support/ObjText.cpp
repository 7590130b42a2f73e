#include "tests/support/ObjText.hpp"

#include <cstdio>
#include <sstream>

#include "tests/support/Scratch.hpp"

std::string scaledObjText(const std::string& sourcePath, double factor)
{
    std::istringstream in(readText(sourcePath));
    std::string out, line;
    while (std::getline(in, line)) {
        double x = 0, y = 0, z = 0;
        if (line.rfind("v ", 0) == 0 && std::sscanf(line.c_str() + 2, "%lf %lf %lf", &x, &y, &z) == 3) {
            char text[96];
            std::snprintf(text, sizeof text, "v %.9g %.9g %.9g", x * factor, y * factor, z * factor);
            line = text;
        }
        out += line + "\n";
    }
    return out;
}
