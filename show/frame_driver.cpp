// frame_driver.cpp: the two passes, the blurs and the composite of one frame.
#include "show/frame_driver.h"

#include <array>

#include "gfx/gl_api.h"
#include "gfx/gl_state.h"
#include "gfx/pass_timer.h"
#include "gfx/program_texture.h"
#include "gfx/program_registry.h"
#include "gfx/screen_quad.h"
#include "gfx/texture_registry.h"
#include "scene/show_state.h"

namespace {

constexpr GLbitfield kClearAll = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT;

// Binds a frame render target (pushing the viewport); returns false when missing.
bool bindFrameTarget(const RenderTarget* target)
{
    if (!target)
        return false;
    TextureRegistry::bindRenderTarget(*target);
    return true;
}

void markPass(ShowFrameState& show)
{
    if (show.passTimer)
        show.passTimer->mark();
}

void blur(const ShowAssets& assets, int firstIndex, int secondIndex, const TextureEntry* source, float strength)
{
    const RenderTarget* first = assets.blurTargets[firstIndex];
    const RenderTarget* second = assets.blurTargets[secondIndex];
    if (first && second)
        separableBlur(assets.sepBlur, *first, *second, source, strength);
}

// Binding the target saves the window's viewport, which renderFrame restores
// after the fades; without the target the viewport is saved all the same.
void shadowPass(ShowFrameState& show, uint32_t t, float s)
{
    const ShowAssets& assets = show.scene.assets;
    if (!bindFrameTarget(assets.rtDefault1))
        pushViewport();
    const GLenum buffers[1] = {GL_COLOR_ATTACHMENT0_EXT};
    glDrawBuffers(1, buffers);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(kClearAll);
    renderTimeline(show, t, s, true);
    markPass(show);
    // "BLUR2", the first target's picture, becomes the soft shadow map.
    blur(assets, 1, 0, assets.defaultTarget1, 1.5f);
}

// Returns whether the camera target was bound (and so pushed a viewport).
bool cameraPass(ShowFrameState& show, uint32_t t, float s)
{
    const ShowAssets& assets = show.scene.assets;
    const bool bound = bindFrameTarget(assets.rtDefault2);
    const GLenum buffers[1] = {GL_COLOR_ATTACHMENT0_EXT};
    glDrawBuffers(1, buffers);
    glClear(kClearAll);
    renderTimeline(show, t, s, false);
    markPass(show);
    // "BLUR4", the first target's picture, is the glow.
    blur(assets, 3, 2, assets.defaultTarget2, 1.75f);
    return bound;
}

// Draws into the window with the viewport the shadow pass set: the frame
// targets have the window's full drawing size.
void composeOverlay(ShowFrameState& show, bool cameraTargetBound)
{
    const ShowAssets& assets = show.scene.assets;
    if (cameraTargetBound)
        TextureRegistry::unbindRenderTarget();
    else
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    const GLenum back[1] = {GL_BACK};
    glDrawBuffers(1, back);
    glClear(kClearAll);

    drawShadowedBackdrop(show);

    markPass(show);
    setBlend(Blend::Alpha);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    const OverlayProgram& overlay = assets.overlay;
    if (overlay.entry) {
        glUseProgram(overlay.entry->glProgram);
        bindProgramTexture(assets.defaultTarget2, overlay.tex);
        if (overlay.bleedOffset)
            ProgramRegistry::setFloats(*overlay.bleedOffset, 1.0f, 0.0f, 0.0f);
        const auto& bleed = show.frame.bleedStrength;
        if (overlay.bleedStrength)
            ProgramRegistry::setFloats(*overlay.bleedStrength, bleed[0], bleed[1], bleed[2]);
        drawScreenQuad(assets.defaultTarget2, 1.0f, 1.0f);

        markPass(show);
        setBlend(Blend::Add);
        drawScreenQuad(assets.blur4, 1.0f, 1.0f);
    }
    glUseProgram(0);
}

void drawScreenOverlay(const ShowAssets& assets)
{
    pushScreenProjection();

    setCullFace(false);
    setDepthTest(false);
    // The overlay darkens the picture by its own colour.
    setBlend(Blend::ReverseSubtract);

    const TexturedProgram& program = assets.shadowPassTextured;
    if (program.entry) {
        glUseProgram(program.entry->glProgram);
        bindProgramTexture(assets.overlay1, program.tex);
        if (program.pixelate)
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
    }

    glUseProgram(0);
    popScreenProjection();
}

}  // namespace

