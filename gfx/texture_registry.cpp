// texture_registry.cpp: texture upload, framebuffer creation and keyed lookup.
#include "gfx/texture_registry.h"

#include <GL/glu.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

bool isPowerOfTwo(int n) { return n > 0 && (n & (n - 1)) == 0; }

// A minification filter without mipmaps samples level 0 alone, and GLU uploads
// a power-of-two image within the size limit to level 0 unchanged: the rest of
// the chain would be built, stored and never read.
bool chainIsRead(int w, int h, GLenum minFilter)
{
    if (minFilter != GL_NEAREST && minFilter != GL_LINEAR)
        return true;
    GLint largest = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    return !isPowerOfTwo(w) || !isPowerOfTwo(h) || w > largest || h > largest;
}

}  // namespace

TextureEntry& TextureRegistry::createTexture(std::string_view key, int w, int h, const uint8_t* rgbaOrNull, GLenum wrap,
    GLenum minFilter, GLenum magFilter, Mipmaps mipmaps)
{
    TextureEntry& entry = textures_.emplace_back();
    entry.key = key;
    entry.width = w;
    entry.height = h;
    entry.target = GL_TEXTURE_2D;
    // A blank texture is uploaded from zeroed memory that the system maps on
    // demand, so even a full-screen one costs no resident copy.
    const size_t bytes = static_cast<size_t>(std::max(w, 0)) * static_cast<size_t>(std::max(h, 0)) * 4;
    std::unique_ptr<void, decltype(&std::free)> zeros(
        rgbaOrNull ? nullptr : std::calloc(std::max<size_t>(bytes, 1), 1), &std::free);
    const void* pixels = rgbaOrNull ? static_cast<const void*>(rgbaOrNull) : zeros.get();
    entry.minFilter = minFilter;
    entry.magFilter = magFilter;
    entry.wrap = wrap;
    entry.mipmaps = mipmaps;

    glGenTextures(1, &entry.glName);
    glBindTexture(GL_TEXTURE_2D, entry.glName);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(magFilter));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, static_cast<GLint>(wrap));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, static_cast<GLint>(wrap));
    if (mipmaps == Mipmaps::None || !chainIsRead(w, h, minFilter)) {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    } else {
        // GLU's mipmap builder reads past the end of the image it is given (an
        // image that ended at a page's edge crashed it): it gets a copy with a
        // spare row.
        std::vector<uint8_t> padded(bytes + static_cast<size_t>(std::max(w, 0)) * 4 + 16);
        std::memcpy(padded.data(), pixels, bytes);
        gluBuild2DMipmaps(GL_TEXTURE_2D, 4, w, h, GL_RGBA, GL_UNSIGNED_BYTE, padded.data());
    }
    return entry;
}

TextureEntry& TextureRegistry::addMipmappedTexture(std::string_view key, int w, int h, const uint8_t* rgbaOrNull)
{
    return createTexture(key, w, h, rgbaOrNull, GL_REPEAT, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, Mipmaps::Chain);
}

TextureEntry& TextureRegistry::addTexture(
    std::string_view key, int w, int h, const uint8_t* rgbaOrNull, GLenum minFilter, GLenum magFilter, Mipmaps mipmaps)
{
    return createTexture(key, w, h, rgbaOrNull, GL_CLAMP_TO_EDGE, minFilter, magFilter, mipmaps);
}

TextureEntry* TextureRegistry::findTexture(std::string_view key)
{
    for (TextureEntry& entry : textures_) {
        if (entry.key == key)
            return &entry;
    }
    return nullptr;
}

RenderTarget& TextureRegistry::addRenderTarget(std::string_view key, TextureEntry& texture)
{
    RenderTarget& target = targets_.emplace_back();
    target.key = key;
    target.width = texture.width;
    target.height = texture.height;
    glGenFramebuffersEXT(1, &target.fbo);
    target.attachTarget = GL_TEXTURE_2D;
    target.attachments.push_back({&texture, GL_COLOR_ATTACHMENT0_EXT});
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target.fbo);
    glBindTexture(GL_TEXTURE_2D, texture.glName);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, target.attachTarget, texture.glName, 0);
    return target;
}

GLenum TextureRegistry::completeness(const RenderTarget& target)
{
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target.fbo);
    return glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
}

RenderTarget* TextureRegistry::findRenderTarget(std::string_view key)
{
    for (RenderTarget& target : targets_) {
        if (target.key == key)
            return &target;
    }
    return nullptr;
}

void TextureRegistry::destroyTextures()
{
    // Attachments only point into the texture list, so each texture is deleted once.
    for (TextureEntry& entry : textures_)
        glDeleteTextures(1, &entry.glName);
    for (RenderTarget& target : targets_)
        glDeleteFramebuffersEXT(1, &target.fbo);
    targets_.clear();
    textures_.clear();
}
