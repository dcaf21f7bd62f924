// frame_driver.cpp: the two passes, the blurs and the composite of one frame.
#include "show/frame_driver.h"

#include "app/application.h"
#include "app/gl_api.h"
#include "gfx/program_texture.h"
#include "gfx/program_registry.h"
#include "gfx/screen_quad.h"
#include "gfx/texture_registry.h"
#include "scene/show_state.h"
#include "show/frame_values.h"
#include "show/lighting.h"
#include "show/timeline.h"

namespace {

constexpr GLbitfield kClearAll = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT;

// Binds a frame render target (pushing the viewport); returns false when missing.
bool bindFrameTarget(TextureRegistry& textures, const char* key)
{
    RenderTarget* target = textures.findRenderTarget(key);
    if (!target)
        return false;
    TextureRegistry::bindRenderTarget(*target);
    return true;
}

void blur(ShowState& state, int firstIndex, int secondIndex, const char* sourceKey, float strength)
{
    RenderTarget* first = state.blurTargets[firstIndex];
    RenderTarget* second = state.blurTargets[secondIndex];
    if (first && second)
        separableBlur(state.textures, state.programs, *first, *second, sourceKey, strength);
}

void shadowPass(ShowState& state, uint32_t t, float s)
{
    // The main loop pops one saved viewport after the fades, so push one even
    // when the target is missing.
    if (!bindFrameTarget(state.textures, "RT_DEFAULT1"))
        glPushAttrib(GL_VIEWPORT_BIT);
    const GLenum buffers[1] = {GL_COLOR_ATTACHMENT0_EXT};
    glDrawBuffers(1, buffers);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(kClearAll);
    renderTimeline(state, t, s, true);
    // "BLUR2", the first target's picture, becomes the soft shadow map.
    blur(state, 1, 0, "DEFAULT_TARGET1", 1.5f);
}

// Returns whether the camera target was bound (and so pushed a viewport).
bool cameraPass(ShowState& state, uint32_t t, float s)
{
    const bool bound = bindFrameTarget(state.textures, "RT_DEFAULT2");
    // Only attachment 0 is drawn: the target's second attachment would receive the
    // same colour and nothing ever reads it, so writing it only costs fill rate.
    const GLenum buffers[1] = {GL_COLOR_ATTACHMENT0_EXT};
    glDrawBuffers(1, buffers);
    glClear(kClearAll);
    renderTimeline(state, t, s, false);
    // "BLUR4", the first target's picture, is the glow.
    blur(state, 3, 2, "DEFAULT_TARGET2", 1.75f);
    return bound;
}

void composeOverlay(ShowState& state, bool cameraTargetBound)
{
    if (cameraTargetBound)
        glPopAttrib();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    const GLenum back[1] = {GL_BACK};
    glDrawBuffers(1, back);
    glClear(kClearAll);

    glDisable(GL_BLEND);
    drawShadowedBackdrop(state);

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);

    ProgramEntry* overlay = state.programs.findProgram("OVERLAY");
    if (overlay) {
        glUseProgram(overlay->glProgram);
        bindProgramTexture(state.textures, *overlay, "DEFAULT_TARGET2");
        if (UniformSlot* offset = ProgramRegistry::findUniform(*overlay, "bleedOffset"))
            ProgramRegistry::setFloats(*offset, 1.0f, 0.0f, 0.0f);
        const auto& bleed = state.frame.bleedStrength;
        if (UniformSlot* strength = ProgramRegistry::findUniform(*overlay, "bleedStrength"))
            ProgramRegistry::setFloats(*strength, bleed[0], bleed[1], bleed[2]);
        drawScreenQuad(state.textures, "DEFAULT_TARGET2", 1.0f, 1.0f);

        glBlendFunc(GL_ONE, GL_ONE);
        drawScreenQuad(state.textures, "BLUR4", 1.0f, 1.0f);
    }
    glUseProgram(0);
    glDisable(GL_BLEND);
}

void drawScreenOverlay(ShowState& state)
{
    pushScreenProjection();

    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    // Destination minus source: the overlay darkens the picture by its own colour.
    setBlendEquation(GL_FUNC_REVERSE_SUBTRACT);
    glBlendFunc(GL_ONE, GL_ONE);

    if (ProgramEntry* program = state.programs.findProgram("SHADOW_PASS_TEXTURED")) {
        glUseProgram(program->glProgram);
        bindProgramTexture(state.textures, *program, "OVERLAY1");
        if (UniformSlot* grid = ProgramRegistry::findUniform(*program, "pixelate"))
            ProgramRegistry::setFloats(*grid, 1024.0f);
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
    setBlendEquation(GL_FUNC_ADD);
    glDisable(GL_BLEND);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);
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

const float* readFrameSpectrum(ShowState& state, AudioBackend* audio)
{
    if (!audio)
        return nullptr;
    audio->spectrum(state.music.channel(), state.music.spectrum.data());
    return state.music.spectrum.data();
}

void beginFrame(ShowState& state, const float* spectrum, uint32_t t, float s)
{
    if (spectrum)
        state.beats.analyse(spectrum);
    advanceFrameValues(state.frame, t, s, anyBandBeat(state.beats));
}

void advanceFrame(ShowState& state, const float* spectrum, uint32_t t, float s)
{
    beginFrame(state, spectrum, t, s);
    TimelinePlan plan;
    advanceTimeline(state, t, s, plan);
    advanceTimeline(state, t, s, plan);
}

void renderFrame(ShowState& state)
{
    DemoApplication& app = *state.app;
    const uint32_t t = app.showTimeMs;
    const float s = app.frameStep;

    beginFrame(state, readFrameSpectrum(state, app.audio.get()), t, s);

    shadowPass(state, t, s);
    const bool cameraTargetBound = cameraPass(state, t, s);
    composeOverlay(state, cameraTargetBound);
    drawScreenOverlay(state);
}
