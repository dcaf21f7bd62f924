// show_assets.cpp: the keys the show draws with, looked up once.
#include "scene/show_assets.h"

#include <string_view>

#include "gfx/program_registry.h"
#include "gfx/texture_registry.h"

namespace {

class Lookup {
public:
    Lookup(ProgramRegistry& programs, TextureRegistry& textures)
        : programs_(programs)
        , textures_(textures)
    {
    }

    const TextureEntry* texture(std::string_view key) { return noteMissing(textures_.findTexture(key), key); }
    const RenderTarget* target(std::string_view key) { return noteMissing(textures_.findRenderTarget(key), key); }
    ProgramEntry* program(std::string_view key) { return noteMissing(programs_.findProgram(key), key); }

    // A missing program has been noted already; its uniforms are not.
    const UniformSlot* uniform(ProgramEntry* program, std::string_view name)
    {
        if (!program)
            return nullptr;
        UniformSlot* slot = ProgramRegistry::findUniform(*program, name);
        if (!slot)
            missing_.push_back(program->key + "." + std::string(name));
        return slot;
    }

    TexturedProgram textured(std::string_view key)
    {
        ProgramEntry* entry = program(key);
        return {entry, uniform(entry, "tex"), uniform(entry, "pixelate")};
    }

    std::vector<std::string> takeMissing() { return std::move(missing_); }

private:
    template<typename T> T* noteMissing(T* found, std::string_view key)
    {
        if (!found)
            missing_.emplace_back(key);
        return found;
    }

    ProgramRegistry& programs_;
    TextureRegistry& textures_;
    std::vector<std::string> missing_;
};

}  // namespace

std::vector<std::string> resolveShowAssets(ProgramRegistry& programs, TextureRegistry& textures, ShowAssets& assets)
{
    Lookup find(programs, textures);

    assets.pp = find.textured("PP");
    assets.shadowPassTextured = find.textured("SHADOW_PASS_TEXTURED");
    ProgramEntry* shadowed = find.program("PP_SHADOWED");
    assets.ppShadowed = {shadowed, find.uniform(shadowed, "lightProjectionView"), find.uniform(shadowed, "shadowMap"),
        find.uniform(shadowed, "lightMap")};
    ProgramEntry* overlay = find.program("OVERLAY");
    assets.overlay = {overlay, find.uniform(overlay, "tex"), find.uniform(overlay, "bleedOffset"),
        find.uniform(overlay, "bleedStrength")};
    ProgramEntry* blur = find.program("SEPBLUR");
    assets.sepBlur = {blur, find.uniform(blur, "offsets")};

    assets.plus = find.texture("PLUS");
    assets.square = find.texture("SQUARE");
    assets.overlay1 = find.texture("OVERLAY1");
    assets.light = find.texture("LIGHT");
    for (size_t i = 0; i < kBannerWindows.size(); ++i)
        assets.banners[i] = find.texture(kBannerWindows[i].textureKey);
    for (size_t i = 0; i < kGreetingRows.size(); ++i)
        assets.greetings[i] = find.texture(kGreetingRows[i].textureKey);
    assets.defaultTarget1 = find.texture("DEFAULT_TARGET1");
    assets.defaultTarget2 = find.texture("DEFAULT_TARGET2");
    assets.blur2 = find.texture("BLUR2");
    assets.blur4 = find.texture("BLUR4");

    assets.rtDefault1 = find.target("RT_DEFAULT1");
    assets.rtDefault2 = find.target("RT_DEFAULT2");
    constexpr const char* kBlurTargetKeys[4] = {"RT_BLUR1", "RT_BLUR2", "RT_BLUR3", "RT_BLUR4"};
    for (size_t i = 0; i < assets.blurTargets.size(); ++i)
        assets.blurTargets[i] = find.target(kBlurTargetKeys[i]);
    return find.takeMissing();
}
