#include "pelto/base/Image.hpp"

#include <cstdlib>

#include "pelto/base/Log.hpp"

bool peltoTryAllocImage(peltoImage& image, std::uint32_t width, std::uint32_t height)
{
    image = {nullptr, width, height};
    const std::uint64_t count = std::uint64_t{width} * height;
    if (count == 0)
        return true;
    // calloc checks count x 4 for overflow and hands back zeroed pages.
    image.pixels = static_cast<std::uint32_t*>(std::calloc(count, sizeof(std::uint32_t)));
    if (!image.pixels)
        image = {};
    return image.pixels != nullptr;
}

void AllocImage(peltoImage& image, std::uint32_t width, std::uint32_t height)
{
    if (!peltoTryAllocImage(image, width, height))
        FatalError("Unable to AllocImage!");
}

void FreeImage(peltoImage& image)
{
    std::free(image.pixels);
    image.pixels = nullptr;
}
