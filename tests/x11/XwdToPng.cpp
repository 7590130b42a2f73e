// Turns a window dump (xwd) into an RGB PNG, for the README's screenshot.
//   kzo_xwd_to_png IN.xwd OUT.png

#include <iostream>
#include <stdexcept>

#include "apps/png/PngFile.hpp"
#include "tests/support/Scratch.hpp"
#include "tests/x11/X11Harness.hpp"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: kzo_xwd_to_png IN.xwd OUT.png\n";
        return 2;
    }
    try {
        TestImage capture = decodeXwd(readFile(argv[1]));
        for (std::uint32_t& pixel : capture.pixels)
            pixel |= 0xFF000000u;
        const peltoImage image{capture.pixels.data(), capture.width, capture.height};
        kzoWritePngFile(argv[2], image);
    } catch (const std::runtime_error& e) {
        std::cerr << argv[1] << ": " << e.what() << '\n';
        return 1;
    }
    return 0;
}
