// show_assets.cpp: the handles the show draws with, looked up once.
#include "show/show_assets.h"

bool resolveShowAssets(ProgramRegistry& programs, TextureRegistry& textures, ShowAssets& assets, std::string& error)
{
    return findPrograms(programs, assets.programs, error) && findImages(textures, assets.images, error)
        && findRenderTargets(textures, assets.targets, error);
}
