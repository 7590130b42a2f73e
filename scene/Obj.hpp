#pragma once
// The engine's object: a named indexed mesh of polygons in model space, the
// material it belongs to, the two matrices that place it (orientation acts
// first, then placement) and an optional skeleton.

#include <cstdint>
#include <string>
#include <vector>

#include "core/Core.hpp"
#include "core/Mesh.hpp"
#include "scene/Skeleton.hpp"

struct kzoObject {
    std::string name;
    std::int32_t polyCount = 0;
    kzoMesh mesh;                       // the polygons, polyCount of them
    std::int32_t materialIndex = 0;     // what the scene file stores; each polygon has its own
    std::string poseName;               // prefix of this object's track names
    std::vector<std::string> boneNames; // boneNames[i] is the bone of joint i
    const kzoBone* rootBone = nullptr;
    std::vector<kzoJointTransform> joints;
    std::int32_t jointCount = 0; // posed and skinned only when at least 1
    std::vector<kzoSkeletonPose> poses;
    kzoMatrix orientation{};
    kzoMatrix placement{};
};

// A valid empty object with identity matrices and no joints in use. The pose
// name, bone names, root, joints and tracks are left as they were.
void kzoInitObject(kzoObject& obj, const std::string& name, std::int32_t materialIndex);

// Appends a full copy of poly (kzoMeshAddPoly: equal vertices are stored once).
void kzoAddPoly(kzoObject& obj, const kzoPoly& poly);

// Drops the polygons; nothing else changes.
void kzoClearObject(kzoObject& obj);

// Index of the first joint whose bone is named boneName (exact, case-sensitive).
// A missing bone logs and prints "<object> Bone <name> not found!" and gives -1.
std::int32_t kzoFindBone(const kzoObject& obj, const std::string& boneName);

// Poses node and its descendants, depth first: world = local . parentWorld,
// where local is the rest matrix or, when a track poseName_bone exists (the
// first one wins), its matrix for frame (clamped to the track's frames); then
// joints[j].finalMatrix = joints[j].bindMatrix . world for the bone's joint j.
void kzoPoseBone(kzoObject& obj, const kzoBone& node, const kzoMatrix& parentWorld, std::int32_t frame);

// kzoPoseBone from the root with the identity; nothing without a root.
void kzoPoseSkeleton(kzoObject& obj, std::int32_t frame);
