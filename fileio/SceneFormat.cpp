#include "fileio/SceneFormat.hpp"

std::string_view kzoIndexSizeName(kzoIndexSize size)
{
    switch (size) {
    case kzoIndexSize4Byte:
        return "kzoIndexSize4Byte";
    case kzoIndexSize2byte:
        return "kzoIndexSize2byte";
    }
    return "";
}

std::string_view kzoTextureModeName(kzoTextureMode mode)
{
    switch (mode) {
    case kzoTextureModeFloat:
        return "kzoTextureModeFloat";
    case kzoTextureMode8Bit:
        return "kzoTextureMode8Bit";
    case kzoTextureMode16Bit:
        return "kzoTextureMode16Bit";
    }
    return "";
}
