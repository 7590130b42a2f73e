#pragma once
// Hand-built scene files: little-endian fields, strings with their padding and
// the format's alignment step, for reader tests and fuzz seeds.

#include <cstdint>
#include <string>
#include <vector>

struct SceneFileBytes {
    std::vector<std::uint8_t> bytes;

    SceneFileBytes& u8(std::uint8_t v);
    SceneFileBytes& u16(std::uint16_t v);
    SceneFileBytes& i16(std::int16_t v) { return u16(static_cast<std::uint16_t>(v)); }
    SceneFileBytes& u32(std::uint32_t v);
    SceneFileBytes& i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }
    SceneFileBytes& f32(float v);
    // Characters, a zero byte, then (length + 1) mod 4 zero bytes.
    SceneFileBytes& str(const std::string& text);
    // (position mod 4) zero bytes.
    SceneFileBytes& align();

    // "KZO", version 1, number format (0 or 4096), index size, texture mode, Z factor.
    SceneFileBytes& header(std::int32_t numberFormat, std::uint8_t indexSize, std::uint8_t textureMode,
                           std::int16_t zFactor);
    // Name, the four counts, alignment.
    SceneFileBytes& sceneSection(const std::string& name, std::uint16_t objects, std::uint16_t materials);
    // Name, r, g, b, has texture, flags, the path when textured, alignment.
    SceneFileBytes& material(const std::string& name, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                             const std::string& texturePath, std::uint8_t flags = 1);
};
