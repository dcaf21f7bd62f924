// timeline.cpp: the show's script and the pass that draws it.
#include "show/timeline.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "gfx/gl_api.h"
#include "gfx/gl_state.h"
#include "gfx/program_registry.h"
#include "scene/banner.h"
#include "scene/show_state.h"
#include "show/frame_driver.h"
#include "show/lighting.h"

namespace {

bool within(uint32_t t, uint32_t lo, uint32_t hi) { return lo <= t && t <= hi; }

float rise(float value, float rate, float s, float ceiling) { return std::min(value + rate * s, ceiling); }
float fall(float value, float rate, float s, float floor) { return std::max(value + -rate * s, floor); }

// sin and cos in double on a single-precision argument, rounded back to single.
float sinf1(float x) { return static_cast<float>(std::sin(static_cast<double>(x))); }
float cosf1(float x) { return static_cast<float>(std::cos(static_cast<double>(x))); }

struct BannerRow {
    BannerId id;
    const char* key;
    uint32_t startMs;
    uint32_t riseUntilMs;  // fade rises from startMs to here
    uint32_t fallFromMs;   // fade falls from here to endMs
    uint32_t endMs;
    bool wobbles;          // advances its phase
};

constexpr BannerRow kBrindle = {BannerId::Brindle, "BRINDLE", 32000, 37000, 44000, 46000, true};
constexpr BannerRow kGalder = {BannerId::Galder, "GALDER", 42000, 47000, 53000, 55000, false};
constexpr BannerRow kQn = {BannerId::Qn, "QN", 55000, 60000, 67000, 69000, false};
constexpr BannerRow kZembo = {BannerId::Zembo, "ZEMBO", 112000, 117000, 116000, 118000, true};
constexpr BannerRow kKavi = {BannerId::Kavi, "KAVI", 116000, 121000, 120000, 122000, true};
constexpr BannerRow kMessage = {BannerId::Message, "MESSAGE", 120000, 125000, 130000, 132000, true};

constexpr uint32_t kPlusStartMs = 4000, kPlusScatterMs = 27000, kPlusEndMs = 32000;
constexpr uint32_t kSwarmStartMs = 72000, kSwarmLandedMs = 77000, kSwarmLiftMs = 86000,
                   kSwarmEndMs = 89000;
constexpr uint32_t kGreetingsStartMs = 89000, kGreetingsEndMs = 122000;

// A wobbling banner: sways on x, bobs on y, nods on z around a base point.
Vec4 wobble(float baseX, float baseY, float baseZ, float u)
{
    return {baseX + sinf1(u), baseY + 0.2f * cosf1(u + 0.5f), baseZ + 0.1f * sinf1(u + 0.75f), 1.0f};
}

Vec4 bannerPosition(BannerId id, float phase, float pulse)
{
    switch (id) {
    case BannerId::Brindle: return wobble(0.0f, 5.0f, -7.0f, phase);
    case BannerId::Galder: return {-1.0f - 0.2f * pulse, 2.5f - 0.2f * pulse, -8.0f + pulse, 1.0f};
    case BannerId::Qn: return {1.0f + 0.2f * pulse, 4.0f, -6.0f - 3.0f * pulse, 1.0f};
    case BannerId::Zembo: return wobble(0.0f, 7.0f, -7.0f, phase);
    case BannerId::Kavi: return wobble(-1.0f, 3.0f, -8.0f, phase);
    case BannerId::Message: return wobble(6.0f, 6.0f, -7.0f, phase);
    }
    return {};
}

void push(TimelinePlan& plan, const DrawCommand& command)
{
    if (plan.count < static_cast<int>(plan.commands.size()))
        plan.commands[plan.count++] = command;
}

void planBanner(const BannerRow& row, TimelineState& timeline, uint32_t t, float s, float pulse,
                TimelinePlan& plan)
{
    if (!within(t, row.startMs, row.endMs))
        return;
    BannerState& b = timeline.banners[static_cast<int>(row.id)];
    if (t <= row.riseUntilMs)
        b.fade = rise(b.fade, 0.1f, s, 1.0f);
    if (t >= row.fallFromMs)
        b.fade = fall(b.fade, 0.3f, s, 0.0f);
    b.pixelate = rise(b.pixelate, 8.0f, s, 512.0f);
    if (row.wobbles)
        b.phase += 0.25f * s;

    DrawCommand c;
    c.kind = DrawKind::Banner;
    c.banner = row.id;
    c.textureKey = row.key;
    c.fade = b.fade;
    c.pixelate = b.pixelate;
    c.position = bannerPosition(row.id, b.phase, pulse);
    push(plan, c);
}

void planPlusField(TimelineState& timeline, PlusSpin spin, uint32_t t, float s, TimelinePlan& plan)
{
    if (!within(t, kPlusStartMs, kPlusEndMs))
        return;
    if (within(t, kPlusScatterMs, kPlusEndMs)) {
        timeline.plusScatter = rise(timeline.plusScatter, 0.25f, s, 1.0f);
        timeline.plusFade = fall(timeline.plusFade, 0.05f, s, 0.0f);
        const size_t count = std::min(spin.angle.size(), spin.driftRate.size());
        for (size_t k = 0; k < count; ++k)
            spin.angle[k] += spin.driftRate[k] * s * 10.0f;
    }
    push(plan, {DrawKind::PlusField});
}

void planSwarm(TimelineState& timeline, uint32_t t, float s, TimelinePlan& plan)
{
    if (!within(t, kSwarmStartMs, kSwarmEndMs))
        return;
    if (t <= kSwarmLandedMs)
        timeline.swarmHeight = fall(timeline.swarmHeight, 6.0f, s, 15.0f);
    if (t >= kSwarmLiftMs)
        timeline.swarmHeight = rise(timeline.swarmHeight, 10.0f, s, 45.0f);
    push(plan, {DrawKind::SquareSwarm});
}

void planGreetings(uint32_t t, TimelinePlan& plan)
{
    if (within(t, kGreetingsStartMs, kGreetingsEndMs))
        push(plan, {DrawKind::GreetingBanners});
}

void drawCommand(ShowFrameState& show, ProgramEntry& program, const DrawCommand& c, uint32_t t, float s)
{
    ShowState& scene = show.scene;
    switch (c.kind) {
    case DrawKind::PlusField:
        drawPlusField(scene.plus, scene.random, scene.textures, program, paletteColour(scene, 0), s,
                      show.timeline.plusScatter, show.timeline.plusFade, show.beats.spectrum);
        break;
    case DrawKind::Banner:
        drawBanner(scene.textures, program, paletteColour(scene, 1), c.fade, c.textureKey, c.pixelate,
                   c.position);
        break;
    case DrawKind::SquareSwarm:
        drawSquareSwarm(scene.swarm, scene.textures, program, paletteColour(scene, 0), s,
                        show.timeline.swarmHeight);
        break;
    case DrawKind::GreetingBanners:
        for (GreetingBanner& banner : scene.greetingBanners)
            drawGreetingBanner(banner, scene.textures, program, paletteColour(scene, banner.paletteSlot),
                               s, t);
        break;
    }
}

}  // namespace

