// grey_canvas.h: a floating-point grey picture to paint artwork on before it
// is quantised to the 256-level grey ramp of the .p images.
//
// Values are coverage/brightness in 0..1 (white-on-black artwork: the reader
// turns the grey level into alpha). Painting is plain arithmetic in a fixed
// order, so the same calls always give the same bytes.
//
// Usage:
//     GreyCanvas canvas(512, 512);
//     canvas.at(x, y) = std::max(canvas.at(x, y), coverage);
//     boxBlur(canvas, 3);
//     IndexedImage image = canvas.toIndexed();
#pragma once

#include <cstddef>
#include <vector>

#include "tools/palette_image_writer.h"

struct GreyCanvas {
    int width = 0;
    int height = 0;
    std::vector<float> values;  // row 0 first

    GreyCanvas() = default;
    GreyCanvas(int w, int h)
        : width(w)
        , height(h)
        , values(static_cast<size_t>(w) * static_cast<size_t>(h), 0.0f)
    {
    }
    float& at(int x, int y)
    {
        return values[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
    float at(int x, int y) const
    {
        return values[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }

    // Clamps to 0..1 and rounds to the nearest of 256 grey levels.
    IndexedImage toIndexed() const;
};

// 0 below edge0, 1 above edge1, a smooth cubic in between.
float smoothStep(float edge0, float edge1, float x);

// Box blur of the given radius along rows, then columns; edges clamp.
void boxBlur(GreyCanvas& canvas, int radius);

// Soft glow: three box-blur passes of `radius` scaled by `strength`, kept
// under the sharp picture (each pixel is the brighter of the two).
void addGlow(GreyCanvas& canvas, int radius, float strength);