bool anyBandBeat(const BeatDetector& beats)
{
    const size_t bands = beats.bandCount > 0 ? static_cast<size_t>(beats.bandCount) : 0;
    for (size_t i = 0; i < bands && i < beats.beatFlags.size(); ++i) {
        if (beats.beatFlags[i] > 0)
            return true;
    }
    return false;
}

const float* readFrameSpectrum(ShowFrameState& show, AudioBackend* audio)
{
    if (!audio)
        return nullptr;
    MusicPlayer& music = show.scene.music;
    audio->spectrum(music.channel(), music.spectrum.data());
    return music.spectrum.data();
}

void beginFrame(ShowFrameState& show, const float* spectrum, uint32_t t, float s)
{
    if (spectrum)
        show.beats.analyse(spectrum);
    advanceFrameValues(show.frame, t, s, anyBandBeat(show.beats));
}

void advanceFrame(ShowFrameState& show, const float* spectrum, uint32_t t, float s)
{
    beginFrame(show, spectrum, t, s);
    TimelinePlan plan;
    advanceTimeline(show, t, s, plan);
    advanceTimeline(show, t, s, plan);
    advanceFades(show.fades, t);
}

void renderCoveredFrame(ShowFrameState& show, uint32_t showTimeMs, float frameStep, AudioBackend* audio, int w, int h)
{
    beginFrame(show, readFrameSpectrum(show, audio), showTimeMs, frameStep);
    TimelinePlan plan;
    advanceTimeline(show, showTimeMs, frameStep, plan);
    advanceTimeline(show, showTimeMs, frameStep, plan);

    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    const GLenum back[1] = {GL_BACK};
    glDrawBuffers(1, back);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(kClearAll);
    // The whole framebuffer, as the frame targets' viewport covers it in renderFrame.
    pushViewport();
    setViewport(0, 0, w, h);
    std::array<FadeQuad, kFadeTable.size()> quads;
    const int count = planFades(show.fades, showTimeMs, quads);
    for (int i = 0; i < count; ++i) {
        const FadeEntry& e = *quads[i].entry;
        const std::array<float, 4> colour
            = fadeColour(e.fromR, e.fromG, e.fromB, e.toR, e.toG, e.toB, e.fromAlpha, e.toAlpha, quads[i].t);
        if (colour[3] >= 1.0f) {
            // An opaque quad blended over everything leaves its colour at full
            // alpha; clearing to it spares the renderer its first draw.
            glClearColor(colour[0], colour[1], colour[2], 1.0f);
            glClear(GL_COLOR_BUFFER_BIT);
            continue;
        }
        setBlend(Blend::Alpha);
        glDisable(GL_LIGHTING);
        glDisable(GL_TEXTURE_2D);
        drawFadeQuad(e.fromR, e.fromG, e.fromB, e.toR, e.toG, e.toB, e.fromAlpha, e.toAlpha, quads[i].t);
    }
    popViewport();
}

void renderFrame(ShowFrameState& show, uint32_t showTimeMs, float frameStep, AudioBackend* audio)
{
    const uint32_t t = showTimeMs;
    const float s = frameStep;

    beginFrame(show, readFrameSpectrum(show, audio), t, s);

    markPass(show);
    shadowPass(show, t, s);
    markPass(show);
    const bool cameraTargetBound = cameraPass(show, t, s);
    markPass(show);
    composeOverlay(show, cameraTargetBound);
    markPass(show);
    drawScreenOverlay(show.scene.assets);
    markPass(show);
    // The fades cover the whole frame target's viewport, then the window's own
    // viewport, saved by the shadow pass, comes back.
    drawFades(show.fades, t);
    TextureRegistry::unbindRenderTarget();
    if (show.passTimer)
        show.passTimer->endFrame();
}
