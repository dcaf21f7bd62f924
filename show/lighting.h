// lighting.h: the show's one point light, the light's view for the shadow pass
// and the shadowed floor and back wall.
//
// Fixed-function lighting stays switched off: light 0 is written into GL state
// only so that the shaders read it through gl_LightSource[0]; the elements'
// materials are in scene/material.h. Usage:
//   - the timeline calls setupLight(level) with the modelview at the identity, and
//     setupLightView(matrices) for the shadow pass, whose scope saved the
//     matrices it loads (Matrices::Saved in gfx/gl_state.h);
//   - the frame driver's backdrop pass calls drawShadowedBackdrop(show).
// lightFor computes light 0's values without a GL context.
#pragma once

#include <array>

#include "scene/vec.h"

struct ShowFrameState;

// Light 0 as handed to glLightfv / glLightf.
struct LightValues {
    std::array<float, 4> ambient {};
    std::array<float, 4> diffuse {};
    std::array<float, 4> specular {};
    std::array<float, 4> position {};  // eye coordinates (given with identity modelview)
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

// Light 0's colours scaled by lightLevel (1 normally, dipped on a beat).
LightValues lightFor(float lightLevel);

// Writes light 0 (ambient, diffuse, specular, position, three attenuations).
void setupLight(float lightLevel);

// Loads the light's orthographic view into the projection and modelview
// matrices and reads them back into `matrices`. Leaves GL_MODELVIEW current.
void setupLightView(LightMatrices& matrices);

// Draws the lit floor and back wall with the soft shadows of texture "BLUR2",
// from the camera in show.frame, with the "LIGHT" texture of show.assets, into
// the pass its caller opened: program "PP_SHADOWED" current, texturing on
// units 0 and 1 and every other switch off, the modelview saved.
void drawShadowedBackdrop(ShowFrameState& show);
