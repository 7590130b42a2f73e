#include "tests/support/SceneBytes.hpp"

#include <bit>

SceneFileBytes& SceneFileBytes::u8(std::uint8_t v)
{
    bytes.push_back(v);
    return *this;
}

SceneFileBytes& SceneFileBytes::u16(std::uint16_t v)
{
    bytes.push_back(static_cast<std::uint8_t>(v));
    bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    return *this;
}

SceneFileBytes& SceneFileBytes::u32(std::uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<std::uint8_t>(v >> shift));
    return *this;
}

SceneFileBytes& SceneFileBytes::f32(float v)
{
    return u32(std::bit_cast<std::uint32_t>(v));
}

SceneFileBytes& SceneFileBytes::str(const std::string& text)
{
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.push_back(0);
    const std::size_t kept = std::min<std::size_t>(text.size(), 255);
    bytes.insert(bytes.end(), (kept + 1) % 4, 0);
    return *this;
}

SceneFileBytes& SceneFileBytes::align()
{
    bytes.insert(bytes.end(), bytes.size() % 4, 0);
    return *this;
}

SceneFileBytes& SceneFileBytes::header(std::int32_t numberFormat, std::uint8_t indexSize, std::uint8_t textureMode,
                                       std::int16_t zFactor)
{
    return u8('K').u8('Z').u8('O').u8(1).i32(numberFormat).u8(indexSize).u8(textureMode).i16(zFactor);
}

SceneFileBytes& SceneFileBytes::sceneSection(const std::string& name, std::uint16_t objects, std::uint16_t materials)
{
    return str(name).u16(objects).u16(materials).u16(0).u16(0).align();
}

SceneFileBytes& SceneFileBytes::material(const std::string& name, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                                         const std::string& texturePath, std::uint8_t flags)
{
    str(name).u8(r).u8(g).u8(b).u8(texturePath.empty() ? 0 : 1).u8(flags);
    if (!texturePath.empty())
        str(texturePath);
    return align();
}
