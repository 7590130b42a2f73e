#pragma once
// The span rasterizer: fills a clipped, projected polygon row by row into the
// viewport's frame buffer with a depth test and a perspective-correct,
// nearest-texel texture lookup, or with one flat colour. No blending.

#include <cstdint>

#include "core/Poly.hpp"
#include "pelto/base/Image.hpp"
#include "render/pipeline/FillRow.hpp"
#include "render/viewport/ViewPort.hpp"

// Draws polygon, whose vertices must lie inside the viewport's clip rectangle
// (a polygon with a vertex outside it, or of no vertices, draws nothing).
// Spans are half-open [left, right) and rows [top, bottom): the polygon's last
// column and row are never written. A pixel is written only when its depth is
// strictly greater than the buffer's (nearer); equal depth keeps what is there.
// Texel (column, row) = round((width - 1) x u, (height - 1) x v), wrapped into
// the texture so that coordinates outside 0..1 repeat it.
// The viewport is read-only here; its depth buffer, side tables and frame
// pixels are shared storage and are written through it.
void kzoFillPoly(const kzoPoly& polygon, const peltoImage& texture, const kzoViewPort& viewPort);

// The same coverage and depth test, every drawn pixel set to colour: for
// polygons whose material has no texture.
void kzoFillPolyColour(const kzoPoly& polygon, std::uint32_t colour, const kzoViewPort& viewPort);

// True when the image holds pixels to sample (pixels present, width and height not 0).
inline bool kzoHasPixels(const peltoImage& image)
{
    return image.pixels != nullptr && image.width != 0 && image.height != 0;
}

// What a polygon is filled with: the texture when there is one, else the colour.
struct kzoSurface {
    const peltoImage* texture; // null, or an image with pixels
    std::uint32_t colour;
};

// kzoFillPoly or kzoFillPolyColour by the surface, with the given row kernels
// (the plain pipeline passes the reference ones).
void kzoFillSurface(const kzoPoly& polygon, const kzoSurface& surface, const kzoViewPort& viewPort,
                    const kzoRowKernels& rows);

// The same fill for a triangle of projected vertices (the indexed route), read
// where they are: copies made just before would be read back as wider loads
// than they were written with, which stalls store forwarding.
void kzoFillScreenTriangle(const kzoScreenVertex* const (&corners)[3], const kzoSurface& surface,
                           const kzoViewPort& viewPort, const kzoRowKernels& rows);
