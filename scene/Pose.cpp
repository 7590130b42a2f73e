#include <algorithm>

#include "pelto/base/Log.hpp"
#include "scene/Obj.hpp"

std::int32_t kzoFindBone(const kzoObject& obj, const std::string& boneName)
{
    for (std::size_t i = 0; i < obj.boneNames.size(); ++i)
        if (obj.boneNames[i] == boneName)
            return static_cast<std::int32_t>(i);
    LogAndPrint(obj.name + " Bone " + boneName + " not found!");
    return -1;
}

namespace {

// name == prefix + "_" + suffix, without building the joined string: posing
// runs every frame and allocates nothing.
bool isTrackName(const std::string& name, const std::string& prefix, const std::string& suffix)
{
    return name.size() == prefix.size() + 1 + suffix.size() && name.compare(0, prefix.size(), prefix) == 0
           && name[prefix.size()] == '_' && name.compare(prefix.size() + 1, suffix.size(), suffix) == 0;
}

// The bone's local matrix at frame: the first track named poseName_bone drives
// it; a frame outside the track takes the nearest frame it has.
const kzoMatrix& localMatrix(const kzoObject& obj, const kzoBone& node, std::int32_t frame)
{
    for (const kzoSkeletonPose& track : obj.poses) {
        if (!isTrackName(track.name, obj.poseName, node.name))
            continue;
        if (track.matrices.empty())
            return node.local;
        const auto last = static_cast<std::int64_t>(track.matrices.size()) - 1;
        return track.matrices[static_cast<std::size_t>(std::clamp<std::int64_t>(frame, 0, last))];
    }
    return node.local;
}

} // namespace

void kzoPoseBone(kzoObject& obj, const kzoBone& node, const kzoMatrix& parentWorld, std::int32_t frame)
{
    const kzoMatrix world = kzoMatMul(localMatrix(obj, node, frame), parentWorld);
    const std::int32_t j = kzoFindBone(obj, node.name);
    if (j >= 0 && static_cast<std::size_t>(j) < obj.joints.size()) {
        kzoJointTransform& joint = obj.joints[static_cast<std::size_t>(j)];
        joint.name = node.name;
        joint.finalMatrix = kzoMatMul(joint.bindMatrix, world);
    }
    for (const kzoBone& child : node.children)
        kzoPoseBone(obj, child, world, frame);
}

void kzoPoseSkeleton(kzoObject& obj, std::int32_t frame)
{
    if (obj.rootBone)
        kzoPoseBone(obj, *obj.rootBone, kzoIdentity(), frame);
}
