// screen_quad.h: full-screen texture quads and the separable Gaussian blur.
//
// drawScreenQuad draws a texture as a rectangle in normalised device
// coordinates (1, 1 covers the viewport) whatever the current matrices, with
// the given blending, 2D texturing on unit 0 and every other draw switch off;
// the texture's t = 0 row lands at the bottom, so render-target pictures show
// upright. It leaves the matrices as they were and GL_MODELVIEW selected; the
// program and the colour stay as the caller set them. A missing (null) texture
// draws with whatever texture is bound on unit 0.
//
// separableBlur runs the blur program ("SEPBLUR") eight times, unblended,
// alternating horizontal passes into `first` and vertical passes into `second`
// (same size), with taps `strength` texels of `first` apart. Afterwards `second`
// holds the fully blurred picture; the program is 0 and the window framebuffer
// is bound with the viewport restored.
#pragma once

#include <array>

#include "gfx/gl_state.h"
#include "gfx/program_handles.h"

struct RenderTarget;
struct TextureEntry;

void drawScreenQuad(const TextureEntry* texture, float hw, float hh, Blend blend);

// A missing program blurs with program 0 (fixed function); a missing source
// texture blurs whatever is bound.
void separableBlur(const BlurProgram& program, const RenderTarget& first, const RenderTarget& second,
    const TextureEntry* source, float strength);

// The three vec2 tap offsets of one pass: horizontal (a, 0), (2a, 0), (3a, 0)
// with a = strength / width, or vertical (0, b), (0, 2b), (0, 3b) with
// b = strength / height; single-precision arithmetic.
struct BlurOffsets {
    std::array<float, 6> horizontal;
    std::array<float, 6> vertical;
};
BlurOffsets blurOffsets(int width, int height, float strength);
