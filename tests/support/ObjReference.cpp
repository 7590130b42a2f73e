#include "tests/support/ObjReference.hpp"

#include <span>

#include "import/obj/ObjReader.hpp"
#include "pelto/base/ParseGeneral.hpp"
#include "pelto/base/Support.hpp"
#include "scene/Obj.hpp"

namespace {

struct Refused {
    std::string message;
};

struct Vector3 {
    float x, y, z;
};

struct Corner {
    std::int64_t position, uv, normal; // 1-based, uv and normal 0 when absent
};

// A face's vertices, and where it was.
struct Face {
    std::vector<kzoVertex> vertices;
    std::size_t number;
    std::size_t line;
};

class Reader {
public:
    Reader(const std::string& fileName, std::int32_t materialIndex, bool triangles, ObjReference& result)
        : fileName_(fileName), material_(materialIndex), triangles_(triangles), result_(result)
    {
    }

    // The faces in file order.
    std::vector<Face> read(std::string_view text)
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
        return std::move(faces_);
    }

private:
    [[noreturn]] void refuse(const std::string& reason) const
    {
        throw Refused{peltoPathTail(fileName_) + ":" + std::to_string(line_) + ": " + reason};
    }

    void readLine(std::string_view line)
    {
        const std::string_view keyword = kzoObjFirstRun(line);
        const std::size_t keywordEnd = keyword.size();
        kzoObjFields fields(line.substr(keywordEnd));
        if (keyword == "v" || keyword == "vn") {
            const std::string_view x = fields.next(), y = fields.next(), z = fields.next();
            if (z.empty())
                refuse(kzoObjQuoted(line) + " needs three values");
            (keyword == "v" ? positions_ : normals_)
                .push_back({peltoParseFloatGeneral(x), peltoParseFloatGeneral(y), peltoParseFloatGeneral(z)});
        } else if (keyword == "vt") {
            const std::string_view u = fields.next(), v = fields.next();
            if (u.empty())
                refuse(kzoObjQuoted(line) + " needs a value");
            uvs_.push_back({peltoParseFloatGeneral(u), peltoParseFloatGeneral(v)});
        } else if (keyword == "f") {
            readFace(fields, line);
        }
    }

    std::int64_t resolve(std::string_view field, std::size_t count, const char* list, std::string_view corner) const
    {
        const std::int64_t written = peltoParseIntGeneral(field);
        const std::int64_t index = written < 0 ? static_cast<std::int64_t>(count) + 1 + written : written;
        if (index < 1 || index > static_cast<std::int64_t>(count))
            refuse("face corner " + kzoObjQuoted(corner) + ": " + list + " index " + std::to_string(written) +
                   " is outside the " + std::to_string(count) + " read so far");
        return index;
    }

    Corner readCorner(std::string_view corner) const
    {
        std::vector<std::string_view> fields;
        std::size_t start = 0;
        for (std::size_t slash; (slash = corner.find('/', start)) != std::string_view::npos; start = slash + 1)
            fields.push_back(corner.substr(start, slash - start));
        fields.push_back(corner.substr(start));
        if (fields.size() > 3)
            refuse("face corner " + kzoObjQuoted(corner) + " has more than three fields");
        fields.resize(3);
        Corner c{resolve(fields[0], positions_.size(), "position", corner), 0, 0};
        if (!fields[1].empty())
            c.uv = resolve(fields[1], uvs_.size(), "texture", corner);
        if (!fields[2].empty())
            c.normal = resolve(fields[2], normals_.size(), "normal", corner);
        return c;
    }

    void readFace(kzoObjFields& fields, std::string_view line)
    {
        std::vector<Corner> corners;
        for (std::string_view corner = fields.next(); !corner.empty(); corner = fields.next())
            corners.push_back(readCorner(corner));
        if (corners.empty())
            refuse(kzoObjQuoted(line) + " is a face without corners");
        if (!triangles_ && corners.size() > static_cast<std::size_t>(kzoMaxVertex))
            throw Refused{"kzoCreatePoly: v > kzoMaxVertex"};
        Face face{std::vector<kzoVertex>(corners.size()), faces_.size() + 1, line_};
        std::size_t withUV = 0;
        for (std::size_t i = 0; i < corners.size(); ++i) {
            const Corner& c = corners[i];
            const Vector3& p = positions_[static_cast<std::size_t>(c.position - 1)];
            const kzoVector2 t = c.uv ? kzoVector2{uvs_[static_cast<std::size_t>(c.uv - 1)].x,
                                                   1.0f - uvs_[static_cast<std::size_t>(c.uv - 1)].y}
                                      : kzoVector2{0.0f, 0.0f};
            const Vector3 n = c.normal ? normals_[static_cast<std::size_t>(c.normal - 1)] : Vector3{0, 0, 0};
            kzoMakeVertex(face.vertices[i], p.x, p.y, p.z, n.x, n.y, n.z, t.x, t.y, 255, 255, 255, 255);
            face.vertices[i].position.w = 1.0f;
            withUV += c.uv ? 1 : 0;
        }
        result_.cornersWithUV += withUV;
        if (withUV != corners.size() && result_.facesWithoutUV++ == 0)
            result_.firstFaceWithoutUVLine = line_;
        faces_.push_back(std::move(face));
    }

    const std::string& fileName_;
    const std::int32_t material_;
    const bool triangles_;
    ObjReference& result_;
    std::vector<Face> faces_;
    std::size_t line_ = 0;
    std::vector<Vector3> positions_, normals_;
    std::vector<kzoVector2> uvs_;
};

kzoPoly polygonOf(std::span<const kzoVertex> vertices, std::int32_t materialIndex)
{
    kzoPoly poly{};
    kzoCreatePoly(poly, vertices, materialIndex);
    return poly;
}

// Each face becomes the fan (0, i, i + 1) made by kzoCreatePoly; the first
// face of 1 or 2 vertices is refused with its number and line.
std::vector<kzoPoly> fanSplit(const std::vector<Face>& faces, const std::string& name, std::int32_t materialIndex)
{
    for (const Face& face : faces)
        if (const std::size_t n = face.vertices.size(); n < 3)
            throw Refused{peltoPathTail(name) + ":" + std::to_string(face.line) + ": face " + std::to_string(face.number) +
                          " has " + std::to_string(n) + (n == 1 ? " corner" : " corners") +
                          "; kzoWrite needs 3 or more"};
    std::vector<kzoPoly> triangles;
    for (const Face& face : faces)
        for (std::size_t i = 1; i + 1 < face.vertices.size(); ++i) {
            const kzoVertex corners[3] = {face.vertices[0], face.vertices[i], face.vertices[i + 1]};
            triangles.push_back(polygonOf(corners, materialIndex));
        }
    return triangles;
}

} // namespace

ObjReference referenceOBJ(std::string_view text, const std::string& fileName, std::int32_t materialIndex,
                          bool triangles)
{
    ObjReference result;
    try {
        const std::vector<Face> faces = Reader(fileName, materialIndex, triangles, result).read(text);
        if (triangles) {
            result.polygons = fanSplit(faces, fileName, materialIndex);
        } else {
            // Through an object, as the loader's callers see polygons.
            kzoObject obj;
            kzoInitObject(obj, fileName, materialIndex);
            for (const Face& face : faces)
                kzoAddPoly(obj, polygonOf(face.vertices, materialIndex));
            for (std::size_t i = 0; i < kzoMeshPolyCount(obj.mesh); ++i)
                result.polygons.push_back(kzoMeshPoly(obj.mesh, i));
        }
    } catch (const Refused& refused) {
        result = {};
        result.failure = refused.message;
    }
    return result;
}
