// render_target_handles.h: the catalogue's render targets with their colour
// textures, found once after loading so that no pass looks a key up.
//
//     RenderTargetHandles targets;
//     if (!findRenderTargets(textures, targets, error)) { report error; stop; }
//     PassScope pass({.target = targets.blur1.target});
//     drawScreenQuad(targets.frame.picture, 1.0f, 1.0f, Blend::Off);
//
// One member per row of gfx/render_target_table.inc, so a target the table
// lacks does not compile. A found handle has both pointers set; a default one
// has neither.
#pragma once

#include <string>

class TextureRegistry;
struct RenderTarget;
struct TextureEntry;

struct RenderTargetHandle {
    const RenderTarget* target = nullptr;
    const TextureEntry* picture = nullptr;  // what the target draws into
};

struct RenderTargetHandles {
#define BRINDLE_RENDER_TARGET(member, key, textureKey, size) RenderTargetHandle member;
#include "gfx/render_target_table.inc"
};

// Finds every target of the table and its texture. False at the first that is
// missing, with `error` one line naming it.
bool findRenderTargets(TextureRegistry& textures, RenderTargetHandles& handles, std::string& error);
