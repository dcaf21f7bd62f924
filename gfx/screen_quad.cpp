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

void blurPass(const BlurProgram& program, const RenderTarget& into, const std::array<float, 6>& values,
    const TextureEntry* source)
{
    PassScope pass({.target = &into, .program = program.entry});
    if (program.offsets)
        ProgramRegistry::setArray(*program.offsets, values.data(), 3);
    drawScreenQuad(source, 1.0f, 1.0f, Blend::Off);
}

}  // namespace

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

    const TextureEntry* firstPicture = colourTexture(first);
    const TextureEntry* secondPicture = colourTexture(second);
    blurPass(program, first, offsets.horizontal, source);
    blurPass(program, second, offsets.vertical, firstPicture);
    for (int i = 0; i < 3; ++i) {
        blurPass(program, first, offsets.horizontal, secondPicture);
        blurPass(program, second, offsets.vertical, firstPicture);
    }
}
