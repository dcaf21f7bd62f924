// show_assets.cpp: the handles the show draws with, looked up once.
#include "show/show_assets.h"

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

bool resolveShowAssets(ProgramRegistry& programs, TextureRegistry& textures, ShowAssets& assets, std::string& error)
{
    if (!findPrograms(programs, assets.programs, error) || !findRenderTargets(textures, assets.targets, error))
        return false;
    bool found = findImage(textures, "PLUS", assets.plus, error) && findImage(textures, "SQUARE", assets.square, error)
        && findImage(textures, "OVERLAY1", assets.overlay1, error) && findImage(textures, "LIGHT", assets.light, error);
    for (size_t i = 0; found && i < kBannerWindows.size(); ++i)
        found = findImage(textures, kBannerWindows[i].textureKey, assets.banners[i], error);
    for (size_t i = 0; found && i < kGreetingRows.size(); ++i)
        found = findImage(textures, kGreetingRows[i].textureKey, assets.greetings[i], error);
    return found;
}
