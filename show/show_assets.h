// show_assets.h: every program, image and render target the show draws with,
// found once after loading instead of by key on every frame.
//
//     ShowAssets assets;
//     if (!resolveShowAssets(programs, textures, assets, error)) { report error; stop; }
//
// All three come from their tables (program_handles.h, image_handles.h,
// render_target_handles.h). Any that is missing stops the show before its
// first frame, so every handle of a resolved ShowAssets is set.
#pragma once

#include <string>

#include "gfx/image_handles.h"
#include "gfx/program_handles.h"
#include "gfx/render_target_handles.h"

class ProgramRegistry;
class TextureRegistry;

struct ShowAssets {
    ProgramHandles programs;
    ImageHandles images;
    RenderTargetHandles targets;
};

// Looks every key up once and fills `assets`. False at the first that names
// nothing, with `error` one line naming it.
bool resolveShowAssets(ProgramRegistry& programs, TextureRegistry& textures, ShowAssets& assets, std::string& error);
