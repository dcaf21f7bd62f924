// show_state.h: everything the show builds once at start and the frame reads,
// and the script's rows: one row per scene element.
//
// buildShowState runs once before the show's first frame and needs no GL
// context. It seeds the show's generator and builds the elements in row
// order (the plus field, the square swarm, the ten greeting banners), so every
// run places and spins every element identically.
// Element draws pick their colour with paletteColour(state, slot). What changes
// from frame to frame besides the elements and their ramps (flash values, the
// light's matrices, the beat detector, the spectrum) belongs to the show that
// draws this state. destroyShowState releases the element data; the owner of
// the unique_ptr then drops the object.
//
// A new element is its own files, one member here and one row in kSceneRows.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "gfx/image_handles.h"
#include "scene/banner.h"
#include "scene/greeting_banner.h"
#include "scene/plus_field.h"
#include "scene/random.h"
#include "scene/schedule.h"
#include "scene/square_swarm.h"
#include "scene/vec.h"

struct TexturedProgram;

constexpr uint32_t kShowSeed = 564132;

struct ShowState {
    ShowRandom random;
    std::array<Rgba, 3> elementPalette {};
    int materialSet = 0;

    PlusField plus;
    std::array<BannerState, kBannerCount> banners {};  // by BannerId
    SquareSwarm swarm;
    std::vector<GreetingBanner> greetingBanners;
};

// The element palette colour of `slot` (0..2) under the current material set.
Rgba paletteColour(const ShowState& state, int slot);

// One run of the script: show time t (ms), frame step s and the beat's push.
struct SceneRun {
    uint32_t t = 0;
    float s = 0.0f;
    float beatPulse = 0.0f;
};

// What a row draws with: the pass's current program, the images, the frame's
// spectrum (empty for silence) and the show time.
struct SceneDraw {
    const TexturedProgram& program;
    const ImageHandles& images;
    std::span<const float> spectrum;
    uint32_t t = 0;
};

// A scene element as the script runs it. buildShowState calls build; in a run
// whose show time lies in the window (inclusive), the timeline calls plan (the
// element's ramps), and once every row has planned, advance (its own update),
// then draw. Steps an element does not have are null.
struct SceneRow {
    TimeWindow window;
    void (*build)(ShowState&);
    void (*plan)(ShowState&, const SceneRun&);
    void (*advance)(ShowState&, const SceneRun&);
    void (*draw)(const ShowState&, const SceneDraw&);
};

template <BannerId id>
constexpr SceneRow bannerRow()
{
    constexpr auto i = static_cast<size_t>(id);
    return {{bannerWindow(id).startMs, bannerWindow(id).endMs}, nullptr,
        [](ShowState& s, const SceneRun& r) { planBanner(s.banners[i], id, r.t, r.s, r.beatPulse); }, nullptr,
        [](const ShowState& s, const SceneDraw& d) {
            const BannerState& b = s.banners[i];
            drawBanner(
                d.program, paletteColour(s, 1), b.fade, d.images[bannerWindow(id).image], b.pixelate, b.position);
        }};
}

constexpr float kGreetingCellSize = 0.025f;

// In drawing order, which is also the order of the generator's draws.
inline constexpr SceneRow kSceneRows[] = {
    {{kPlusWindow.startMs, kPlusWindow.endMs},
        [](ShowState& s) {
            buildPlusField(s.plus);
            fillPlusParticles(s.plus, s.random);
        },
        [](ShowState& s, const SceneRun& r) { planPlusField(s.plus, r.t, r.s); },
        [](ShowState& s, const SceneRun& r) { advancePlusField(s.plus, r.s, s.random); },
        [](const ShowState& s, const SceneDraw& d) {
            drawPlusField(s.plus, d.images[ImageId::Plus], d.program, paletteColour(s, 0), d.spectrum);
        }},
    bannerRow<BannerId::Brindle>(),
    bannerRow<BannerId::Galder>(),
    bannerRow<BannerId::Qn>(),
    {{kSwarmWindow.startMs, kSwarmWindow.endMs}, [](ShowState& s) { buildSquareSwarm(s.swarm, s.random); },
        [](ShowState& s, const SceneRun& r) { planSquareSwarm(s.swarm, r.t, r.s); },
        [](ShowState& s, const SceneRun& r) { advanceSquareSwarm(s.swarm, r.s); },
        [](const ShowState& s, const SceneDraw& d) {
            drawSquareSwarm(s.swarm, d.images[ImageId::Square], d.program, paletteColour(s, 0));
        }},
    // Every greeting banner runs over the whole stretch; each draws only inside its own window.
    {kGreetingsWindow,
        [](ShowState& s) {
            s.greetingBanners.reserve(kGreetingRows.size());
            for (const GreetingRow& row : kGreetingRows)
                s.greetingBanners.push_back(buildGreetingBanner(
                    row.image, row.startMs, row.endMs, row.paletteSlot, kGreetingCellSize, s.random));
        },
        nullptr,
        [](ShowState& s, const SceneRun& r) {
            for (GreetingBanner& banner : s.greetingBanners)
                updateGreetingBanner(banner, r.s, r.t);
        },
        [](const ShowState& s, const SceneDraw& d) {
            for (const GreetingBanner& banner : s.greetingBanners)
                drawGreetingBanner(
                    banner, d.images[banner.image], d.program, paletteColour(s, banner.paletteSlot), d.t);
        }},
    bannerRow<BannerId::Zembo>(),
    bannerRow<BannerId::Kavi>(),
    bannerRow<BannerId::Message>(),
};

// Builds the state, its elements in row order.
std::unique_ptr<ShowState> buildShowState();

// Releases the element data (the trail emitter and the cell arrays).
void destroyShowState(ShowState& state);
