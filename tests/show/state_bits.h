// state_bits.h: every value the show's frames change or draw from, bit for bit,
// and a digest of them over a run of frames through the whole show that
// exercises all of them.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <vector>

#include "scene/show_state.h"
#include "show/frame_driver.h"

inline std::vector<uint32_t> stateBits(const ShowFrameState& show)
{
    const ShowState& s = show.scene;
    std::vector<uint32_t> bits {s.random.state(), uint32_t(show.beats.beatFlags[0])};
    auto add = [&](std::initializer_list<float> values) {
        for (float v : values)
            bits.push_back(std::bit_cast<uint32_t>(v));
    };
    auto addVec = [&](const Vec4& v) { add({v.x, v.y, v.z, v.w}); };
    const TrailEmitter& e = s.plus.emitter;
    for (const Vec4& p : e.positions)
        addVec(p);
    for (size_t i = 0; i < e.nextDrop.size(); ++i) {
        addVec(e.headings[i]);
        bits.insert(bits.end(), {uint32_t(e.nextDrop[i]), uint32_t(e.dropCount[i])});
        add({e.dropTimer[i]});
    }
    for (size_t i = 0; i < s.plus.spinAngle.size(); ++i)
        add({s.plus.spinAngle[i], s.swarm.spinAngle[i % s.swarm.spinAngle.size()]});
    for (size_t i = 0; i < s.swarm.halfSize.size(); ++i) {
        addVec(s.swarm.ringPosition[i]);
        add({s.swarm.halfSize[i]});
    }
    for (const GreetingBanner& g : s.greetingBanners) {
        add({g.yOffset, g.pixelate, g.level, g.scatter, g.materialLevel});
        for (const Vec4& p : g.cellPositions)
            addVec(p);
        for (float tilt : g.cellTilts)
            add({tilt});
    }
    const FrameValues& f = show.frame;
    add({f.lightLevel, f.beatPulse, f.bleedStrength[0], f.bleedStrength[1], f.bleedStrength[2], f.cameraSwayPhase});
    addVec(f.cameraEye);
    for (const BannerState& b : s.banners)
        add({b.fade, b.pixelate, b.phase});
    add({s.plus.scatter, s.plus.fade, s.swarm.height});
    for (float v : show.beats.history(0))
        add({v});
    for (bool done : show.fades.done)
        bits.push_back(done);
    return bits;
}

// FNV-1a over the state's bits after every frame of showDigest, recorded from the
// show as it stands: one changed bit in any frame changes it.
constexpr uint64_t kRecordedShowDigest = 0x2c538d4d5c4787d7u;

// Runs `frame` (advancing or drawing `show`) over uneven frames from 0 through the
// end of the show, the spectrum analysed first and jumping now and then, and
// returns the digest of the states the frames leave.
inline uint64_t showDigest(ShowFrameState& show, const std::function<void(uint32_t t, float step)>& frame)
{
    const std::vector<float> quiet(1024, 0.0f), loud(1024, 1.0f);
    const uint32_t gaps[] = {17, 250, 483, 1};
    uint64_t hash = 14695981039346656037ull;
    uint32_t t = 0, previous = 0;
    for (int k = 0; t <= kShowLengthMs; ++k, previous = t, t += gaps[k % 4]) {
        show.beats.analyse(k % 7 == 3 ? loud.data() : quiet.data());
        frame(t, std::max(static_cast<float>(t - previous) / 500.0f, 0.002f));
        for (uint32_t word : stateBits(show))
            hash = (hash ^ word) * 1099511628211ull;
    }
    return hash;
}
