// program_texture.h: binds a texture for the program that is current.
//
// Every textured draw (banners, sprites, boxes, greeting cells, the composite
// and the overlay) binds its image the same way: texture unit 0, and the
// program's "tex" sampler pointed at unit 0. Its draw state turns texturing on:
//     applyDrawState({.blend = Blend::Alpha, .texturing = Texturing::Unit0});
//     bindProgramTexture(texture, program.tex);
#pragma once

#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"

// Binds `texture` on unit 0 and sets `sampler` (the program's "tex") to 0. A
// missing texture binds nothing and leaves the sampler as it was, so the draw
// uses whatever texture is already bound; a missing sampler still gets the binding.
void bindProgramTexture(const TextureEntry* texture, const UniformSlot* sampler);
