// texture_registry.h: named textures and framebuffer render targets.
//
// Every texture and off-screen target is created once at start-up and then
// reached by its key. Usage:
//     TextureEntry& t = textures.addTexture("PLUS", 512, 512, rgba, GL_NEAREST, GL_NEAREST, Mipmaps::Chain);
//     textures.addRenderTarget("RT_BLUR1", *textures.findTexture("BLUR1"));
//     PassScope pass({.target = textures.findRenderTarget("RT_BLUR1")});  // gfx/gl_state.h
// Keys compare byte for byte (case-sensitive); of two entries with one key the
// earlier is always found. The pixels live in GL only: nothing keeps a copy
// once they are uploaded. Entries never move: a reference or pointer handed out
// stays valid until destroyTextures() or the registry's destruction.
// Creation, binding and destroyTextures() need the GL context current; the
// destructor frees memory only and makes no GL call.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "gfx/gl_api.h"

// The levels a texture is uploaded with. None: one level (glTexImage2D);
// Chain: the full chain (gluBuild2DMipmaps), unless the minification filter
// reads level 0 only and GLU would store it unchanged.
enum class Mipmaps { None, Chain };

struct TextureEntry {
    std::string key;
    int width = 0, height = 0;
    GLuint glName = 0;
    GLenum minFilter = GL_LINEAR, magFilter = GL_LINEAR;
    GLenum wrap = GL_CLAMP_TO_EDGE;  // both S and T
    GLenum target = GL_TEXTURE_2D;
    Mipmaps mipmaps = Mipmaps::None;
};

struct RenderAttachment {
    TextureEntry* texture;  // not owned: it stays in the texture list
    GLenum point;           // GL_COLOR_ATTACHMENT0_EXT, GL_COLOR_ATTACHMENT1_EXT
};

struct RenderTarget {
    std::string key;
    int width = 0, height = 0;  // taken from the texture given at creation
    GLuint fbo = 0;
    std::vector<RenderAttachment> attachments;  // in attachment order, colour attachment 0 first
    GLenum attachTarget = GL_TEXTURE_2D;
};

class TextureRegistry {
public:
    TextureRegistry() = default;
    TextureRegistry(const TextureRegistry&) = delete;
    TextureRegistry& operator=(const TextureRegistry&) = delete;

    // Repeating texture: GL_REPEAT, GL_LINEAR_MIPMAP_LINEAR / GL_LINEAR, Mipmaps::Chain.
    // `rgbaOrNull` is w x h x 4 bytes, read during the call, or null for an
    // all-zero texture. The new texture stays bound on the active unit.
    TextureEntry& addMipmappedTexture(std::string_view key, int w, int h, const uint8_t* rgbaOrNull);
    // Clamped texture (GL_CLAMP_TO_EDGE) with the given filters and levels.
    TextureEntry& addTexture(std::string_view key, int w, int h, const uint8_t* rgbaOrNull, GLenum minFilter,
        GLenum magFilter, Mipmaps mipmaps = Mipmaps::None);
    // Returns null if missing; first match wins.
    TextureEntry* findTexture(std::string_view key);

    // Framebuffer around `texture` at colour attachment 0; size copied from the
    // texture. Leaves the framebuffer and the texture bound.
    RenderTarget& addRenderTarget(std::string_view key, TextureEntry& texture);
    // glCheckFramebufferStatusEXT for `target`, GL_FRAMEBUFFER_COMPLETE_EXT when
    // it can be drawn into. Leaves its framebuffer bound.
    static GLenum completeness(const RenderTarget& target);
    // Returns null if missing; first match wins.
    RenderTarget* findRenderTarget(std::string_view key);

    // Deletes every GL texture and framebuffer once, then forgets every entry.
    void destroyTextures();

    size_t textureCount() const { return textures_.size(); }
    size_t renderTargetCount() const { return targets_.size(); }

private:
    TextureEntry& createTexture(std::string_view key, int w, int h, const uint8_t* rgbaOrNull, GLenum wrap,
        GLenum minFilter, GLenum magFilter, Mipmaps mipmaps);

    std::deque<TextureEntry> textures_;
    std::deque<RenderTarget> targets_;
};
