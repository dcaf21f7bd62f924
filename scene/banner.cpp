// banner.cpp: draws one banner quad.
#include "scene/banner.h"

#include "gfx/gl_api.h"
#include "gfx/gl_state.h"
#include "gfx/program_handles.h"
#include "gfx/program_texture.h"
#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"
#include "scene/material.h"

namespace {

struct BannerCorner {
    float s, t;
    float x, y;
};

// Top left, top right, bottom right, bottom left; the image's first row on top.
constexpr BannerCorner kCorners[4] = {
    {0.0f, 0.0f, -kBannerHalfWidth, kBannerHalfHeight},
    {1.0f, 0.0f, kBannerHalfWidth, kBannerHalfHeight},
    {1.0f, 1.0f, kBannerHalfWidth, -kBannerHalfHeight},
    {0.0f, 1.0f, -kBannerHalfWidth, -kBannerHalfHeight},
};

}  // namespace

void drawBanner(const TexturedProgram& program, const Rgba& colour, float fade, const TextureEntry* texture,
    float pixelate, const Vec4& position)
{
    applyMaterial(colour, fade);
    applyDrawState({.blend = Blend::Off, .texturing = Texturing::Unit0});

    bindProgramTexture(texture, program.tex);
    ProgramRegistry::setFloats(*program.pixelate, pixelate);

    glPushMatrix();
    glTranslatef(position.x, position.y, position.z);
    glBegin(GL_QUADS);
    for (const BannerCorner& c : kCorners) {
        glTexCoord2f(c.s, c.t);
        glNormal3f(0.0f, 0.0f, 1.0f);
        glVertex3f(c.x, c.y, 0.0f);
    }
    glEnd();
    glPopMatrix();
}
