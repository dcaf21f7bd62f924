// Binds a draw's texture to unit 0 for the current program.
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
