// image_handles.cpp: the image lookups, expanded from the image table.
#include "gfx/image_handles.h"

#include <string_view>

#include "gfx/texture_registry.h"

namespace {

bool findImage(TextureRegistry& textures, std::string_view key, const TextureEntry*& texture, std::string& error)
{
    texture = textures.findTexture(key);
    if (!texture)
        error = "the texture " + std::string(key) + " is missing";
    return texture != nullptr;
}

}  // namespace

bool findImages(TextureRegistry& textures, ImageHandles& images, std::string& error)
{
#define BRINDLE_IMAGE(id, key, file, width, height, sampling, readPosition, painting, lettering)                       \
    if (!findImage(textures, key, images.textures[static_cast<size_t>(ImageId::id)], error))                           \
        return false;
#include "gfx/image_table.inc"
    return true;
}
