// gl_state.h: the one owner of the frame's fixed GL switches (blending, depth
// and stencil tests, face culling, lighting, 2D texturing), the viewport and
// the render target a pass draws into.
//
// Every pass and every draw states the whole switch set it needs right before
// it draws, in one value; whatever it leaves out is off:
//     applyDrawState({.blend = Blend::Alpha, .texturing = Texturing::Unit0});
// and nothing relies on what the step before it left behind, so steps can be
// reordered or dropped without one silently changing the next. Nothing is
// cached: each call reaches GL, so a glPopAttrib anywhere can never leave a
// stale copy here.
//
// A render target or a viewport is held by a scope; when the block that
// opened it ends, the viewport comes back and the window is drawn into again
// (render target scopes do not nest):
//     {
//         RenderTargetScope into(target);   // its framebuffer, a viewport covering it
//         ... draw ...
//     }                                     // the window's framebuffer, the viewport before
#pragma once

#include <string>
#include <vector>

struct RenderTarget;

enum class Blend {
    Off,              // no blending
    Alpha,            // source over destination, weighted by source alpha
    Add,              // source added to destination
    ReverseSubtract,  // destination minus source
};

// Which texture units sample their bound 2D texture.
enum class Texturing {
    Off,         // none
    Unit0,       // unit 0 only
    Units0And1,  // units 0 and 1
};

struct DrawState {
    Blend blend = Blend::Off;
    bool depthTest = false;
    bool cullFace = false;
    Texturing texturing = Texturing::Off;
    bool lighting = false;  // fixed-function lighting
    bool stencilTest = false;
};

// Sets every switch of `state`, the blend function and equation too when it
// blends (off, they stay as they were), and leaves texture unit 0 active.
void applyDrawState(const DrawState& state);

// Sets the viewport outright; for the window's own, once its size is known.
void setViewport(int x, int y, int width, int height);

// Saves the viewport (GL_VIEWPORT_BIT on the attribute stack) and restores it
// when the scope ends.
class ViewportScope {
public:
    ViewportScope();
    // Saves the viewport, then sets this one.
    ViewportScope(int x, int y, int width, int height);
    ~ViewportScope();
    ViewportScope(const ViewportScope&) = delete;
    ViewportScope& operator=(const ViewportScope&) = delete;
};

// Binds `target`'s framebuffer with a viewport covering the target; when the
// scope ends, the viewport comes back and the window's framebuffer is bound.
// A null (missing) target binds nothing and restores nothing, so the drawing
// goes wherever the framebuffer bound before points. Selects no draw buffers.
class RenderTargetScope {
public:
    explicit RenderTargetScope(const RenderTarget* target);
    ~RenderTargetScope();
    RenderTargetScope(const RenderTargetScope&) = delete;
    RenderTargetScope& operator=(const RenderTargetScope&) = delete;

private:
    bool bound_;
};

// Every error flag GL has raised since it was last asked, clearing them; empty
// when there was none.
std::vector<unsigned> takeGlErrors();

// The error's GL name ("GL_INVALID_ENUM"), or its number in hex when unknown.
std::string glErrorName(unsigned error);

// A GL enum's value as GL's headers write it: "0x8cd6".
std::string glHex(unsigned value);
