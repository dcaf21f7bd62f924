// grey_canvas.cpp: quantising and blurring grey pictures. See grey_canvas.h.
#include "tools/grey_canvas.h"

#include <algorithm>
#include <cmath>

IndexedImage GreyCanvas::toIndexed() const
{
    IndexedImage image(width, height);
    for (size_t i = 0; i < values.size(); ++i) {
        const float v = std::clamp(values[i], 0.0f, 1.0f);
        image.indices[i] = static_cast<uint8_t>(std::lround(v * 255.0f));
    }
    return image;
}

float smoothStep(float edge0, float edge1, float x)
{
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3.0f - 2.0f * t);
}

namespace {

// One pass of a running-sum box filter over `count` samples `stride` apart.
void blurLine(float* line, int count, size_t stride, int radius, std::vector<float>& scratch)
{
    scratch.resize(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        scratch[static_cast<size_t>(i)] = line[static_cast<size_t>(i) * stride];
    const auto sample = [&](int i) { return scratch[static_cast<size_t>(std::clamp(i, 0, count - 1))]; };
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    double sum = 0.0;
    for (int i = -radius; i <= radius; ++i)
        sum += sample(i);
    for (int i = 0; i < count; ++i) {
        line[static_cast<size_t>(i) * stride] = static_cast<float>(sum) * scale;
        sum += sample(i + radius + 1) - sample(i - radius);
    }
}

}  // namespace

void boxBlur(GreyCanvas& canvas, int radius)
{
    if (radius <= 0 || canvas.values.empty())
        return;
    std::vector<float> scratch;
    for (int y = 0; y < canvas.height; ++y)
        blurLine(&canvas.at(0, y), canvas.width, 1, radius, scratch);
    for (int x = 0; x < canvas.width; ++x) {
        blurLine(&canvas.at(x, 0), canvas.height, static_cast<size_t>(canvas.width), radius, scratch);
    }
}

void addGlow(GreyCanvas& canvas, int radius, float strength)
{
    GreyCanvas glow = canvas;
    for (int pass = 0; pass < 3; ++pass)
        boxBlur(glow, radius);
    for (size_t i = 0; i < canvas.values.size(); ++i) {
        canvas.values[i] = std::max(canvas.values[i], glow.values[i] * strength);
    }
}
