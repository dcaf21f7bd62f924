// screen_quad.cpp: the textured full-screen quad and the eight-pass blur.
#include "gfx/screen_quad.h"

#include "gfx/gl_state.h"
#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"

namespace {

// The texture bound at colour attachment 0, where every blur pass draws.
TextureEntry* colourTexture(const RenderTarget& target) {
    for (const RenderAttachment& a : target.attachments) {
        if (a.point == GL_COLOR_ATTACHMENT0_EXT) return a.texture;
    }
    return nullptr;
}

void blurPass(TextureRegistry& textures, const RenderTarget& into, const UniformSlot* offsets,
              const std::array<float, 6>& values, std::string_view sourceKey) {
    TextureRegistry::bindRenderTarget(into);
    if (offsets) ProgramRegistry::setArray(*offsets, values.data(), 3);
    drawScreenQuad(textures, sourceKey, 1.0f, 1.0f);
    TextureRegistry::unbindRenderTarget();
}

std::string_view keyOf(const TextureEntry* texture) { return texture ? std::string_view(texture->key) : ""; }

}  // namespace

void pushScreenProjection() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void popScreenProjection() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void drawScreenQuad(TextureRegistry& textures, std::string_view key, float hw, float hh) {
    pushScreenProjection();

    setCullFace(false);
    setDepthTest(false);
    glDisable(GL_STENCIL_TEST);
    glEnable(GL_TEXTURE_2D);
    if (const TextureEntry* entry = textures.findTexture(key)) {
        glActiveTexture(GL_TEXTURE0);
        glEnable(entry->target);
        glBindTexture(entry->target, entry->glName);
    }

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
    glDisable(GL_TEXTURE_2D);

    popScreenProjection();
}

BlurOffsets blurOffsets(int width, int height, float strength) {
    const float a = strength / static_cast<float>(width);
    const float b = strength / static_cast<float>(height);
    return {{a, 0.0f, a * 2.0f, 0.0f, a * 3.0f, 0.0f}, {0.0f, b, 0.0f, b * 2.0f, 0.0f, b * 3.0f}};
}

void separableBlur(TextureRegistry& textures, ProgramRegistry& programs, RenderTarget& first, RenderTarget& second,
                   std::string_view sourceKey, float strength) {
    const BlurOffsets offsets = blurOffsets(first.width, first.height, strength);
    setBlend(Blend::Off);

    ProgramEntry* program = programs.findProgram("SEPBLUR");
    glUseProgram(program ? program->glProgram : 0);
    const UniformSlot* slot = program ? ProgramRegistry::findUniform(*program, "offsets") : nullptr;

    const std::string_view firstKey = keyOf(colourTexture(first));
    const std::string_view secondKey = keyOf(colourTexture(second));
    blurPass(textures, first, slot, offsets.horizontal, sourceKey);
    blurPass(textures, second, slot, offsets.vertical, firstKey);
    for (int i = 0; i < 3; ++i) {
        blurPass(textures, first, slot, offsets.horizontal, secondKey);
        blurPass(textures, second, slot, offsets.vertical, firstKey);
    }

    glUseProgram(0);
    glDisable(GL_TEXTURE_2D);
}
