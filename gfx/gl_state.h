// gl_state.h: the one owner of the frame's fixed GL switches (blending, depth
// and stencil tests, face culling, lighting, 2D texturing) and of everything a
// pass binds: its framebuffer, viewport, matrices and program.
//
// Every pass and every draw states the whole switch set it needs right before
// it draws, in one value; whatever it leaves out is off:
//     applyDrawState({.blend = Blend::Alpha, .texturing = Texturing::Unit0});
// and nothing relies on what the step before it left behind, so steps can be
// reordered or dropped without one silently changing the next. Nothing is
// cached: each call reaches GL, so a glPopAttrib anywhere can never leave a
// stale copy here.
//
// A pass opens one scope with one PassSetup; when the block ends, what the
// scope saved comes back, the program is 0 and the window is drawn into again
// (pass scopes do not nest):
//     {
//         PassScope pass({.target = target, .clear = true, .program = programs.pp.entry});
//         ... draw ...
//     }
#pragma once

#include <string>
#include <vector>

struct ProgramEntry;
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

// What a pass does with the projection and modelview matrices. Saved and
// Screen save both when the scope opens and give them back when it ends.
enum class Matrices {
    Unchanged,  // the pass leaves them as they are, or saves what it changes itself
    Saved,      // the pass loads a view of its own
    Screen,     // normalised device coordinates: projection glOrtho(-1, 1, -1, 1, -1, 1), modelview identity
};

struct Viewport {
    int x = 0, y = 0, width = 0, height = 0;
};

// Everything a pass binds, set whole when its scope opens.
struct PassSetup {
    const RenderTarget* target = nullptr;  // null: the window's back buffer
    Viewport viewport {};                  // into the window; a target's pass covers the target
    bool clear = false;                    // colour, depth and stencil, to transparent black
    Matrices matrices = Matrices::Unchanged;
    const ProgramEntry* program = nullptr;  // null: fixed function
    DrawState draw {};                      // applied last, so the pass's binds land on unit 0
};

// Binds the setup's framebuffer and its one colour buffer (attachment 0 of a
// target, the window's back buffer), saves the viewport and sets it, clears,
// saves the matrices, makes the program current and applies the draw state.
// When the scope ends: program 0, the matrices and the viewport as they were,
// and the window's framebuffer bound.
class PassScope {
public:
    explicit PassScope(const PassSetup& setup);
    ~PassScope();
    PassScope(const PassScope&) = delete;
    PassScope& operator=(const PassScope&) = delete;

private:
    Matrices matrices_;
};

// Saves both matrices and loads normalised device coordinates, as
// Matrices::Screen does, for a draw inside a pass; GL_MODELVIEW is left
// selected. popScreenProjection() restores both, projection first.
void pushScreenProjection();
void popScreenProjection();

// Every error flag GL has raised since it was last asked, clearing them; empty
// when there was none.
std::vector<unsigned> takeGlErrors();

// The error's GL name ("GL_INVALID_ENUM"), or its number in hex when unknown.
std::string glErrorName(unsigned error);

// A GL enum's value as GL's headers write it: "0x8cd6".
std::string glHex(unsigned value);
