// The scene file reader on arbitrary bytes, with a stub texture loader, then
// frames of whatever it accepted (no input; a drag, the wheel and a fit; the
// return to the start): no crash, no read outside the input, no leak. Fatal errors throw through the hook instead of ending the process.

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>

#include "fileio/FileImport.hpp"
#include "pelto/Log.hpp"
#include "render/FrameStep.hpp"

namespace {

struct FatalStop {};

void throwOnFatal(const std::string&)
{
    throw FatalStop{};
}

// Texture sizes follow the path so that quantised coordinates see several
// sizes; a path "0" gives an image without pixels.
void stubTexture(peltoImage& image, const std::string& path)
{
    if (path == "0")
        return;
    AllocImage(image, 1 + static_cast<std::uint32_t>(path.size() % 5), 1 + static_cast<std::uint32_t>(path.size() % 3));
    for (std::uint32_t i = 0; i < image.width * image.height; ++i)
        image.pixels[i] = 0xFF000000u | i;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static std::ostringstream discard;
    static const bool ready = [] {
        SetFatalErrorHook(throwOnFatal);
        std::cout.rdbuf(discard.rdbuf());
        return true;
    }();
    (void)ready;
    discard.str({});

    peltoImage frame;
    AllocImage(frame, 64, 36);
    kzoScene scene;
    try {
        if (kzoDecodeScene({data, size}, "fuzz.kzo", scene, frame, stubTexture)) {
            kzoAddViewerCamera(scene);
            kzoFrameStep(scene, peltoKeyState{}, frame, 0.0f);
            // The viewer's other controls on whatever geometry was accepted:
            // a drag, a wheel notch and a fit, then the return to the start.
            const kzoViewerStart start = kzoRememberStart(scene);
            kzoViewerInput input;
            input.keys[peltoKeyF] = 1;
            input.dragX = 7;
            input.dragY = -3;
            input.wheelNotches = -1;
            kzoFrameStep(scene, input, start, frame, 0.0f);
            input = {};
            input.keys[peltoKeyR] = 1;
            kzoFrameStep(scene, input, start, frame, 0.0f);
        }
    } catch (const FatalStop&) {
    }
    kzoFreeScene(scene);
    FreeImage(frame);
    return 0;
}
