// frame_driver.cpp: the two passes, the blurs and the composite of one frame.
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

constexpr const char* kPassNames[]
    = {"shadow", "shadow_blur", "camera", "camera_blur", "backdrop", "bleed", "glow", "overlay", "fades"};

constexpr GLbitfield kClearAll = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT;

// The passes in drawing order, one for each of kPassNames.
enum class Pass { Shadow, ShadowBlur, Camera, CameraBlur, Backdrop, Bleed, Glow, Overlay, Fades };
static_assert(static_cast<size_t>(Pass::Fades) + 1 == std::size(kPassNames));

// Hands up the GL errors waiting now, under `pass` (null: before the first pass).
void reportGlErrors(ShowFrameState& show, const char* pass)
{
    if (!show.glErrors)
        return;
    for (unsigned error : takeGlErrors())
        show.glErrors({pass, glErrorName(error)});
}

// Ends the pass before `next` (its errors are handed up) and stamps the start of `next`.
void beginPass(ShowFrameState& show, Pass next)
{
    const auto index = static_cast<size_t>(next);
    reportGlErrors(show, index > 0 ? kPassNames[index - 1] : nullptr);
    if (show.passTimer)
        show.passTimer->mark();
}

void endPasses(ShowFrameState& show)
{
    reportGlErrors(show, kPassNames[std::size(kPassNames) - 1]);
    if (show.passTimer)
        show.passTimer->endFrame();
}

void blur(const ShowAssets& assets, const RenderTargetHandle& first, const RenderTargetHandle& second,
    const TextureEntry* source, float strength)
{
    separableBlur(assets.programs.sepBlur, *first.target, *second.target, source, strength);
}

// One run of the timeline into a frame target, cleared to transparent black.
void timelinePass(ShowFrameState& show, const RenderTarget* target, uint32_t t, float s, bool shadowPass)
{
    RenderTargetScope into(target);
    const GLenum buffers[1] = {GL_COLOR_ATTACHMENT0_EXT};
    glDrawBuffers(1, buffers);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(kClearAll);
    renderTimeline(show, t, s, shadowPass);
}

void shadowPass(ShowFrameState& show, uint32_t t, float s)
{
    const ShowAssets& assets = show.assets;
    timelinePass(show, assets.targets.frame.target, t, s, true);
    beginPass(show, Pass::ShadowBlur);
    // blur2, the first target's picture, becomes the soft shadow map.
    blur(assets, assets.targets.blur2, assets.targets.blur1, assets.targets.frame.picture, 1.5f);
}

void cameraPass(ShowFrameState& show, uint32_t t, float s)
{
    const ShowAssets& assets = show.assets;
    timelinePass(show, assets.targets.frame.target, t, s, false);
    beginPass(show, Pass::CameraBlur);
    // blur4, the first target's picture, is the glow.
    blur(assets, assets.targets.blur4, assets.targets.blur3, assets.targets.frame.picture, 1.75f);
}

// Draws into the window with the viewport the caller set.
void composeOverlay(ShowFrameState& show)
{
    const ShowAssets& assets = show.assets;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    const GLenum back[1] = {GL_BACK};
    glDrawBuffers(1, back);
    glClear(kClearAll);

    drawShadowedBackdrop(show);

    beginPass(show, Pass::Bleed);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    const OverlayProgram& overlay = assets.programs.overlay;
    glUseProgram(overlay.entry->glProgram);
    bindProgramTexture(assets.targets.frame.picture, overlay.tex);
    ProgramRegistry::setFloats(*overlay.bleedOffset, 1.0f, 0.0f, 0.0f);
    const auto& bleed = show.frame.bleedStrength;
    ProgramRegistry::setFloats(*overlay.bleedStrength, bleed[0], bleed[1], bleed[2]);
    drawScreenQuad(assets.targets.frame.picture, 1.0f, 1.0f, Blend::Alpha);

    beginPass(show, Pass::Glow);
    drawScreenQuad(assets.targets.blur4.picture, 1.0f, 1.0f, Blend::Add);
    glUseProgram(0);
}

void drawScreenOverlay(const ShowAssets& assets)
{
    pushScreenProjection();

    // The overlay darkens the picture by its own colour.
    applyDrawState({.blend = Blend::ReverseSubtract, .texturing = Texturing::Unit0});

    const TexturedProgram& program = assets.programs.shadowPassTextured;
    glUseProgram(program.entry->glProgram);
    bindProgramTexture(assets.images[ImageId::Overlay1], program.tex);
    ProgramRegistry::setFloats(*program.pixelate, 1024.0f);
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

    glUseProgram(0);
    popScreenProjection();
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

    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    const GLenum back[1] = {GL_BACK};
    glDrawBuffers(1, back);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(kClearAll);
    {
        // The whole framebuffer, as the frame targets' viewport covers it in renderFrame.
        ViewportScope viewport(0, 0, w, h);
        drawFades(show.fades, showTimeMs, OpaqueFade::Clear);
    }
    reportGlErrors(show, kPassNames[static_cast<size_t>(Pass::Fades)]);
}

void renderFrame(ShowFrameState& show, uint32_t showTimeMs, float frameStep, AudioBackend* audio)
{
    const uint32_t t = showTimeMs;
    const float s = frameStep;

    beginFrame(show, readFrameSpectrum(show, audio), t, s);

    beginPass(show, Pass::Shadow);
    shadowPass(show, t, s);
    beginPass(show, Pass::Camera);
    cameraPass(show, t, s);
    {
        // The frame targets have the window's full drawing size, and the
        // composite covers them whatever the window's own viewport.
        const RenderTarget& frameTarget = *show.assets.targets.frame.target;
        ViewportScope viewport(0, 0, frameTarget.width, frameTarget.height);
        beginPass(show, Pass::Backdrop);
        composeOverlay(show);
        beginPass(show, Pass::Overlay);
        drawScreenOverlay(show.assets);
        beginPass(show, Pass::Fades);
        drawFades(show.fades, t, OpaqueFade::Blend);
    }
    endPasses(show);
}
