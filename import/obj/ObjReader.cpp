// The OBJ reader: lines in, an indexed mesh out. This file holds the general
// path, which reads every statement as the loader has always read it (keyword
// up to the first blank, values as runs of non-blanks, numbers through
// ParseFloat and ParseInt, a refusal naming file, line and text), and the
// faces: one mesh vertex per distinct corner, one polygon or a fan per face.

#include "import/obj/ObjReader.hpp"

#include "core/Fan.hpp"
#include "pelto/base/Parse.hpp"
#include "pelto/base/Support.hpp"

namespace {

// The length of the whole lines at the start of text: up to its last LF, or
// its last CR once the byte after it is known (a CR LF is one line end).
std::size_t wholeLines(std::string_view text)
{
    for (std::size_t i = text.size(); i-- > 0;)
        if (text[i] == '\n' || (text[i] == '\r' && i + 1 < text.size()))
            return i + 1;
    return 0;
}

} // namespace

peltoFailure kzoObjFailure(std::string message, const std::string& file, std::uint64_t line)
{
    peltoFailure failure;
    failure.message = std::move(message);
    failure.file = file;
    failure.line = line;
    return failure;
}

kzoObjReader::kzoObjReader(const std::string& fileName, std::int32_t materialIndex, kzoObjFaces faces)
    : fileName_(fileName), materialIndex_(materialIndex), faces_(faces)
{
    kzoInitObject(object_, fileName, materialIndex);
}

std::size_t kzoObjReader::readLines(std::string_view text, bool last)
{
    const std::size_t whole = last ? text.size() : wholeLines(text);
    const char* at = text.data();
    const char* const end = at + whole;
    while (at < end) {
        ++lineNumber_;
        const char* next = readPlainLine(at, end);
        at = next ? next : readGeneralLine(at, end);
    }
    return whole;
}

kzoObjLoad kzoObjReader::finish()
{
    if (shortFace_.corners != 0)
        throw kzoObjRefusal{kzoObjFailure(peltoPathTail(fileName_) + ":" + std::to_string(shortFace_.line) + ": face " +
                                              std::to_string(shortFace_.number) + " has " +
                                              std::to_string(shortFace_.corners) +
                                              (shortFace_.corners == 1 ? " corner" : " corners") +
                                              "; kzoWrite needs 3 or more",
                                          fileName_, shortFace_.line)};
    triangles_.flush();
    object_.polyCount = static_cast<std::int32_t>(kzoMeshPolyCount(object_.mesh));
    kzoObjLoad load;
    load.object = std::move(object_);
    load.materials = std::move(materials_);
    load.tally = tally_;
    return load;
}

const char* kzoObjReader::readGeneralLine(const char* at, const char* end)
{
    const char* lineEnd = at;
    while (lineEnd < end && !kzoObjLineEnd(*lineEnd))
        ++lineEnd;
    readLine({at, static_cast<std::size_t>(lineEnd - at)});
    return kzoObjNextLine(lineEnd, end);
}

void kzoObjReader::refuse(const std::string& reason) const
{
    throw kzoObjRefusal{
        kzoObjFailure(peltoPathTail(fileName_) + ":" + std::to_string(lineNumber_) + ": " + reason, fileName_, lineNumber_)};
}

void kzoObjReader::readLine(std::string_view line)
{
    const std::string_view keyword = kzoObjFirstRun(line);
    const std::size_t keywordEnd = keyword.size();
    kzoObjFields fields(line.substr(keywordEnd));
    if (keyword == "v" || keyword == "vn") {
        const std::string_view x = fields.next(), y = fields.next(), z = fields.next();
        (keyword == "v" ? positions_ : normals_).push_back(readVector(x, y, z, line));
    } else if (keyword == "vt") {
        const std::string_view u = fields.next(), v = fields.next();
        if (u.empty())
            refuse(kzoObjQuoted(line) + " needs a value");
        uvs_.push_back({ParseFloat(u), ParseFloat(v)});
    } else if (keyword == "f") {
        readFace(line.substr(keywordEnd), line);
    } else if (keyword == "usemtl") {
        useMaterial(kzoObjTrimmed(line.substr(keywordEnd)));
    } else if (keyword == "mtllib") {
        const std::string_view names = kzoObjTrimmed(line.substr(keywordEnd));
        if (!names.empty())
            materials_.libraries.push_back({std::string(names), lineNumber_});
    }
}

// The faces that follow use name ("" for none); it is noted as used when the
// first of them is read.
void kzoObjReader::useMaterial(std::string_view name)
{
    material_ = name;
    materialNoted_ = name.empty();
}

obj_tVector kzoObjReader::readVector(std::string_view x, std::string_view y, std::string_view z,
                                     std::string_view line) const
{
    if (z.empty())
        refuse(kzoObjQuoted(line) + " needs three values");
    return {ParseFloat(x), ParseFloat(y), ParseFloat(z)};
}

// A 1-based index into a list of count entries; negative ones count back from
// the last entry read so far.
std::int32_t kzoObjReader::resolve(std::string_view field, std::size_t count, const char* list,
                                   std::string_view corner) const
{
    const std::int64_t written = ParseInt(field);
    const std::int64_t index = written < 0 ? static_cast<std::int64_t>(count) + 1 + written : written;
    if (index < 1 || index > static_cast<std::int64_t>(count))
        refuse("face corner " + kzoObjQuoted(corner) + ": " + list + " index " + std::to_string(written) +
               " is outside the " + std::to_string(count) + " read so far");
    return static_cast<std::int32_t>(index);
}

