// The fast path of the OBJ reader: "v", "vt", "vn" and "f" lines of plain
// numbers (peltoParseFloatPrefix) and plain indices inside the lists (every corner
// form), read while the line is scanned once. Anything else, including every line the general path
// would refuse, gives null with nothing changed, and the line goes the general
// way; tests and the fuzz target hold both to the plain per-polygon route.

#include "import/obj/ObjReader.hpp"
#include "pelto/base/Parse.hpp"

namespace {

// The next value of a line: at its end (present false), a plain number ending
// at a blank or the line's end, or null for anything else.
const char* plainValue(const char* at, const char* end, float& value, bool& present)
{
    while (at < end && kzoObjBlank(*at))
        ++at;
    present = at < end && !kzoObjLineEnd(*at);
    if (!present)
        return at;
    at += peltoParseFloatPrefix({at, static_cast<std::size_t>(end - at)}, value);
    return at == end || kzoObjBlank(*at) || kzoObjLineEnd(*at) ? at : nullptr;
}

// A plain index (an optional minus, 1 to 9 digits) into a list of count
// entries, negative ones counted back from its end; null when it is not one or
// lies outside.
const char* plainIndex(const char* at, const char* end, std::size_t count, std::int32_t& index)
{
    std::int32_t written = 0;
    const std::size_t length = peltoParseIntPrefix({at, static_cast<std::size_t>(end - at)}, written);
    const std::int64_t resolved = written < 0 ? static_cast<std::int64_t>(count) + 1 + written : written;
    if (length == 0 || resolved < 1 || resolved > static_cast<std::int64_t>(count))
        return nullptr;
    index = static_cast<std::int32_t>(resolved);
    return at + length;
}

// After a plain index: true when at is at a blank, the line's end or the end.
bool fieldEnds(const char* at, const char* end)
{
    return at == end || kzoObjBlank(*at) || kzoObjLineEnd(*at);
}

} // namespace

const char* kzoObjReader::readPlainLine(const char* at, const char* end)
{
    const std::size_t size = static_cast<std::size_t>(end - at);
    if (size >= 2 && at[0] == 'v' && kzoObjBlank(at[1]))
        return readPlainVector(at + 2, end, positions_);
    if (size >= 3 && at[0] == 'v' && at[1] == 'n' && kzoObjBlank(at[2]))
        return readPlainVector(at + 3, end, normals_);
    if (size >= 3 && at[0] == 'v' && at[1] == 't' && kzoObjBlank(at[2]))
        return readPlainUV(at + 3, end);
    if (size >= 2 && at[0] == 'f' && kzoObjBlank(at[1]))
        return readPlainFace(at + 2, end);
    return nullptr;
}

const char* kzoObjReader::readPlainVector(const char* at, const char* end, std::vector<obj_tVector>& list)
{
    obj_tVector v;
    bool present = false;
    for (float* value : {&v.x, &v.y, &v.z})
        if (!(at = plainValue(at, end, *value, present)) || !present)
            return nullptr;
    list.push_back(v);
    return kzoObjNextLine(at, end);
}

const char* kzoObjReader::readPlainUV(const char* at, const char* end)
{
    obj_tTVector uv{0.0f, 0.0f}; // v is 0 when missing
    bool present = false;
    if (!(at = plainValue(at, end, uv.u, present)) || !present || !(at = plainValue(at, end, uv.v, present)))
        return nullptr;
    uvs_.push_back(uv);
    return kzoObjNextLine(at, end);
}

// Corners v, v/vt, v/vt/vn, v//vn, and those with an empty last field (v/,
// v//, v/vt/), as the general path reads them.
const char* kzoObjReader::readPlainFace(const char* at, const char* end)
{
    corners_.clear();
    for (;;) {
        while (at < end && kzoObjBlank(*at))
            ++at;
        if (at == end || kzoObjLineEnd(*at))
            break;
        Tface c{0, 0, 0};
        if (!(at = plainIndex(at, end, positions_.size(), c.vertexIndex)))
            return nullptr;
        // An index that is not plain stops here; an empty field is no index.
        if (at < end && *at == '/') {
            if (const char* next = plainIndex(++at, end, uvs_.size(), c.uvIndex))
                at = next;
            else if (!fieldEnds(at, end) && *at != '/')
                return nullptr;
            if (at < end && *at == '/') {
                if (const char* next = plainIndex(++at, end, normals_.size(), c.normalIndex))
                    at = next;
                else if (!fieldEnds(at, end))
                    return nullptr;
            }
        }
        if (!fieldEnds(at, end))
            return nullptr;
        corners_.push_back(c);
    }
    if (corners_.empty() || (faces_ == kzoObjFaces::Whole && corners_.size() > static_cast<std::size_t>(kzoMaxVertex)))
        return nullptr;
    addFace();
    return kzoObjNextLine(at, end);
}
