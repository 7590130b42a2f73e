#pragma once
// Finds the mesh vertex a builder already made from the same table entries. A
// file names each corner by indices into its own tables (position, texture
// coordinate, normal); equal indices give an equal vertex, so the indices are
// the key and the vertex itself is never hashed. Keys are chained per position
// index, newest first, in arrays that follow the file's own locality. A chain
// is searched for its first kzoVertexKeySearch links only: past that a corner
// gets a vertex of its own, which costs memory, never correctness (a polygon
// reads back the same either way), and keeps hostile files linear.

#include <algorithm>
#include <cstdint>
#include <vector>

inline constexpr std::uint32_t kzoNoVertex = 0xFFFFFFFFu;
inline constexpr int kzoVertexKeySearch = 8;

class kzoVertexKeys {
public:
    // The vertex recorded for (position, rest), or kzoNoVertex.
    std::uint32_t find(std::uint32_t position, std::uint64_t rest) const
    {
        std::uint32_t link = position < newest_.size() ? newest_[position] : kzoNoVertex;
        for (int step = 0; link != kzoNoVertex && step < kzoVertexKeySearch; ++step, link = links_[link].older)
            if (links_[link].rest == rest)
                return links_[link].vertex;
        return kzoNoVertex;
    }

    // Records vertex as the one made from (position, rest).
    void add(std::uint32_t position, std::uint64_t rest, std::uint32_t vertex)
    {
        if (position >= newest_.size())
            newest_.resize(std::max<std::size_t>(position + 1, newest_.size() * 2), kzoNoVertex);
        links_.push_back({rest, vertex, newest_[position]});
        newest_[position] = static_cast<std::uint32_t>(links_.size() - 1);
    }

    void reserve(std::size_t positions, std::size_t vertices)
    {
        newest_.reserve(positions);
        links_.reserve(vertices);
    }

private:
    struct Link {
        std::uint64_t rest;
        std::uint32_t vertex;
        std::uint32_t older; // the link added before this one for the same position
    };
    std::vector<std::uint32_t> newest_; // per position: its newest link
    std::vector<Link> links_;
};
