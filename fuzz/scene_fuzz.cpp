// The scene file reader on arbitrary bytes, with a stub texture loader, then
// frames of whatever it accepted (no input; a drag, the wheel and a fit; the
// return to the start): no crash, no read outside the input, no leak; a
// refusal is a value naming the file. Fatal errors of the frame step throw
// through the hook instead of ending the process.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "apps/viewer/FrameStep.hpp"
#include "fileio/FileImport.hpp"
#include "pelto/base/Log.hpp"

namespace {

struct FatalStop {};

void throwOnFatal(const std::string&)
{
    throw FatalStop{};
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// Texture sizes follow the path so that quantised coordinates see several
// sizes; a path "0" gives an image without pixels, a path "1" a
// texture that does not load.
kzoImageFile stubTexture(const std::string& path)
{
    kzoImageFile file;
    file.status = kzoImageFileStatus::Loaded;
    if (path == "0")
        return file;
    if (path == "1") {
        file.status = kzoImageFileStatus::Refused;
        file.message = "1: not a picture";
        return file;
    }
    peltoImage& image = file.image;
    AllocImage(image, 1 + static_cast<std::uint32_t>(path.size() % 5), 1 + static_cast<std::uint32_t>(path.size() % 3));
    for (std::uint32_t i = 0; i < image.width * image.height; ++i)
        image.pixels[i] = 0xFF000000u | i;
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static std::ostringstream discard;
    static const bool ready = [] {
        peltoSetFatalErrorHook(throwOnFatal);
        std::cout.rdbuf(discard.rdbuf());
        return true;
    }();
    (void)ready;
    discard.str({});

    peltoImage frame;
    AllocImage(frame, 64, 36);
    kzoScene scene;
    try {
        const kzoSceneLoad load = kzoDecodeScene({data, size}, "fuzz.kzo", scene, frame, stubTexture);
        if (load) {
            for (const kzoObject& obj : scene.objects) {
                check(obj.polyCount == static_cast<std::int32_t>(kzoMeshPolyCount(obj.mesh)));
                for (std::size_t i = 0; i < kzoMeshPolyCount(obj.mesh); ++i)
                    check(obj.mesh.vertexCounts[i] == 3 && kzoMeshCorners(obj.mesh, i).size() == 3);
                for (const std::uint32_t v : obj.mesh.corners)
                    check(v < kzoMeshVertexCount(obj.mesh));
            }
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
        } else if (load.fault == kzoSceneFault::Texture) {
            check(load.failure->message == "1: not a picture");
        } else {
            check(load.fault == kzoSceneFault::Malformed && load.failure->file == "fuzz.kzo" &&
                  load.failure->byteOffset >= 0 && static_cast<std::size_t>(load.failure->byteOffset) <= size);
        }
    } catch (const FatalStop&) {
    }
    kzoFreeScene(scene);
    FreeImage(frame);
    return 0;
}
