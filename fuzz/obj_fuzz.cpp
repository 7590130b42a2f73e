// libFuzzer target for the OBJ loader: any text either loads into an object
// whose polygons refer only to what the text defined, or is refused through
// FatalError, which the hook turns into an exception caught here.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "import/LoadOBJ.hpp"
#include "pelto/Log.hpp"

namespace {

struct Refused {};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool hooked = (SetFatalErrorHook([](const std::string&) { throw Refused{}; }), true);
    (void)hooked;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const kzoObject obj = kzoParseOBJ(text, "fuzz.obj", 3);
        check(obj.polyCount == static_cast<std::int32_t>(kzoMeshPolyCount(obj.mesh)));
        for (std::size_t f = 0; f < kzoMeshPolyCount(obj.mesh); ++f) {
            const kzoPoly poly = kzoMeshPoly(obj.mesh, f);
            check(poly.vertexCount >= 1 && poly.vertexCount <= kzoMaxVertex);
            check(poly.materialIndex == 3);
            for (int i = 0; i < poly.vertexCount; ++i)
                check(poly.vertices[i].position.w == 1.0f);
        }
    } catch (const Refused&) {
    }
    return 0;
}
