// screen_quad.cpp: the textured full-screen quad and the eight-pass blur.
#include "gfx/screen_quad.h"

#include "gfx/gl_state.h"
#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"

namespace {

// The texture bound at colour attachment 0, where every blur pass draws.
const TextureEntry* colourTexture(const RenderTarget& target)
{
    for (const RenderAttachment& a : target.attachments) {
        if (a.point == GL_COLOR_ATTACHMENT0_EXT)
            return a.texture;
    }
    return nullptr;
}

void blurPass(const RenderTarget& into, const UniformSlot* offsets, const std::array<float, 6>& values,
    const TextureEntry* source)
{
    RenderTargetScope target(&into);
    if (offsets)
        ProgramRegistry::setArray(*offsets, values.data(), 3);
    drawScreenQuad(source, 1.0f, 1.0f, Blend::Off);
}

}  // namespace

void pushScreenProjection()
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void popScreenProjection()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void drawScreenQuad(const TextureEntry* texture, float hw, float hh, Blend blend)
{
    pushScreenProjection();

    applyDrawState({.blend = blend, .texturing = Texturing::Unit0});
    if (texture)
        glBindTexture(texture->target, texture->glName);

    glBegin(GL_QUADS);
    glMultiTexCoord2f(GL_TEXTURE0, 0, 1);
    glVertex3f(-hw, hh, -1);
    glMultiTexCoord2f(GL_TEXTURE0, 1, 1);
    glVertex3f(hw, hh, -1);
    glMultiTexCoord2f(GL_TEXTURE0, 1, 0);
    glVertex3f(hw, -hh, -1);
    glMultiTexCoord2f(GL_TEXTURE0, 0, 0);
    glVertex3f(-hw, -hh, -1);
    glEnd();

    popScreenProjection();
}

BlurOffsets blurOffsets(int width, int height, float strength)
{
    const float a = strength / static_cast<float>(width);
    const float b = strength / static_cast<float>(height);
    return {{a, 0.0f, a * 2.0f, 0.0f, a * 3.0f, 0.0f}, {0.0f, b, 0.0f, b * 2.0f, 0.0f, b * 3.0f}};
}

void separableBlur(const BlurProgram& program, const RenderTarget& first, const RenderTarget& second,
    const TextureEntry* source, float strength)
{
    const BlurOffsets offsets = blurOffsets(first.width, first.height, strength);

    glUseProgram(program.entry ? program.entry->glProgram : 0);
    const UniformSlot* slot = program.entry ? program.offsets : nullptr;

    const TextureEntry* firstPicture = colourTexture(first);
    const TextureEntry* secondPicture = colourTexture(second);
    blurPass(first, slot, offsets.horizontal, source);
    blurPass(second, slot, offsets.vertical, firstPicture);
    for (int i = 0; i < 3; ++i) {
        blurPass(first, slot, offsets.horizontal, secondPicture);
        blurPass(second, slot, offsets.vertical, firstPicture);
    }

    glUseProgram(0);
}
