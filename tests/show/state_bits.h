// state_bits.h: every value the show's frames change or draw from, bit for bit,
// and a digest of them over a run of frames through the whole show that
// exercises all of them.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "scene/show_state.h"
#include "show/frame_driver.h"

// A banner keeps the position its last plan gave it once its window has passed,
// so only runs from the start are held to the banners' `positions`.
inline std::vector<uint32_t> stateBits(const ShowFrameState& show, bool positions = false)
{
    const ShowState& s = show.scene;
    std::vector<uint32_t> bits {s.random.state(), uint32_t(show.beats.beatFlags[0])};
    // Floats, ints and Vec4s are whole 32-bit words: each value's bits as they lie.
    auto add = [&](const auto& values) {
        const size_t at = bits.size(), bytes = std::size(values) * sizeof(*std::data(values));
        bits.resize(at + bytes / 4);
        std::memcpy(bits.data() + at, std::data(values), bytes);
    };
    const TrailEmitter& e = s.plus.emitter;
    add(e.positions);
    add(e.headings);
    add(e.nextDrop);
    add(e.dropCount);
    add(e.dropTimer);
    add(s.plus.spinAngle);
    add(s.swarm.spinAngle);
    add(s.swarm.ringPosition);
    add(s.swarm.halfSize);
    for (const GreetingBanner& g : s.greetingBanners) {
        add(std::array {g.yOffset, g.pixelate, g.level, g.scatter, g.materialLevel});
        add(g.cellPositions);
        add(g.cellTexCoords);
        add(g.cellTilts);
    }
    const FrameValues& f = show.frame;
    add(std::array {f.lightLevel, f.beatPulse, f.cameraSwayPhase});
    add(f.bleedStrength);
    add(std::array {f.cameraEye});
    for (const BannerState& b : s.banners) {
        add(std::array {b.fade, b.pixelate, b.phase});
        if (positions)
            add(std::array {b.position});
    }
    add(std::array {s.plus.scatter, s.plus.fade, s.swarm.height});
    for (int slot = 0; slot <= 3; ++slot)  // slot 3 is past the palette
        add(std::array {paletteColour(s, slot)});
    add(show.beats.history(0));
    for (bool done : show.fades.done)
        bits.push_back(done);
    return bits;
}

// FNV-1a over the state's bits after every frame of showDigest, recorded from the
// show as it stands: one changed bit in any frame changes it.
constexpr uint64_t kRecordedShowDigest = 0xfa6d5562ea0ae12fu;

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
        for (uint32_t word : stateBits(show, true))
            hash = (hash ^ word) * 1099511628211ull;
    }
    return hash;
}
