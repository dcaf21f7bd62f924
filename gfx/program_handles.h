// program_handles.h: the catalogue's programs together with the uniform slots
// the show sets, found once after loading so that no draw looks a name up.
//
// A null `entry` means the program is missing: the draws that need it are
// skipped. A null slot means the uniform was never registered: it is left as it
// was. Slots stay valid as long as no uniform is added to their program.
#pragma once

struct ProgramEntry;
struct UniformSlot;

// "PP" and "SHADOW_PASS_TEXTURED": the camera and shadow passes' element program.
struct TexturedProgram {
    const ProgramEntry* entry = nullptr;
    const UniformSlot* tex = nullptr;
    const UniformSlot* pixelate = nullptr;
};

// "PP_SHADOWED": the lit, shadowed floor and back wall.
struct ShadowedProgram {
    const ProgramEntry* entry = nullptr;
    const UniformSlot* lightProjectionView = nullptr;
    const UniformSlot* shadowMap = nullptr;
    const UniformSlot* lightMap = nullptr;
};

// "OVERLAY": the camera picture with its chromatic bleed, and the glow.
struct OverlayProgram {
    const ProgramEntry* entry = nullptr;
    const UniformSlot* tex = nullptr;
    const UniformSlot* bleedOffset = nullptr;
    const UniformSlot* bleedStrength = nullptr;
};

// "SEPBLUR": the separable blur.
struct BlurProgram {
    const ProgramEntry* entry = nullptr;
    const UniformSlot* offsets = nullptr;
};
