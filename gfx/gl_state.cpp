// gl_state.cpp: the draw state's switches, the pass scope, and GL's error
// flags, all set or read without caching.
#include "gfx/gl_state.h"

#include <cstdio>

#include "gfx/gl_api.h"
#include "gfx/program_registry.h"
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

PassScope::PassScope(const PassSetup& setup)
    : matrices_(setup.matrices)
{
    const RenderTarget* target = setup.target;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target ? target->fbo : 0);
    const GLenum buffer = target ? GL_COLOR_ATTACHMENT0_EXT : GL_BACK;
    glDrawBuffers(1, &buffer);
    glPushAttrib(GL_VIEWPORT_BIT);
    if (target)
        glViewport(0, 0, target->width, target->height);
    else
        glViewport(setup.viewport.x, setup.viewport.y, setup.viewport.width, setup.viewport.height);
    if (setup.clear) {
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    }
    if (matrices_ == Matrices::Screen) {
        pushScreenProjection();
    } else if (matrices_ == Matrices::Saved) {
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
    }
    glUseProgram(setup.program ? setup.program->glProgram : 0);
    applyDrawState(setup.draw);
}

PassScope::~PassScope()
{
    glUseProgram(0);
    if (matrices_ != Matrices::Unchanged)
        popScreenProjection();
    glPopAttrib();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}

void pushScreenProjection()
{
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void popScreenProjection()
{
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
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
