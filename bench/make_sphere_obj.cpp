// Writes the benchmark sphere as an OBJ file, for timing the real kzoWrite:
//   make_sphere_obj SEGMENTS ROWS RADIUS OUT.obj      (1000 501 3.5: 1M triangles)

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/SphereObj.hpp"

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "make_sphere_obj SEGMENTS ROWS RADIUS OUT.obj\n");
        return 2;
    }
    const std::string text = SphereObjText(std::atoi(argv[1]), std::atoi(argv[2]), std::atof(argv[3]));
    std::FILE* out = std::fopen(argv[4], "wb");
    if (!out || std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fclose(out) != 0) {
        std::perror(argv[4]);
        return 1;
    }
    return 0;
}
