// show_assets.h: every program, texture and render target the show draws with,
// found once after loading instead of by key on every frame.
//
//     ShowAssets assets;
//     for (const std::string& key : resolveShowAssets(programs, textures, assets)) ...
//
// buildShowState does this for the show. A key that names nothing leaves its
// handle null, and a null handle behaves as a missing asset always has: a missing
// texture is not bound, a missing program skips its draws, a missing render
// target is not bound. The catalogue creates every key, so a missing one is a
// fault that the load test reports by name.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "gfx/program_handles.h"
#include "scene/schedule.h"

class ProgramRegistry;
class TextureRegistry;
struct RenderTarget;
struct TextureEntry;

struct ShowAssets {
    TexturedProgram pp;                  // "PP": the camera pass
    TexturedProgram shadowPassTextured;  // "SHADOW_PASS_TEXTURED": the shadow pass and the overlay
    ShadowedProgram ppShadowed;          // "PP_SHADOWED": the backdrop
    OverlayProgram overlay;              // "OVERLAY": the composite
    BlurProgram sepBlur;                 // "SEPBLUR"

    const TextureEntry* plus = nullptr;                                  // "PLUS"
    const TextureEntry* square = nullptr;                                // "SQUARE"
    const TextureEntry* overlay1 = nullptr;                              // "OVERLAY1"
    const TextureEntry* light = nullptr;                                 // "LIGHT"
    std::array<const TextureEntry*, kBannerCount> banners {};            // by BannerId
    std::array<const TextureEntry*, kGreetingRows.size()> greetings {};  // in greeting order
    // The passes' pictures: the shadow pass's, the camera pass's, the soft shadow map, the glow.
    const TextureEntry* defaultTarget1 = nullptr;  // "DEFAULT_TARGET1"
    const TextureEntry* defaultTarget2 = nullptr;  // "DEFAULT_TARGET2"
    const TextureEntry* blur2 = nullptr;           // "BLUR2"
    const TextureEntry* blur4 = nullptr;           // "BLUR4"

    const RenderTarget* rtDefault1 = nullptr;           // "RT_DEFAULT1"
    const RenderTarget* rtDefault2 = nullptr;           // "RT_DEFAULT2"
    std::array<const RenderTarget*, 4> blurTargets {};  // "RT_BLUR1" .. "RT_BLUR4"
};

// Looks every key up once and fills `assets`. Returns what named nothing, in
// lookup order: asset keys, and "PROGRAM.uniform" for unregistered uniforms.
std::vector<std::string> resolveShowAssets(ProgramRegistry& programs, TextureRegistry& textures, ShowAssets& assets);
