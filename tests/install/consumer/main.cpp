// Draws one triangle with the installed engine: a scene bound to a small
// frame, the viewer's camera, a fit and one frame step.

#include <iostream>

#include "apps/viewer/FrameStep.hpp"
#include "scene/Scene.hpp"

int main()
{
    peltoImage frame;
    AllocImage(frame, 64, 36);
    kzoScene scene;
    kzoInitScene(scene, "consumer", frame, true);
    kzoObject triangle;
    kzoInitObject(triangle, "triangle", 0);
    kzoPoly polygon{};
    std::vector<kzoVertex> corners(3);
    const float points[3][2] = {{-1, -1}, {1, -1}, {0, 1}};
    for (int i = 0; i < 3; ++i) {
        corners[i].position.w = 1.0f;
        kzoMakeVertex(corners[i], points[i][0], points[i][1], 0, 0, 0, 1, 0, 0, 255, 255, 255, 255);
    }
    kzoCreatePoly(polygon, corners, 0);
    kzoAddPoly(triangle, polygon);
    kzoAddObject(scene, std::move(triangle));
    kzoAddViewerCamera(scene);

    kzoViewerInput input;
    input.keys[peltoKeyF] = 1;
    kzoFrameStep(scene, input, kzoRememberStart(scene), frame, 0.0f);
    int drawn = 0;
    for (std::uint32_t i = 0; i < frame.width * frame.height; ++i)
        drawn += frame.pixels[i] != 0 ? 1 : 0;
    std::cout << "kzo consumer: " << drawn << " pixels drawn\n";
    kzoFreeScene(scene);
    FreeImage(frame);
    return drawn > 0 ? 0 : 1;
}
