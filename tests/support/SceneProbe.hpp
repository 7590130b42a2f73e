#pragma once
// A test-only decoder of the scene file, written from the byte layout alone so
// that writer tests do not depend on the engine's reader. It decodes every
// field and throws std::runtime_error naming the byte offset where the bytes
// stop making sense (truncation, trailing bytes, an index outside its table).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct ProbeMaterial {
    std::string name;
    std::uint8_t red = 0, green = 0, blue = 0;
    std::uint8_t hasTexture = 0;
    std::uint8_t flags = 0;
    std::string textureFileName;
};

struct ProbeObject {
    std::string name;
    std::int32_t polyCount = 0;
    std::int32_t materialIndex = 0;
    std::vector<std::array<float, 3>> positions; // decoded from fixed or Single
    std::vector<std::array<double, 2>> uvs;       // float modes decoded; quantised modes the raw steps
    std::vector<std::array<std::uint32_t, 2>> corners; // (position index, UV index), 3 per triangle
};

struct SceneProbe {
    std::int32_t numberFormat = 0; // 0 or 4096
    std::uint8_t indexSize = 0;
    std::uint8_t textureMode = 0;
    std::int16_t zFactor = 0;
    std::string name;
    std::uint16_t objectCount = 0, materialCount = 0, lightCount = 0, cameraCount = 0;
    std::vector<ProbeMaterial> materials;
    std::vector<ProbeObject> objects;
};

SceneProbe probeScene(const std::vector<std::uint8_t>& bytes);