void planTimeline(TimelineState& timeline, PlusSpin spin, uint32_t t, float s, float beatPulse,
                  TimelinePlan& plan)
{
    plan.count = 0;
    planPlusField(timeline, spin, t, s, plan);
    planBanner(kBrindle, timeline, t, s, beatPulse, plan);
    planBanner(kGalder, timeline, t, s, beatPulse, plan);
    planBanner(kQn, timeline, t, s, beatPulse, plan);
    planSwarm(timeline, t, s, plan);
    planGreetings(t, plan);
    planBanner(kZembo, timeline, t, s, beatPulse, plan);
    planBanner(kKavi, timeline, t, s, beatPulse, plan);
    planBanner(kMessage, timeline, t, s, beatPulse, plan);
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
        gluLookAt(f.cameraEye.x, f.cameraEye.y, f.cameraEye.z, f.cameraTarget.x, f.cameraTarget.y,
                  f.cameraTarget.z, 0.0, 1.0, 0.0);
    }

    setDepthTest(false);
    setCullFace(false);
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);

    TimelinePlan plan;
    planTimeline(show.timeline, {show.scene.plus.spinAngle, show.scene.plus.driftRate}, t, s,
                 show.frame.beatPulse, plan);

    ProgramEntry* program = show.scene.programs.findProgram(shadowPass ? "SHADOW_PASS_TEXTURED" : "PP");
    if (program) {
        glUseProgram(program->glProgram);
        for (int i = 0; i < plan.count; ++i)
            drawCommand(show, *program, plan.commands[i], t, s);
        glUseProgram(0);
    }

    if (shadowPass) {
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
    }
}
