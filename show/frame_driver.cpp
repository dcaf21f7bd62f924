// frame_driver.cpp: the table of a frame's passes (the two timeline passes,
// the blurs and the composite) and the frame around them.
#include "show/frame_driver.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "gfx/gl_api.h"
#include "gfx/gl_state.h"
#include "gfx/pass_timer.h"
#include "gfx/program_texture.h"
#include "gfx/program_registry.h"
#include "gfx/screen_quad.h"
#include "gfx/texture_registry.h"
#include "scene/show_state.h"
#include "show/timeline.h"

namespace {

// Hands up the GL errors waiting now, under `pass` (null: before the first pass).
void reportGlErrors(ShowFrameState& show, const char* pass)
{
    if (!show.glErrors)
        return;
    for (unsigned error : takeGlErrors())
        show.glErrors({pass, glErrorName(error)});
}

void blur(const ShowAssets& assets, const RenderTargetHandle& first, const RenderTargetHandle& second,
    const TextureEntry* source, float strength)
{
    separableBlur(assets.programs.sepBlur, *first.target, *second.target, source, strength);
}

// The window passes cover the frame targets, which have the window's full
// drawing size, whatever the window's own viewport.
Viewport windowViewport(const ShowFrameState& show)
{
    const RenderTarget& frame = *show.assets.targets.frame.target;
    return {0, 0, frame.width, frame.height};
}

// One run of the timeline into the frame target, cleared to transparent black;
// the timeline loads the pass's view and binds its program.
void timelinePass(ShowFrameState& show, uint32_t t, float s, bool shadowPass)
{
    PassScope pass({.target = show.assets.targets.frame.target, .clear = true, .matrices = Matrices::Saved});
    renderTimeline(show, t, s, shadowPass);
}

void shadowPass(ShowFrameState& show, uint32_t t, float s) { timelinePass(show, t, s, true); }

// blur2, the first target's picture, becomes the soft shadow map.
void shadowBlurPass(ShowFrameState& show, uint32_t, float)
{
    const RenderTargetHandles& targets = show.assets.targets;
    blur(show.assets, targets.blur2, targets.blur1, targets.frame.picture, 1.5f);
}

void cameraPass(ShowFrameState& show, uint32_t t, float s) { timelinePass(show, t, s, false); }

// blur4, the first target's picture, is the glow.
void cameraBlurPass(ShowFrameState& show, uint32_t, float)
{
    const RenderTargetHandles& targets = show.assets.targets;
    blur(show.assets, targets.blur4, targets.blur3, targets.frame.picture, 1.75f);
}

void backdropPass(ShowFrameState& show, uint32_t, float)
{
    PassScope pass({.viewport = windowViewport(show), .clear = true, .matrices = Matrices::Saved,
        .program = show.assets.programs.ppShadowed.entry, .draw = {.texturing = Texturing::Units0And1}});
    drawShadowedBackdrop(show);
}

// A picture laid over the window with the beat's chromatic bleed.
void drawBled(ShowFrameState& show, const TextureEntry* picture, Blend blend)
{
    const OverlayProgram& overlay = show.assets.programs.overlay;
    PassScope pass({.viewport = windowViewport(show), .program = overlay.entry});
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    bindProgramTexture(picture, overlay.tex);
    ProgramRegistry::setFloats(*overlay.bleedOffset, 1.0f, 0.0f, 0.0f);
    const auto& bleed = show.frame.bleedStrength;
    ProgramRegistry::setFloats(*overlay.bleedStrength, bleed[0], bleed[1], bleed[2]);
    drawScreenQuad(picture, 1.0f, 1.0f, blend);
}

void bleedPass(ShowFrameState& show, uint32_t, float)
{
    drawBled(show, show.assets.targets.frame.picture, Blend::Alpha);
}

void glowPass(ShowFrameState& show, uint32_t, float) { drawBled(show, show.assets.targets.blur4.picture, Blend::Add); }

// The overlay darkens the picture by its own colour.
void overlayPass(ShowFrameState& show, uint32_t, float)
{
    const TexturedProgram& program = show.assets.programs.shadowPassTextured;
    PassScope pass({.viewport = windowViewport(show), .matrices = Matrices::Screen, .program = program.entry,
        .draw = {.blend = Blend::ReverseSubtract, .texturing = Texturing::Unit0}});
    bindProgramTexture(show.assets.images[ImageId::Overlay1], program.tex);
    ProgramRegistry::setFloats(*program.pixelate, 1024.0f);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-1.0f, 1.0f, -1.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(1.0f, 1.0f, -1.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(1.0f, -1.0f, -1.0f);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-1.0f, -1.0f, -1.0f);
    glEnd();
}

void fadesPass(ShowFrameState& show, uint32_t t, float)
{
    PassScope pass({.viewport = windowViewport(show)});
    drawFades(show.fades, t, OpaqueFade::Blend);
}

struct PassRow {
    const char* name;  // as the statistics and the GL error reports name it
    void (*draw)(ShowFrameState& show, uint32_t t, float s);
};

// The frame's passes in drawing order. Each binds what it draws with through
// scopes of its own (the blurs one per step), so none relies on what the one
// before it bound, and a new pass is one function and one row.
constexpr PassRow kPasses[] = {
    {"shadow", shadowPass},
    {"shadow_blur", shadowBlurPass},
    {"camera", cameraPass},
    {"camera_blur", cameraBlurPass},
    {"backdrop", backdropPass},
    {"bleed", bleedPass},
    {"glow", glowPass},
    {"overlay", overlayPass},
    {"fades", fadesPass},
};

constexpr auto kPassNames = [] {
    std::array<const char*, std::size(kPasses)> names {};
    for (size_t i = 0; i < names.size(); ++i)
        names[i] = kPasses[i].name;
    return names;
}();

constexpr const char* passName(decltype(PassRow::draw) draw)
{
    for (const PassRow& row : kPasses) {
        if (row.draw == draw)
            return row.name;
    }
    return nullptr;
}

}  // namespace

