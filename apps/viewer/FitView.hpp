#pragma once
// Fit to view: the placement that puts an object's bounding sphere on the view
// axis, at the distance where it fills 80 % of the frame height. It reads the
// object, the view and the viewport's projection; it changes nothing itself.

#include "render/viewport/ViewPort.hpp"
#include "scene/Obj.hpp"

// The bounding sphere of the object's vertices as its orientation turns them
// (points (x, y, z, 1) . orientation, in single precision): the centre of their
// axis-aligned box and, in double precision, the largest distance from it to a
// vertex. Deterministic and cheap; not the smallest enclosing sphere.
struct kzoBoundingSphere {
    double centre[3] = {0, 0, 0};
    double radius = 0;
};
// False for an object without vertices.
bool kzoOrientedBounds(const kzoObject& object, kzoBoundingSphere& sphere);

// The view depths (distances in front of the eye) that the projection keeps:
// clip z within near .. far and clip w within -far .. -near.
struct kzoDepthRange {
    double nearest = 0;
    double farthest = 0;
};
kzoDepthRange kzoVisibleDepths(const kzoViewPort& viewPort);

// The share of the frame height the fitted sphere's outline fills.
inline constexpr double kzoFitHeightShare = 0.8;

// The placement that fits object, seen through view (a rigid view matrix, row
// 3 the translation) and viewPort's projection:
//   tanHalf = projection[2][3] / projection[1][1], the tangent of half the
//     vertical field of view (a view point (0, y, -d) reaches the top edge at
//     y / d = tanHalf);
//   the sphere's outline, a cone from the eye with half-angle atan(0.8 tanHalf),
//     fills 80 % of the height at the distance D = r . sqrt(1 + T^2) / T with
//     T = 0.8 tanHalf;
//   the placement is the translation that takes the sphere's centre to the view
//     point (0, 0, -D), computed in double precision and rounded to float.
// When that sphere would reach beyond half the farthest visible depth, or
// nearer than twice the nearest, the placement also scales the object about
// the eye by k, so that its far side lands at half the farthest depth (or its
// near side at twice the nearest): the picture is the same, the depths fit.
// Without vertices, or with a sphere of radius 0 or beyond the float range,
// the placement stays.
kzoMatrix kzoFitPlacement(const kzoObject& object, const kzoMatrix& view, const kzoViewPort& viewPort);
