#include "pelto/display/Platform.hpp"

#include "pelto/base/Log.hpp"

namespace {
peltoPlatform* activePlatform = nullptr;
}

void peltoSetPlatform(peltoPlatform* platform)
{
    activePlatform = platform;
}

peltoPlatform& peltoActivePlatform()
{
    if (!activePlatform)
        FatalError("WinCreate failed");
    return *activePlatform;
}
