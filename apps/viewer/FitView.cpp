#include "apps/viewer/FitView.hpp"

#include <algorithm>
#include <cmath>

namespace {

// The far side of a fitted object stays within half the farthest visible
// depth, its near side beyond twice the nearest: room to move it either way.
constexpr double farShare = 0.5;
constexpr double nearFactor = 2.0;

struct Point {
    double x, y, z;
};

// The world point that view maps to v: view = world . R + s, so world = (v - s) . R^T.
Point worldOfViewPoint(const kzoMatrix& view, const Point& v)
{
    const double d[3] = {v.x - view[3][0], v.y - view[3][1], v.z - view[3][2]};
    double w[3];
    for (int column = 0; column < 3; ++column)
        w[column] = d[0] * view[column][0] + d[1] * view[column][1] + d[2] * view[column][2];
    return {w[0], w[1], w[2]};
}

} // namespace

bool kzoOrientedBounds(const kzoObject& object, kzoBoundingSphere& sphere)
{
    const std::vector<kzoVector>& positions = object.mesh.positions;
    if (positions.empty())
        return false;
    // Two passes that turn each vertex again rather than keep a turned copy:
    // a fit held down for many frames allocates nothing.
    const auto turned = [&](const kzoVector& p) { return kzoTransform(object.orientation, {p.x, p.y, p.z, 1.0f}); };
    const kzoVector first = turned(positions[0]);
    float low[3] = {first.x, first.y, first.z};
    float high[3] = {first.x, first.y, first.z};
    for (const kzoVector& position : positions) {
        const kzoVector p = turned(position);
        const float c[3] = {p.x, p.y, p.z};
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], c[axis]);
            high[axis] = std::max(high[axis], c[axis]);
        }
    }
    for (int axis = 0; axis < 3; ++axis)
        sphere.centre[axis] = (static_cast<double>(low[axis]) + static_cast<double>(high[axis])) * 0.5;
    double largest = 0;
    for (const kzoVector& position : positions) {
        const kzoVector p = turned(position);
        const double dx = p.x - sphere.centre[0], dy = p.y - sphere.centre[1], dz = p.z - sphere.centre[2];
        largest = std::max(largest, dx * dx + dy * dy + dz * dz);
    }
    sphere.radius = std::sqrt(largest);
    return true;
}

kzoDepthRange kzoVisibleDepths(const kzoViewPort& viewPort)
{
    const kzoMatrix& p = viewPort.projection;
    const double near = viewPort.near, far = viewPort.far;
    // A view point at depth d (z = -d): clip w = -d . p[2][3], clip z = p[3][2] - d . p[2][2].
    const double w = p[2][3], slope = -static_cast<double>(p[2][2]), offset = p[3][2];
    return {std::max(near / w, (near - offset) / slope), std::min(far / w, (far - offset) / slope)};
}

kzoMatrix kzoFitPlacement(const kzoObject& object, const kzoMatrix& view, const kzoViewPort& viewPort)
{
    kzoBoundingSphere sphere;
    // A single point, or coordinates beyond the float range, give nothing to fit.
    if (!kzoOrientedBounds(object, sphere) || !(sphere.radius > 0) || !std::isfinite(sphere.radius))
        return object.placement;
    const double tanHalf = static_cast<double>(viewPort.projection[2][3]) / viewPort.projection[1][1];
    const double t = kzoFitHeightShare * tanHalf;
    const double r = sphere.radius;
    const double distance = r * std::sqrt(1.0 + t * t) / t;

    const Point eye = worldOfViewPoint(view, {0, 0, 0});
    const Point target = worldOfViewPoint(view, {0, 0, -distance});
    const double move[3] = {target.x - sphere.centre[0], target.y - sphere.centre[1], target.z - sphere.centre[2]};

    const kzoDepthRange depths = kzoVisibleDepths(viewPort);
    double k = 1.0;
    if (distance + r > farShare * depths.farthest)
        k = farShare * depths.farthest / (distance + r);
    else if (distance - r < nearFactor * depths.nearest)
        k = nearFactor * depths.nearest / (distance - r);

    // Scaled about the eye: world = eye + k . (turned + move - eye).
    kzoMatrix placement = kzoIdentity();
    const double eyeAt[3] = {eye.x, eye.y, eye.z};
    for (int axis = 0; axis < 3; ++axis) {
        if (k != 1.0)
            placement[axis][axis] = static_cast<float>(k);
        placement[3][axis] = static_cast<float>(k * move[axis] + (1.0 - k) * eyeAt[axis]);
    }
    return placement;
}
