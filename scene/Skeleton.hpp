#pragma once
// Skeleton records: bone nodes, per-joint matrices and named animation tracks.
// Nothing in the programs creates skeletons (the scene file carries none); the
// renderer poses and skins an object only when it has joints.

#include <string>
#include <vector>

#include "core/Math.hpp"

// A node of the bone hierarchy: its rest transform relative to its parent and
// its children, in order. The object refers to its root and does not own it.
struct kzoBone {
    std::string name;
    kzoMatrix local{};
    std::vector<kzoBone> children;
};

struct kzoJointTransform {
    std::string name;          // the bone's name, set by posing
    kzoMatrix bindMatrix{};    // fixed offset, applied before the bone's world matrix
    kzoMatrix finalMatrix{};   // bindMatrix . bone world matrix, from the last posing
};

// The track named poseName + "_" + bone name replaces that bone's local matrix
// frame by frame.
struct kzoSkeletonPose {
    std::string name;
    std::vector<float> times; // key times; posing does not read them
    std::vector<kzoMatrix> matrices;
};
