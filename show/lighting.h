// lighting.h: the show's one point light, element materials, the light's view for
// the shadow pass and the shadowed floor and back wall.
//
// Fixed-function lighting stays switched off: light 0 and the material are written
// into GL state only so that the shaders read them through gl_LightSource[0] and
// gl_FrontMaterial. Usage:
//   - every element draw calls applyMaterial(paletteColour(state, slot), level);
//   - the timeline calls setupLight(level) with the modelview at the identity, and
//     setupLightView(matrices) for the shadow pass (it pushes one projection and
//     one modelview matrix, which the caller pops);
//   - the frame driver calls drawShadowedBackdrop(state) into the window.
// materialFor, lightFor and lightMatricesFromConstants compute the same values
// without a GL context, for tests and for anyone who only needs the numbers.
#pragma once

#include <array>

#include "scene/vec.h"

struct ShowState;

using Matrix4 = std::array<float, 16>;  // column-major, as GL stores matrices

constexpr Matrix4 kIdentityMatrix = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// A material as handed to glColor4fv and glMaterialfv.
struct MaterialValues {
    std::array<float, 4> diffuse{};   // also the current colour
    std::array<float, 4> ambient{};
    std::array<float, 4> specular{};
    float shininess = 128.0f;
};

// Light 0 as handed to glLightfv / glLightf.
struct LightValues {
    std::array<float, 4> ambient{};
    std::array<float, 4> diffuse{};
    std::array<float, 4> specular{};
    std::array<float, 4> position{};  // eye coordinates (given with identity modelview)
    float constantAttenuation = 0.0f;
    float linearAttenuation = 0.0f;
    float quadraticAttenuation = 0.0f;
};

// The light's view, kept from the shadow pass for the backdrop's shadow lookup.
struct LightMatrices {
    Matrix4 projection = kIdentityMatrix;
    Matrix4 view = kIdentityMatrix;
    Matrix4 projectionView = kIdentityMatrix;  // projection x view
};

// Colour scaled by level (alpha = level); ambient and specular scale by level twice.
MaterialValues materialFor(const Rgba& colour, float level);

// Light 0's colours scaled by lightLevel (1 normally, dipped on a beat).
LightValues lightFor(float lightLevel);

// a x b for column-major matrices: element (c, r) = sum_k a(k, r) * b(c, k).
Matrix4 multiplyMatrices(const Matrix4& a, const Matrix4& b);

// The light's orthographic projection and look-at view built from the constants,
// with projectionView filled in; equal to what setupLightView reads back from GL.
LightMatrices lightMatricesFromConstants();

// Writes the material: glColor4fv, then ambient, diffuse, specular, shininess 128.
void applyMaterial(const Rgba& colour, float level);

// Writes light 0 (ambient, diffuse, specular, position, three attenuations).
void setupLight(float lightLevel);

// Pushes the projection and modelview matrices, loads the light's orthographic
// view, and reads the matrices back into `matrices`. Leaves GL_MODELVIEW current.
void setupLightView(LightMatrices& matrices);

// Draws the lit floor and back wall with the soft shadows of texture "BLUR2"
// into the bound framebuffer, from the camera in state.frame. Missing "BLUR2" or
// "LIGHT" textures are skipped; program "PP_SHADOWED" must exist.
void drawShadowedBackdrop(ShowState& state);
