#include "tests/support/SceneProbe.hpp"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace {

class Cursor {
public:
    explicit Cursor(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    std::size_t position() const { return at_; }

    [[noreturn]] void fail(const std::string& what) const
    {
        throw std::runtime_error("scene file: " + what + " at byte " + std::to_string(at_));
    }

    std::uint32_t unsignedValue(std::size_t size)
    {
        if (bytes_.size() - at_ < size)
            fail("truncated");
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < size; ++i)
            value |= std::uint32_t{bytes_[at_ + i]} << (8 * i);
        at_ += size;
        return value;
    }

    std::uint8_t u8() { return static_cast<std::uint8_t>(unsignedValue(1)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(unsignedValue(2)); }
    std::int32_t i32() { return static_cast<std::int32_t>(unsignedValue(4)); }
    float single() { return std::bit_cast<float>(unsignedValue(4)); }

    float number(bool fixed)
    {
        if (fixed)
            return static_cast<float>(static_cast<std::int16_t>(u16()) / 4096.0);
        return single();
    }

    std::string string()
    {
        std::string text;
        for (char c; (c = static_cast<char>(u8())) != 0;)
            text.push_back(c);
        skip((std::min<std::size_t>(text.size(), 255) + 1) % 4);
        return text;
    }

    void align() { skip(at_ % 4); }

    void skip(std::size_t count)
    {
        for (std::size_t i = 0; i < count; ++i)
            if (u8() != 0)
                fail("padding byte is not zero");
    }

    bool atEnd() const { return at_ == bytes_.size(); }

private:
    const std::vector<std::uint8_t>& bytes_;
    std::size_t at_ = 0;
};

ProbeMaterial probeMaterial(Cursor& in)
{
    ProbeMaterial m;
    m.name = in.string();
    m.red = in.u8();
    m.green = in.u8();
    m.blue = in.u8();
    m.hasTexture = in.u8();
    m.flags = in.u8();
    if (m.hasTexture != 0)
        m.textureFileName = in.string();
    in.align();
    return m;
}

ProbeObject probeObject(Cursor& in, const SceneProbe& scene)
{
    const bool fixed = scene.numberFormat == 4096;
    ProbeObject o;
    o.name = in.string();
    o.polyCount = in.i32();
    o.materialIndex = in.i32();
    const std::int32_t positionCount = in.i32();
    if (positionCount < 0)
        in.fail("negative position count");
    for (std::int32_t i = 0; i < positionCount; ++i) {
        const float x = in.number(fixed), y = in.number(fixed), z = in.number(fixed);
        o.positions.push_back({x, y, z});
    }
    in.align();
    const std::int32_t uvCount = in.i32();
    if (uvCount < 0)
        in.fail("negative UV count");
    for (std::int32_t i = 0; i < uvCount; ++i) {
        switch (scene.textureMode) {
        case 0: {
            const float u = in.number(fixed), v = in.number(fixed);
            o.uvs.push_back({u, v});
            break;
        }
        case 1: {
            const double u = in.u8(), v = in.u8();
            o.uvs.push_back({u, v});
            break;
        }
        case 2: {
            const double u = in.u16(), v = in.u16();
            o.uvs.push_back({u, v});
            break;
        }
        default:
            in.fail("unknown texture mode");
        }
    }
    for (std::int64_t i = 0; i < std::int64_t{o.polyCount} * 3; ++i) {
        const std::uint32_t p = scene.indexSize == 0 ? in.unsignedValue(4) : in.u16();
        const std::uint32_t t = scene.indexSize == 0 ? in.unsignedValue(4) : in.u16();
        if (p >= o.positions.size() || t >= o.uvs.size())
            in.fail("index outside its table");
        o.corners.push_back({p, t});
    }
    in.align();
    return o;
}

} // namespace

SceneProbe probeScene(const std::vector<std::uint8_t>& bytes)
{
    Cursor in(bytes);
    SceneProbe s;
    if (in.u8() != 'K' || in.u8() != 'Z' || in.u8() != 'O')
        in.fail("no magic");
    if (in.u8() != 1)
        in.fail("version is not 1");
    s.numberFormat = in.i32();
    if (s.numberFormat != 0 && s.numberFormat != 4096)
        in.fail("bad number format");
    s.indexSize = in.u8();
    s.textureMode = in.u8();
    s.zFactor = static_cast<std::int16_t>(in.u16());
    s.name = in.string();
    s.objectCount = in.u16();
    s.materialCount = in.u16();
    s.lightCount = in.u16();
    s.cameraCount = in.u16();
    in.align();
    for (int i = 0; i < s.materialCount; ++i)
        s.materials.push_back(probeMaterial(in));
    for (int i = 0; i < s.objectCount; ++i)
        s.objects.push_back(probeObject(in, s));
    in.align();
    if (!in.atEnd())
        in.fail("bytes after the end");
    return s;
}
