// Parses one OBJ file with tinyobjloader and nothing else, so that its peak
// memory can be measured beside kzoWrite's with /usr/bin/time -v:
//   tinyobj_parse FILE.obj

#include <cstdio>
#include <tiny_obj_loader.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "tinyobj_parse FILE.obj\n");
        return 2;
    }
    tinyobj::ObjReaderConfig config;
    config.triangulate = false;
    tinyobj::ObjReader reader;
    if (!reader.ParseFromFile(argv[1], config)) {
        std::fprintf(stderr, "%s", reader.Error().c_str());
        return 1;
    }
    std::printf("%zu positions, %zu shapes\n", reader.GetAttrib().vertices.size() / 3, reader.GetShapes().size());
    return 0;
}
