#include "gfx/program_texture.h"

void bindProgramTexture(const TextureEntry* texture, const UniformSlot* sampler)
{
    if (!texture)
        return;
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(texture->target, texture->glName);
    if (sampler)
        ProgramRegistry::setInt(*sampler, 0);
}
