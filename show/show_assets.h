// show_assets.h: every program, texture and render target the show draws with,
// found once after loading instead of by key on every frame.
//
//     ShowAssets assets;
//     if (!resolveShowAssets(programs, textures, assets, error)) { report error; stop; }
//
// The programs and render targets come from their tables (program_handles.h,
// render_target_handles.h); the image textures are found by the keys of the
// show's schedule. Any that is missing stops the show before its first frame,
// so every handle of a resolved ShowAssets is set.
#pragma once

#include <array>
#include <string>

#include "gfx/program_handles.h"
#include "gfx/render_target_handles.h"
#include "scene/schedule.h"

class ProgramRegistry;
class TextureRegistry;
struct TextureEntry;

struct ShowAssets {
    ProgramHandles programs;
    RenderTargetHandles targets;

    const TextureEntry* plus = nullptr;                                  // "PLUS"
    const TextureEntry* square = nullptr;                                // "SQUARE"
    const TextureEntry* overlay1 = nullptr;                              // "OVERLAY1"
    const TextureEntry* light = nullptr;                                 // "LIGHT"
    std::array<const TextureEntry*, kBannerCount> banners {};            // by BannerId
    std::array<const TextureEntry*, kGreetingRows.size()> greetings {};  // in greeting order
};

// Looks every key up once and fills `assets`. False at the first that names
// nothing, with `error` one line naming it.
bool resolveShowAssets(ProgramRegistry& programs, TextureRegistry& textures, ShowAssets& assets, std::string& error);
