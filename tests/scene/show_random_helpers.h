// show_random_helpers.h: puts the show's generator where a test needs it.
#pragma once

#include <cstdint>

#include "scene/show_state.h"

// A generator seeded like the show's and advanced past `draws` values.
inline ShowRandom showRandomAfter(int draws)
{
    ShowRandom random;
    random.seed(kShowSeed);
    for (int i = 0; i < draws; ++i)
        random.next();
    return random;
}

// A generator whose next draw returns `output` (0..32767): the state that steps
// to output << 16 is found by inverting the multiplier modulo 2^32.
inline ShowRandom randomYielding(int output)
{
    const uint32_t inverse = 0xB9B33155u;  // 214013 * inverse = 1 modulo 2^32
    ShowRandom random;
    random.seed(((static_cast<uint32_t>(output) << 16) - 2531011u) * inverse);
    return random;
}
