// schedule.h: when everything happens in the show, in milliseconds of show time.
//
// The timeline, the greeting banners, the beat flash, the colour fades, the
// statistics, the command line and the capture all take their times from here,
// so moving a scene means changing one row. It sits in scene/ because the
// greeting banners are built from their rows; everything above reads it too.
// Windows are inclusive at both ends; only the statistics' segments are not.
#pragma once

#include <array>
#include <cstdint>

#include "gfx/image_handles.h"

// The show ends by itself when the show time reaches this.
inline constexpr uint32_t kShowLengthMs = 134000;

struct TimeWindow {
    uint32_t startMs, endMs;
};

// Beats flash the picture and push banners only inside this window.
inline constexpr TimeWindow kBeatWindow {20000, 122000};

// The colour fades, drawn in table order over the composed frame.
struct FadeEntry {
    float start, end;  // ms, both inclusive
    float fromR, fromG, fromB;
    float toR, toG, toB;
    float fromAlpha, toAlpha;
};

inline constexpr float kFadeMs = 4000.0f;
inline constexpr std::array<FadeEntry, 2> kFadeTable = {{
    {0.0f, kFadeMs, 0, 0, 0, 0, 0, 0, 1.0f, 0.0f},
    {static_cast<float>(kShowLengthMs) - kFadeMs, static_cast<float>(kShowLengthMs), 0, 0, 0, 0, 0, 0, 0.0f, 1.0f},
}};

// The plus field is drawn over its window and scatters, spins and fades from scatterFromMs on.
struct PlusWindow {
    uint32_t startMs, scatterFromMs, endMs;
};
inline constexpr PlusWindow kPlusWindow {4000, 27000, 32000};

enum class BannerId : uint8_t { Brindle, Galder, Qn, Zembo, Kavi, Message };
inline constexpr int kBannerCount = 6;

// A banner's fade rises from startMs until riseUntilMs and falls from fallFromMs
// until endMs; where the two overlap the banner never reaches full strength.
struct BannerWindow {
    ImageId image;
    uint32_t startMs, riseUntilMs, fallFromMs, endMs;
};

// In BannerId order.
inline constexpr std::array<BannerWindow, kBannerCount> kBannerWindows = {{
    {ImageId::Brindle, 32000, 37000, 44000, 46000},
    {ImageId::Galder, 42000, 47000, 53000, 55000},
    {ImageId::Qn, 55000, 60000, 67000, 69000},
    {ImageId::Zembo, 112000, 117000, 116000, 118000},
    {ImageId::Kavi, 116000, 121000, 120000, 122000},
    {ImageId::Message, 120000, 125000, 130000, 132000},
}};

constexpr const BannerWindow& bannerWindow(BannerId id) { return kBannerWindows[static_cast<int>(id)]; }

// The swarm drops until landedMs and lifts from liftFromMs.
struct SwarmWindow {
    uint32_t startMs, landedMs, liftFromMs, endMs;
};
inline constexpr SwarmWindow kSwarmWindow {72000, 77000, 86000, 89000};

// The timeline hands every greeting banner each frame of this window; each banner
// then draws only inside its own row's window.
inline constexpr TimeWindow kGreetingsWindow {89000, 122000};

struct GreetingRow {
    ImageId image;
    uint32_t startMs, endMs;
    int paletteSlot;
};

// One greeting every two seconds, each overlapping the next by one, colours alternating.
inline constexpr std::array<GreetingRow, 10> kGreetingRows = {{
    {ImageId::Torvale, 89000, 92000, 1},
    {ImageId::Misken, 91000, 94000, 0},
    {ImageId::Orb, 93000, 96000, 1},
    {ImageId::Pellin, 95000, 98000, 0},
    {ImageId::Quarde, 97000, 100000, 1},
    {ImageId::Solvik, 99000, 102000, 0},
    {ImageId::Tb, 101000, 104000, 1},
    {ImageId::Ul, 103000, 106000, 0},
    {ImageId::Veska, 105000, 108000, 1},
    {ImageId::Wenlo, 107000, 110000, 0},
}};

// The stretches the statistics report on: a frame belongs to a segment when
// startMs <= show time < endMs. The pause between the banners and the swarm
// belongs to none.
struct ShowSegment {
    const char* name;
    uint32_t startMs, endMs;
};

inline constexpr std::array<ShowSegment, 6> kShowSegments = {{
    {"intro", 0, kPlusWindow.startMs},
    {"plus", kPlusWindow.startMs, kPlusWindow.endMs},
    {"banners", bannerWindow(BannerId::Brindle).startMs, bannerWindow(BannerId::Qn).endMs},
    {"swarm", kSwarmWindow.startMs, kSwarmWindow.endMs},
    {"greetings", kGreetingsWindow.startMs, kGreetingRows.back().endMs},
    {"credits", kGreetingRows.back().endMs, kShowLengthMs},
}};
