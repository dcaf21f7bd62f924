// timeline.cpp: the show's script and the pass that draws it.
#include "show/timeline.h"

#include <GL/glu.h>

#include <algorithm>
#include <cmath>

#include "gfx/gl_api.h"
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
    bool wobbles;  // advances its phase
};

constexpr BannerRow kBrindle = {BannerId::Brindle, true};
constexpr BannerRow kGalder = {BannerId::Galder, false};
constexpr BannerRow kQn = {BannerId::Qn, false};
constexpr BannerRow kZembo = {BannerId::Zembo, true};
constexpr BannerRow kKavi = {BannerId::Kavi, true};
constexpr BannerRow kMessage = {BannerId::Message, true};

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

void planBanner(const BannerRow& row, TimelineState& timeline, uint32_t t, float s, float pulse, TimelinePlan& plan)
{
    const BannerWindow& window = bannerWindow(row.id);
    if (!within(t, window.startMs, window.endMs))
        return;
    BannerState& b = timeline.banners[static_cast<int>(row.id)];
    if (t <= window.riseUntilMs)
        b.fade = rise(b.fade, 0.1f, s, 1.0f);
    if (t >= window.fallFromMs)
        b.fade = fall(b.fade, 0.3f, s, 0.0f);
    b.pixelate = rise(b.pixelate, 8.0f, s, 512.0f);
    if (row.wobbles)
        b.phase += 0.25f * s;

    DrawCommand c;
    c.kind = DrawKind::Banner;
    c.banner = row.id;
    c.fade = b.fade;
    c.pixelate = b.pixelate;
    c.position = bannerPosition(row.id, b.phase, pulse);
    push(plan, c);
}

void planPlusField(TimelineState& timeline, PlusSpin spin, uint32_t t, float s, TimelinePlan& plan)
{
    if (!within(t, kPlusWindow.startMs, kPlusWindow.endMs))
        return;
    if (within(t, kPlusWindow.scatterFromMs, kPlusWindow.endMs)) {
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
    if (!within(t, kSwarmWindow.startMs, kSwarmWindow.endMs))
        return;
    if (t <= kSwarmWindow.landedMs)
        timeline.swarmHeight = fall(timeline.swarmHeight, 6.0f, s, 15.0f);
    if (t >= kSwarmWindow.liftFromMs)
        timeline.swarmHeight = rise(timeline.swarmHeight, 10.0f, s, 45.0f);
    push(plan, {DrawKind::SquareSwarm});
}

void planGreetings(uint32_t t, TimelinePlan& plan)
{
    if (within(t, kGreetingsWindow.startMs, kGreetingsWindow.endMs))
        push(plan, {DrawKind::GreetingBanners});
}

void advanceElement(ShowFrameState& show, const DrawCommand& c, uint32_t t, float s)
{
    ShowState& scene = show.scene;
    switch (c.kind) {
    case DrawKind::PlusField: advancePlusField(scene.plus, s, show.timeline.plusScatter, scene.random); break;
    case DrawKind::Banner: break;
    case DrawKind::SquareSwarm: advanceSquareSwarm(scene.swarm, s); break;
    case DrawKind::GreetingBanners:
        for (GreetingBanner& banner : scene.greetingBanners)
            updateGreetingBanner(banner, s, t);
        break;
    }
}

void drawCommand(ShowFrameState& show, const TexturedProgram& program, const DrawCommand& c, uint32_t t)
{
    ShowState& scene = show.scene;
    const ShowAssets& assets = show.assets;
    switch (c.kind) {
    case DrawKind::PlusField:
        drawPlusField(scene.plus, assets.plus, program, paletteColour(scene, 0), show.timeline.plusScatter,
            show.timeline.plusFade, show.beats.spectrum);
        break;
    case DrawKind::Banner:
        drawBanner(program, paletteColour(scene, 1), c.fade, assets.banners[static_cast<int>(c.banner)], c.pixelate,
            c.position);
        break;
    case DrawKind::SquareSwarm:
        drawSquareSwarm(scene.swarm, assets.square, program, paletteColour(scene, 0), show.timeline.swarmHeight);
        break;
    case DrawKind::GreetingBanners:
        for (size_t i = 0; i < scene.greetingBanners.size(); ++i) {
            const GreetingBanner& banner = scene.greetingBanners[i];
            const TextureEntry* texture = i < assets.greetings.size() ? assets.greetings[i] : nullptr;
            drawGreetingBanner(banner, texture, program, paletteColour(scene, banner.paletteSlot), t);
        }
        break;
    }
}

}  // namespace

void planTimeline(TimelineState& timeline, PlusSpin spin, uint32_t t, float s, float beatPulse, TimelinePlan& plan)
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

void advanceTimeline(ShowFrameState& show, uint32_t t, float s, TimelinePlan& plan)
{
    planTimeline(
        show.timeline, {show.scene.plus.spinAngle, show.scene.plus.driftRate}, t, s, show.frame.beatPulse, plan);
    for (int i = 0; i < plan.count; ++i)
        advanceElement(show, plan.commands[i], t, s);
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
    for (int i = 0; i < plan.count; ++i)
        drawCommand(show, program, plan.commands[i], t);
    glUseProgram(0);
}
