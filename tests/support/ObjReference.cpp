#include "tests/support/ObjReference.hpp"

#include "import/ObjReader.hpp"
#include "pelto/ParseGeneral.hpp"
#include "pelto/Support.hpp"
#include "scene/Obj.hpp"

namespace {

struct Refused {
    std::string message;
};

struct Vector3 {
    float x, y, z;
};

struct Corner {
    std::int64_t position, uv, normal; // 1-based, normal 0 when absent
};

class Reader {
public:
    Reader(const std::string& fileName, std::int32_t materialIndex) : fileName_(fileName), material_(materialIndex)
    {
        kzoInitObject(object_, fileName, materialIndex);
    }

    kzoObject read(std::string_view text)
    {
        std::size_t at = 0;
        while (at < text.size()) {
            std::size_t end = at;
            while (end < text.size() && text[end] != '\n' && text[end] != '\r')
                ++end;
            ++line_;
            readLine(text.substr(at, end - at));
            if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n')
                ++end;
            at = end + 1;
        }
        return std::move(object_);
    }

private:
    [[noreturn]] void refuse(const std::string& reason) const
    {
        throw Refused{PathTail(fileName_) + ":" + std::to_string(line_) + ": " + reason};
    }

    void readLine(std::string_view line)
    {
        std::size_t keywordEnd = 0;
        while (keywordEnd < line.size() && !kzoObjBlank(line[keywordEnd]))
            ++keywordEnd;
        const std::string_view keyword = line.substr(0, keywordEnd);
        kzoObjFields fields(line.substr(keywordEnd));
        if (keyword == "v" || keyword == "vn") {
            const std::string_view x = fields.next(), y = fields.next(), z = fields.next();
            if (z.empty())
                refuse(kzoObjQuoted(line) + " needs three values");
            (keyword == "v" ? positions_ : normals_)
                .push_back({ParseFloatGeneral(x), ParseFloatGeneral(y), ParseFloatGeneral(z)});
        } else if (keyword == "vt") {
            const std::string_view u = fields.next(), v = fields.next();
            if (u.empty())
                refuse(kzoObjQuoted(line) + " needs a value");
            uvs_.push_back({ParseFloatGeneral(u), ParseFloatGeneral(v)});
        } else if (keyword == "f") {
            readFace(fields, line);
        }
    }

    std::int64_t resolve(std::string_view field, std::size_t count, const char* list, std::string_view corner) const
    {
        const std::int64_t written = ParseIntGeneral(field);
        const std::int64_t index = written < 0 ? static_cast<std::int64_t>(count) + 1 + written : written;
        if (index < 1 || index > static_cast<std::int64_t>(count))
            refuse("face corner " + kzoObjQuoted(corner) + ": " + list + " index " + std::to_string(written) +
                   " is outside the " + std::to_string(count) + " read so far");
        return index;
    }

    Corner readCorner(std::string_view corner) const
    {
        const std::size_t slash1 = corner.find('/');
        const std::size_t slash2 = slash1 == std::string_view::npos ? slash1 : corner.find('/', slash1 + 1);
        if (slash1 == std::string_view::npos || slash2 == slash1 + 1)
            refuse("face corner " + kzoObjQuoted(corner) + " has no texture index (kzoWrite needs v/vt or v/vt/vn)");
        if (slash2 != std::string_view::npos && corner.find('/', slash2 + 1) != std::string_view::npos)
            refuse("face corner " + kzoObjQuoted(corner) + " has more than three fields");
        const std::string_view v = corner.substr(0, slash1);
        const std::string_view vt =
            corner.substr(slash1 + 1, slash2 == std::string_view::npos ? slash2 : slash2 - slash1 - 1);
        Corner c{resolve(v, positions_.size(), "position", corner), resolve(vt, uvs_.size(), "texture", corner), 0};
        if (slash2 != std::string_view::npos)
            c.normal = resolve(corner.substr(slash2 + 1), normals_.size(), "normal", corner);
        return c;
    }

    void readFace(kzoObjFields& fields, std::string_view line)
    {
        std::vector<Corner> corners;
        for (std::string_view corner = fields.next(); !corner.empty(); corner = fields.next())
            corners.push_back(readCorner(corner));
        if (corners.empty())
            refuse(kzoObjQuoted(line) + " is a face without corners");
        if (corners.size() > static_cast<std::size_t>(kzoMaxVertex))
            throw Refused{"kzoCreatePoly: v > kzoMaxVertex"};
        std::vector<kzoVertex> vertices(corners.size());
        for (std::size_t i = 0; i < corners.size(); ++i) {
            const Corner& c = corners[i];
            const Vector3& p = positions_[static_cast<std::size_t>(c.position - 1)];
            const kzoVector2& t = uvs_[static_cast<std::size_t>(c.uv - 1)];
            const Vector3 n = c.normal ? normals_[static_cast<std::size_t>(c.normal - 1)] : Vector3{0, 0, 0};
            kzoMakeVertex(vertices[i], p.x, p.y, p.z, n.x, n.y, n.z, t.x, 1.0f - t.y, 255, 255, 255, 255);
            vertices[i].position.w = 1.0f;
        }
        kzoPoly poly{};
        kzoCreatePoly(poly, vertices, material_);
        kzoAddPoly(object_, poly);
    }

    const std::string& fileName_;
    const std::int32_t material_;
    kzoObject object_;
    std::size_t line_ = 0;
    std::vector<Vector3> positions_, normals_;
    std::vector<kzoVector2> uvs_;
};

// Each polygon of 4 to 8 vertices becomes the fan (0, i, i + 1) made by
// kzoCreatePoly; 1 or 2 vertices are refused with the face's number.
std::vector<kzoPoly> fanSplit(const std::vector<kzoPoly>& faces, const std::string& name)
{
    std::vector<kzoPoly> triangles;
    for (std::size_t f = 0; f < faces.size(); ++f) {
        const kzoPoly& face = faces[f];
        const int n = face.vertexCount;
        if (n < 3)
            throw Refused{PathTail(name) + ": face " + std::to_string(f + 1) + " has " + std::to_string(n) +
                          (n == 1 ? " corner" : " corners") + "; kzoWrite converts faces of 3 to 8 corners"};
        if (n == 3) {
            triangles.push_back(face);
            continue;
        }
        for (int i = 1; i + 1 < n; ++i) {
            const kzoVertex corners[3] = {face.vertices[0], face.vertices[i], face.vertices[i + 1]};
            kzoPoly triangle{};
            kzoCreatePoly(triangle, corners, face.materialIndex);
            triangles.push_back(triangle);
        }
    }
    return triangles;
}

} // namespace

ObjReference referenceOBJ(std::string_view text, const std::string& fileName, std::int32_t materialIndex,
                          bool triangles)
{
    ObjReference result;
    try {
        const kzoObject obj = Reader(fileName, materialIndex).read(text);
        for (std::size_t i = 0; i < kzoMeshPolyCount(obj.mesh); ++i)
            result.polygons.push_back(kzoMeshPoly(obj.mesh, i));
        if (triangles)
            result.polygons = fanSplit(result.polygons, fileName);
    } catch (const Refused& refused) {
        result.polygons.clear();
        result.failure = refused.message;
    }
    return result;
}
