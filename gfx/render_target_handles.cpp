// render_target_handles.cpp: the target lookups, expanded from the render-target table.
#include "gfx/render_target_handles.h"

#include "gfx/texture_registry.h"

namespace {

bool findTarget(TextureRegistry& textures, std::string_view key, RenderTargetHandle& handle, std::string& error)
{
    const RenderTarget* target = textures.findRenderTarget(key);
    if (!target || target->attachments.empty()) {
        error = "the render target " + std::string(key) + " is missing";
        return false;
    }
    handle = {target, target->attachments.front().texture};
    return true;
}

}  // namespace

bool findRenderTargets(TextureRegistry& textures, RenderTargetHandles& handles, std::string& error)
{
#define BRINDLE_RENDER_TARGET(member, key, textureKey, size)                                                           \
    if (!findTarget(textures, key, handles.member, error))                                                             \
        return false;
#include "gfx/render_target_table.inc"
    return true;
}
