// random.h: the show's one pseudo-random generator.
//
// A 32-bit linear congruential generator (state * 214013 + 2531011, output bits
// 16..30). The show seeds it once and every generated position, size and spin
// follows from the order of the draws, so every run looks the same. Never
// substitute the C library's rand(): its sequence differs between platforms.
#pragma once

#include <cstdint>

class ShowRandom {
public:
    void seed(uint32_t value) { state_ = value; }

    // Next raw value in 0..32767.
    int next()
    {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int>((state_ >> 16) & 0x7FFFu);
    }

    // Next value in [0, 1), formed in single precision.
    float unit() { return static_cast<float>(next()) * (1.0f / 32768.0f); }

    uint32_t state() const { return state_; }

private:
    uint32_t state_ = 0;
};
