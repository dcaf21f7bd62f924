#include "gfx/program_texture.h"

void bindProgramTexture(TextureRegistry& textures, ProgramEntry& program, std::string_view key)
{
    TextureEntry* texture = textures.findTexture(key);
    if (!texture)
        return;
    glActiveTexture(GL_TEXTURE0);
    glEnable(texture->target);
    glBindTexture(texture->target, texture->glName);
    if (UniformSlot* sampler = ProgramRegistry::findUniform(program, "tex"))
        ProgramRegistry::setInt(*sampler, 0);
}
