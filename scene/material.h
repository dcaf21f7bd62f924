// material.h: the colour and material every lit element is drawn with.
//
// Fixed-function lighting stays switched off: the material is written into GL
// state only so that the shaders read it through gl_FrontMaterial. Every element
// draw, and the show's backdrop, calls applyMaterial(paletteColour(state, slot),
// level) before it draws. materialFor computes the same values without a GL
// context.
#pragma once

#include <array>

#include "scene/vec.h"

// A material as handed to glColor4fv and glMaterialfv.
struct MaterialValues {
    std::array<float, 4> diffuse {};  // also the current colour
    std::array<float, 4> ambient {};
    std::array<float, 4> specular {};
    float shininess = 128.0f;
};

// Colour scaled by level (alpha = level); ambient and specular scale by level twice.
MaterialValues materialFor(const Rgba& colour, float level);

// Writes the material: glColor4fv, then ambient, diffuse, specular, shininess 128.
void applyMaterial(const Rgba& colour, float level);
