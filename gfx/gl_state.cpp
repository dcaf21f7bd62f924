// gl_state.cpp: blending, depth test, culling and viewport, set without caching.
#include "gfx/gl_state.h"

#include "gfx/gl_api.h"

namespace {

void enable(GLenum capability, bool enabled)
{
    if (enabled)
        glEnable(capability);
    else
        glDisable(capability);
}

}  // namespace

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

void setDepthTest(bool enabled) { enable(GL_DEPTH_TEST, enabled); }

void setCullFace(bool enabled) { enable(GL_CULL_FACE, enabled); }

void pushViewport() { glPushAttrib(GL_VIEWPORT_BIT); }

void setViewport(int x, int y, int width, int height) { glViewport(x, y, width, height); }

void popViewport() { glPopAttrib(); }
