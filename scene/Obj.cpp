#include "scene/Obj.hpp"

void kzoInitObject(kzoObject& obj, const std::string& name, std::int32_t materialIndex)
{
    obj.name = name;
    obj.polys.clear();
    obj.polyCount = 0;
    obj.materialIndex = materialIndex;
    obj.orientation = kzoIdentity();
    obj.placement = kzoIdentity();
    obj.jointCount = 0;
}

void kzoAddPoly(kzoObject& obj, const kzoPoly& poly)
{
    obj.polys.push_back(poly);
    obj.polyCount = static_cast<std::int32_t>(obj.polys.size());
    obj.renderPolys.resize(obj.polys.size());
}

void kzoClearObject(kzoObject& obj)
{
    obj.polys.clear();
    obj.polyCount = 0;
}
