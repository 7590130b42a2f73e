#pragma once
// kzoTriangleNormal of four triangles at once, for builders that make
// millions: in SSE2 lanes every triangle gets the same float operations in the
// same order as the scalar form (cross products summed from (0, 0, 0), the
// length, a division only where the length is above 0), so the normals are the
// same bits; a test compares the two on random triangles. The square root and
// the divisions, whose latency bounds the scalar form, overlap four ways.
// Without a NaN among the positions every NaN that arises is the processor's
// default NaN, whichever operand passes it on; four triangles with a NaN
// position go through kzoTriangleNormal itself.

#include "core/Mesh.hpp"
#include "core/Poly.hpp"

// normals[t] = kzoTriangleNormal of the triangle corners[t][0..2], t = 0..3.
void kzoTriangleNormals4(const kzoVector* const (&corners)[4][3], kzoVector (&normals)[4]);

// Triangles on their way into a mesh, four at a time so that their normals are
// made together. They reach the mesh in the order added; flush before the mesh
// gets any other polygon, and at the end.
class kzoMeshTriangleBatch {
public:
    kzoMeshTriangleBatch(kzoMesh& mesh, std::int32_t materialIndex) : mesh_(mesh), materialIndex_(materialIndex) {}

    void add(std::uint32_t v0, std::uint32_t v1, std::uint32_t v2)
    {
        std::uint32_t* triangle = held_[count_++];
        triangle[0] = v0;
        triangle[1] = v1;
        triangle[2] = v2;
        if (count_ == 4)
            flush();
    }

    void flush()
    {
        const std::vector<kzoVector>& p = mesh_.positions;
        kzoVector normals[4];
        if (count_ == 4) {
            const kzoVector* const corners[4][3] = {{&p[held_[0][0]], &p[held_[0][1]], &p[held_[0][2]]},
                                                    {&p[held_[1][0]], &p[held_[1][1]], &p[held_[1][2]]},
                                                    {&p[held_[2][0]], &p[held_[2][1]], &p[held_[2][2]]},
                                                    {&p[held_[3][0]], &p[held_[3][1]], &p[held_[3][2]]}};
            kzoTriangleNormals4(corners, normals);
        } else {
            for (std::size_t t = 0; t < count_; ++t)
                normals[t] = kzoTriangleNormal(p[held_[t][0]], p[held_[t][1]], p[held_[t][2]]);
        }
        for (std::size_t t = 0; t < count_; ++t)
            kzoMeshAppendPolygon(mesh_, held_[t], 3, normals[t], materialIndex_);
        count_ = 0;
    }

private:
    kzoMesh& mesh_;
    const std::int32_t materialIndex_;
    std::uint32_t held_[4][3];
    std::size_t count_ = 0;
};
