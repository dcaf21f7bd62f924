// gl_state.cpp: the draw state's switches, viewport and render target scopes,
// and GL's error flags, all set or read without caching.
#include "gfx/gl_state.h"

#include <cstdio>

#include "gfx/gl_api.h"
#include "gfx/texture_registry.h"

namespace {

void enable(GLenum capability, bool enabled)
{
    if (enabled)
        glEnable(capability);
    else
        glDisable(capability);
}

void setBlend(Blend mode)
{
    if (mode == Blend::Off) {
        glDisable(GL_BLEND);
        return;
    }
    glEnable(GL_BLEND);
    setBlendEquation(mode == Blend::ReverseSubtract ? GL_FUNC_REVERSE_SUBTRACT : GL_FUNC_ADD);
    if (mode == Blend::Alpha)
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    else
        glBlendFunc(GL_ONE, GL_ONE);
}

}  // namespace

void applyDrawState(const DrawState& state)
{
    setBlend(state.blend);
    enable(GL_DEPTH_TEST, state.depthTest);
    enable(GL_CULL_FACE, state.cullFace);
    enable(GL_LIGHTING, state.lighting);
    enable(GL_STENCIL_TEST, state.stencilTest);
    // Texture enables belong to the active unit; unit 1 goes first so that the
    // binds after this call land on unit 0.
    glActiveTexture(GL_TEXTURE1);
    enable(GL_TEXTURE_2D, state.texturing == Texturing::Units0And1);
    glActiveTexture(GL_TEXTURE0);
    enable(GL_TEXTURE_2D, state.texturing != Texturing::Off);
}

void setViewport(int x, int y, int width, int height) { glViewport(x, y, width, height); }

ViewportScope::ViewportScope() { glPushAttrib(GL_VIEWPORT_BIT); }

ViewportScope::ViewportScope(int x, int y, int width, int height)
    : ViewportScope()
{
    glViewport(x, y, width, height);
}

ViewportScope::~ViewportScope() { glPopAttrib(); }

RenderTargetScope::RenderTargetScope(const RenderTarget* target)
    : bound_(target != nullptr)
{
    if (!target)
        return;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target->fbo);
    glPushAttrib(GL_VIEWPORT_BIT);
    glViewport(0, 0, target->width, target->height);
}

RenderTargetScope::~RenderTargetScope()
{
    if (!bound_)
        return;
    glPopAttrib();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

std::vector<unsigned> takeGlErrors()
{
    // GL keeps one flag per kind of error; a lost context may report forever.
    constexpr size_t kMostFlags = 16;
    std::vector<unsigned> errors;
    while (errors.size() < kMostFlags) {
        const GLenum error = glGetError();
        if (error == GL_NO_ERROR)
            break;
        errors.push_back(error);
    }
    return errors;
}

std::string glErrorName(unsigned error)
{
    switch (error) {
    case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
    case GL_STACK_OVERFLOW: return "GL_STACK_OVERFLOW";
    case GL_STACK_UNDERFLOW: return "GL_STACK_UNDERFLOW";
    case GL_OUT_OF_MEMORY: return "GL_OUT_OF_MEMORY";
    case GL_INVALID_FRAMEBUFFER_OPERATION_EXT: return "GL_INVALID_FRAMEBUFFER_OPERATION";
    default: break;
    }
    return glHex(error);
}

std::string glHex(unsigned value)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%04x", value);
    return hex;
}
