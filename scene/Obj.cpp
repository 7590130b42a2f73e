#include "scene/Obj.hpp"

void kzoInitObject(kzoObject& obj, const std::string& name, std::int32_t materialIndex)
{
    obj.name = name;
    kzoMeshClear(obj.mesh);
    obj.polyCount = 0;
    obj.materialIndex = materialIndex;
    obj.orientation = kzoIdentity();
    obj.placement = kzoIdentity();
    obj.jointCount = 0;
}

void kzoAddPoly(kzoObject& obj, const kzoPoly& poly)
{
    kzoMeshAddPoly(obj.mesh, poly);
    obj.polyCount = static_cast<std::int32_t>(kzoMeshPolyCount(obj.mesh));
}

void kzoClearObject(kzoObject& obj)
{
    kzoMeshClear(obj.mesh);
    obj.polyCount = 0;
}
