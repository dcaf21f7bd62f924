// gl_state.h: the one owner of the frame's blending, depth test, face culling
// and viewport.
//
// Every pass and every draw states what it needs right before it draws,
//     setBlend(Blend::Alpha);
//     setDepthTest(false);
//     setCullFace(false);
// and nothing relies on what the step before it left behind, so steps can be
// reordered or dropped without one silently changing the next. Nothing is
// cached: each call reaches GL, so a glPopAttrib anywhere can never leave a
// stale copy here. A viewport is saved with pushViewport() and restored with
// popViewport() by the same module that saved it.
#pragma once

enum class Blend {
    Off,              // no blending
    Alpha,            // source over destination, weighted by source alpha
    Add,              // source added to destination
    ReverseSubtract,  // destination minus source
};

// Enables or disables blending and sets the blend function and equation for `mode`.
void setBlend(Blend mode);

void setDepthTest(bool enabled);
void setCullFace(bool enabled);

// Saves the current viewport on the attribute stack (GL_VIEWPORT_BIT).
void pushViewport();
void setViewport(int x, int y, int width, int height);
// Restores the viewport saved by the matching pushViewport().
void popViewport();