std::span<const char* const> passNames() { return kPassNames; }

bool anyBandBeat(const BeatDetector& beats)
{
    const size_t bands = beats.bandCount > 0 ? static_cast<size_t>(beats.bandCount) : 0;
    for (size_t i = 0; i < bands && i < beats.beatFlags.size(); ++i) {
        if (beats.beatFlags[i] > 0)
            return true;
    }
    return false;
}

const float* readFrameSpectrum(ShowFrameState& show, AudioBackend* audio, std::optional<uint32_t> atMs)
{
    if (!audio)
        return nullptr;
    if (atMs)
        audio->spectrumAt(show.music.channel(), *atMs, show.spectrum.data());
    else
        audio->spectrum(show.music.channel(), show.spectrum.data());
    return show.spectrum.data();
}

void beginFrame(ShowFrameState& show, const float* spectrum, uint32_t t, float s)
{
    if (spectrum)
        show.beats.analyse(spectrum);
    advanceFrameValues(show.frame, t, s, anyBandBeat(show.beats));
}

namespace {

// What a drawn frame changes before its fades: the beats, the frame's values
// and the timeline, stepped twice as the two passes that draw it step it.
void advanceStateAndTimeline(ShowFrameState& show, const float* spectrum, uint32_t t, float s)
{
    beginFrame(show, spectrum, t, s);
    TimelinePlan plan;
    advanceTimeline(show, t, s, plan);
    advanceTimeline(show, t, s, plan);
}

}  // namespace

void advanceFrame(ShowFrameState& show, const float* spectrum, uint32_t t, float s)
{
    advanceStateAndTimeline(show, spectrum, t, s);
    advanceFades(show.fades, t);
}

uint32_t beatReachMs(const ShowFrameState& show, uint32_t frameMs)
{
    // The history, the frame it is compared with and two to spare.
    const auto frames = static_cast<uint32_t>(std::max(show.beats.historyLength, 0)) + 3;
    return frames * frameMs + flashSettleMs();
}

void renderCoveredFrame(ShowFrameState& show, uint32_t showTimeMs, float frameStep, AudioBackend* audio, int w, int h)
{
    reportGlErrors(show, nullptr);
    advanceStateAndTimeline(show, readFrameSpectrum(show, audio), showTimeMs, frameStep);

    {
        // The whole framebuffer, as the window passes of renderFrame cover it.
        PassScope pass({.viewport = {0, 0, w, h}, .clear = true});
        drawFades(show.fades, showTimeMs, OpaqueFade::Clear);
    }
    reportGlErrors(show, passName(fadesPass));
}

void renderFrame(ShowFrameState& show, uint32_t showTimeMs, float frameStep, AudioBackend* audio)
{
    const uint32_t t = showTimeMs;
    const float s = frameStep;

    beginFrame(show, readFrameSpectrum(show, audio), t, s);

    const char* previous = nullptr;  // errors waiting at the first pass came before the frame
    for (const PassRow& pass : kPasses) {
        reportGlErrors(show, previous);
        if (show.passTimer)
            show.passTimer->mark();
        pass.draw(show, t, s);
        previous = pass.name;
    }
    reportGlErrors(show, previous);
    if (show.passTimer)
        show.passTimer->endFrame();
}