// v, v/vt, v/vt/vn or v//vn; an empty texture or normal field is no index, so
// v/vt/ reads as v/vt and v/ or v// as v.
Tface kzoObjReader::readCorner(std::string_view corner) const
{
    constexpr std::size_t none = std::string_view::npos;
    const std::size_t slash1 = corner.find('/');
    const std::size_t slash2 = slash1 == none ? none : corner.find('/', slash1 + 1);
    if (slash2 != none && corner.find('/', slash2 + 1) != none)
        refuse("face corner " + kzoObjQuoted(corner) + " has more than three fields");
    const std::string_view vt =
        slash1 == none ? std::string_view{} : corner.substr(slash1 + 1, slash2 == none ? none : slash2 - slash1 - 1);
    const std::string_view vn = slash2 == none ? std::string_view{} : corner.substr(slash2 + 1);
    Tface face{resolve(corner.substr(0, slash1), positions_.size(), "position", corner), 0, 0};
    if (!vt.empty())
        face.uvIndex = resolve(vt, uvs_.size(), "texture", corner);
    if (!vn.empty())
        face.normalIndex = resolve(vn, normals_.size(), "normal", corner);
    return face;
}

void kzoObjReader::readFace(std::string_view corners, std::string_view line)
{
    kzoObjFields fields(corners);
    corners_.clear();
    for (std::string_view corner = fields.next(); !corner.empty(); corner = fields.next())
        corners_.push_back(readCorner(corner));
    if (corners_.empty())
        refuse(kzoObjQuoted(line) + " is a face without corners");
    if (faces_ == kzoObjFaces::Whole && corners_.size() > static_cast<std::size_t>(kzoMaxVertex))
        throw kzoObjRefusal{kzoObjFailure("kzoCreatePoly: v > kzoMaxVertex", fileName_, lineNumber_)};
    addFace();
}

void kzoObjReader::addFace()
{
    const std::size_t n = corners_.size();
    // Faces of up to kzoMaxVertex corners, nearly all, need no allocation.
    std::uint32_t few[kzoMaxVertex];
    if (n > std::size(few))
        faceVertices_.resize(n);
    std::uint32_t* const vertices = n > std::size(few) ? faceVertices_.data() : few;
    std::size_t withUV = 0;
    for (std::size_t i = 0; i < n; ++i) {
        vertices[i] = vertexOf(corners_[i]);
        withUV += corners_[i].uvIndex != 0 ? 1 : 0;
    }
    ++tally_.faces;
    tally_.cornersWithUV += withUV;
    if (withUV != n && tally_.facesWithoutUV++ == 0)
        tally_.firstFaceWithoutUVLine = lineNumber_;
    if (!materialNoted_)
        noteMaterial();
    if (faces_ == kzoObjFaces::Whole) {
        addPolygon(vertices, n);
    } else if (n < 3) {
        if (shortFace_.corners == 0)
            shortFace_ = {tally_.faces, n, lineNumber_};
    } else {
        kzoForEachFanTriangle(n, [&](std::size_t first, std::size_t second, std::size_t third) {
            const std::uint32_t triangle[3] = {vertices[first], vertices[second], vertices[third]};
            addPolygon(triangle, 3);
        });
    }
}

// The material in force, used by a face for the first time since its usemtl.
void kzoObjReader::noteMaterial()
{
    materialNoted_ = true;
    for (const kzoObjMaterialUse& use : materials_.used)
        if (use.name == material_)
            return;
    materials_.used.push_back({material_, lineNumber_});
}

// Made once per distinct (position, texture, normal) index triple, from the
// lists as they stand: equal indices always give an equal vertex.
std::uint32_t kzoObjReader::vertexOf(const Tface& c)
{
    const auto position = static_cast<std::uint32_t>(c.vertexIndex - 1);
    const std::uint64_t rest =
        std::uint64_t(static_cast<std::uint32_t>(c.uvIndex)) << 32 | static_cast<std::uint32_t>(c.normalIndex);
    std::uint32_t vertex = vertexKeys_.find(position, rest);
    if (vertex != kzoNoVertex)
        return vertex;
    if (detail_ == kzoNoVertex) {
        kzoVertexDetail white{};
        white.colour = {255, 255, 255, 255};
        detail_ = kzoMeshDetail(object_.mesh, white);
    }
    const obj_tVector& p = positions_[position];
    kzoVector2 texCoord{0.0f, 0.0f};
    if (c.uvIndex != 0) {
        const obj_tTVector& t = uvs_[static_cast<std::size_t>(c.uvIndex - 1)];
        texCoord = {t.u, 1.0f - t.v};
    }
    const obj_tVector n = c.normalIndex ? normals_[static_cast<std::size_t>(c.normalIndex - 1)] : obj_tVector{0, 0, 0};
    // The writer merges equal positions on all four components: one w for all.
    vertex = kzoMeshAppendVertexRow(object_.mesh, kzoMakeVector(p.x, p.y, p.z), texCoord,
                                    kzoMakeVector(n.x, n.y, n.z), detail_);
    vertexKeys_.add(position, rest, vertex);
    return vertex;
}

// Triangles wait in the batch for their normals; any other polygon (at most
// kzoMaxVertex corners: Whole refuses more) goes in after them, so that the
// order stays the file's.
void kzoObjReader::addPolygon(const std::uint32_t* corners, std::size_t count)
{
    if (count == 3) {
        triangles_.add(corners[0], corners[1], corners[2]);
        return;
    }
    triangles_.flush();
    const kzoVector* positions[kzoMaxVertex];
    for (std::size_t i = 0; i < count; ++i)
        positions[i] = &object_.mesh.positions[corners[i]];
    kzoMeshAppendPolygon(object_.mesh, {corners, count}, static_cast<std::int32_t>(count),
                         kzoPolygonNormal({positions, count}), materialIndex_);
}
