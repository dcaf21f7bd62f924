// timeline.cpp: the show's script and the pass that draws it.
#include "show/timeline.h"

#include <GL/glu.h>

#include "gfx/gl_api.h"
#include "gfx/program_registry.h"
#include "scene/ramp.h"
#include "show/lighting.h"
#include "show/show_frame_state.h"

void planTimeline(ShowState& scene, const SceneRun& run, TimelinePlan& plan)
{
    for (size_t i = 0; i < std::size(kSceneRows); ++i) {
        const SceneRow& row = kSceneRows[i];
        plan.drawn[i] = within(run.t, row.window.startMs, row.window.endMs);
        if (plan.drawn[i] && row.plan)
            row.plan(scene, run);
    }
}

void advanceTimeline(ShowFrameState& show, uint32_t t, float s, TimelinePlan& plan)
{
    const SceneRun run {t, s, show.frame.beatPulse};
    planTimeline(show.scene, run, plan);
    for (size_t i = 0; i < std::size(kSceneRows); ++i) {
        if (plan.drawn[i] && kSceneRows[i].advance)
            kSceneRows[i].advance(show.scene, run);
    }
}

void renderTimeline(ShowFrameState& show, uint32_t t, float s, bool shadowPass)
{
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    setupLight(show.frame.lightLevel);

    if (shadowPass) {
        setupLightView(show.light);
    } else {
        const FrameValues& f = show.frame;
        glLoadIdentity();
        gluLookAt(f.cameraEye.x, f.cameraEye.y, f.cameraEye.z, f.cameraTarget.x, f.cameraTarget.y, f.cameraTarget.z,
            0.0, 1.0, 0.0);
    }

    TimelinePlan plan;
    advanceTimeline(show, t, s, plan);

    const ShowAssets& assets = show.assets;
    const TexturedProgram& program = shadowPass ? assets.programs.shadowPassTextured : assets.programs.pp;
    glUseProgram(program.entry->glProgram);
    const SceneDraw draw {program, assets.images, show.spectrum, t};
    for (size_t i = 0; i < std::size(kSceneRows); ++i) {
        if (plan.drawn[i])
            kSceneRows[i].draw(show.scene, draw);
    }
    glUseProgram(0);
}
