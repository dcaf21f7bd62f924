// show_images.cpp: the show's pictures. See show_images.h.
#include "tools/show_images.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace {

using K = ShowImageKind;

constexpr ShowImagePlan kPlans[] = {
#define BRINDLE_IMAGE(id, key, file, width, height, sampling, readPosition, painting, lettering)                       \
    {file, width, height, K::painting, lettering},
#include "gfx/image_table.inc"
};

// Room left around the lettering: the glow needs a few pixels, and the
// greetings are cut into 12.8-pixel cells that should not slice the outer ones.
struct TextBox {
    int width, height, maxPixelSize;
};

TextBox textBoxFor(const ShowImagePlan& plan)
{
    switch (plan.kind) {
    case K::Logo: return {plan.width - 48, plan.height - 40, 140};
    case K::Greeting: return {plan.width - 96, plan.height - 26, 150};
    default: return {plan.width - 96, plan.height - 36, 110};
    }
}

// Samples a shape given as a function of pixel-centre coordinates.
template<typename Shape> GreyCanvas paintShape(int width, int height, Shape&& shape)
{
    GreyCanvas canvas(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            canvas.at(x, y) = shape(static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f);
        }
    }
    return canvas;
}

// Signed distance from (px, py) to a box centred on the origin with the given
// half extents and rounded corners; negative inside.
float roundedBoxDistance(float px, float py, float halfW, float halfH, float radius)
{
    const float qx = std::fabs(px) - halfW + radius;
    const float qy = std::fabs(py) - halfH + radius;
    const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

uint32_t hashPixel(uint32_t x, uint32_t y)
{
    uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

// A thin bright rule across the logo that fades out towards both ends.
void drawRule(GreyCanvas& canvas, int top, int thickness)
{
    const float half = 0.5f * static_cast<float>(canvas.width);
    for (int y = top; y < top + thickness && y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            const float fromCentre = std::fabs(static_cast<float>(x) + 0.5f - half) / half;
            canvas.at(x, y) = std::max(canvas.at(x, y), 0.8f * (1.0f - smoothStep(0.55f, 0.95f, fromCentre)));
        }
    }
}

GreyCanvas paintBanner(FontFace& font, const ShowImagePlan& plan, int pixelSize)
{
    GreyCanvas canvas(plan.width, plan.height);
    font.drawCentred(
        canvas, plan.text, pixelSize, 0.5f * static_cast<float>(plan.width), 0.5f * static_cast<float>(plan.height));
    if (plan.kind == K::Logo) {
        drawRule(canvas, 6, 3);
        drawRule(canvas, plan.height - 9, 3);
    }
    addGlow(canvas, 3, 0.45f);
    return canvas;
}

GreyCanvas paintFlatGrey(int width, int height)
{
    GreyCanvas canvas(width, height);
    std::fill(canvas.values.begin(), canvas.values.end(), 128.0f / 255.0f);
    return canvas;
}

GreyCanvas paintArtwork(const ShowImagePlan& plan)
{
    switch (plan.kind) {
    case K::Plus: return paintPlus(plan.width, plan.height);
    case K::Noise: return paintFineNoise(plan.width, plan.height);
    case K::Vignette: return paintVignetteOverlay(plan.width, plan.height);
    case K::Dot: return paintSoftDot(plan.width, plan.height);
    case K::Frame: return paintSquareFrame(plan.width, plan.height);
    case K::Spotlight: return paintSpotlight(plan.width, plan.height);
    default: return paintFlatGrey(plan.width, plan.height);
    }
}

bool isBanner(ShowImageKind kind)
{
    return kind == K::Logo || kind == K::Greeting || kind == K::Credit || kind == K::Closing;
}

}  // namespace

std::span<const ShowImagePlan> showImagePlans() { return kPlans; }

GreyCanvas paintPlus(int width, int height)
{
    const float unit = 0.5f * static_cast<float>(std::min(width, height));
    const float halfLength = 0.86f * unit, halfThickness = 0.25f * unit, corner = 0.09f * unit;
    const float softness = 0.025f * unit;
    GreyCanvas canvas = paintShape(width, height, [&](float x, float y) {
        const float px = x - 0.5f * static_cast<float>(width), py = y - 0.5f * static_cast<float>(height);
        const float d = std::min(roundedBoxDistance(px, py, halfLength, halfThickness, corner),
            roundedBoxDistance(px, py, halfThickness, halfLength, corner));
        const float body = 1.0f - smoothStep(-softness, softness, d);
        // A slight falloff towards the arm ends keeps the sprite from looking flat.
        const float fromCentre = std::max(std::fabs(px), std::fabs(py)) / halfLength;
        return body * (1.0f - 0.2f * fromCentre * fromCentre);
    });
    addGlow(canvas, static_cast<int>(softness), 0.5f);
    return canvas;
}

GreyCanvas paintSquareFrame(int width, int height)
{
    const float unit = static_cast<float>(std::min(width, height));
    const float border = 0.05f * unit, blend = 0.03f * unit;
    const float innerLine = 0.12f * unit, innerWidth = 0.008f * unit;
    return paintShape(width, height, [&](float x, float y) {
        const float d
            = std::min(std::min(x, y), std::min(static_cast<float>(width) - x, static_cast<float>(height) - y));
        const float frame = 1.0f - smoothStep(border, border + blend, d);
        const float line = 0.35f * (1.0f - smoothStep(0.0f, innerWidth, std::fabs(d - innerLine)));
        return std::max(0.12f + 0.88f * frame, 0.12f + line);
    });
}

GreyCanvas paintSpotlight(int width, int height)
{
    const float radius = 0.48f * static_cast<float>(std::min(width, height));
    return paintShape(width, height, [&](float x, float y) {
        const float r
            = std::hypot(x - 0.5f * static_cast<float>(width), y - 0.5f * static_cast<float>(height)) / radius;
        if (r >= 1.0f)
            return 0.0f;
        const float c = std::cos(1.5707964f * r);
        return c * c;
    });
}

GreyCanvas paintVignetteOverlay(int width, int height)
{
    // Row profile of the scanlines, four rows per period, darkest on the third.
    constexpr std::array<float, 4> kScanline {0.0f, 0.4f, 1.0f, 0.4f};
    return paintShape(width, height, [&](float x, float y) {
        const float nx = 2.0f * x / static_cast<float>(width) - 1.0f;
        const float ny = 2.0f * y / static_cast<float>(height) - 1.0f;
        const float r = std::sqrt(nx * nx + ny * ny);
        const float vignette = 0.3f * smoothStep(0.55f, 1.42f, r);
        const float scan = 0.03f * kScanline[static_cast<size_t>(y) % kScanline.size()];
        return vignette + scan;
    });
}

GreyCanvas paintSoftDot(int width, int height)
{
    const float radius = 0.5f * static_cast<float>(std::min(width, height));
    return paintShape(width, height, [&](float x, float y) {
        const float r
            = std::hypot(x - 0.5f * static_cast<float>(width), y - 0.5f * static_cast<float>(height)) / radius;
        return std::exp(-5.0f * r * r) * (1.0f - smoothStep(0.8f, 1.0f, r));
    });
}

GreyCanvas paintFineNoise(int width, int height)
{
    return paintShape(width, height, [&](float x, float y) {
        const uint32_t h = hashPixel(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
        return 0.3f + 0.4f * static_cast<float>(h >> 8) / 16777216.0f;
    });
}

bool makeShowImages(const std::string& fontPath, std::vector<ShowImage>& out, std::string& error)
{
    out.clear();
    FontFace font;
    if (!font.open(fontPath, error))
        return false;

    // Banners of one kind share a letter size, so the greetings (and the two
    // credits) look like a set rather than each filling its box differently.
    std::array<int, 4> sharedSize {0, 0, 0, 0};
    for (const ShowImagePlan& plan : kPlans) {
        if (!isBanner(plan.kind))
            continue;
        const TextBox box = textBoxFor(plan);
        const int size = font.largestSizeFitting(plan.text, box.width, box.height, box.maxPixelSize);
        if (size == 0) {
            error = std::string(plan.file) + ": the text \"" + plan.text + "\" does not fit";
            return false;
        }
        int& shared = sharedSize[static_cast<size_t>(plan.kind)];
        shared = shared == 0 ? size : std::min(shared, size);
    }

    for (const ShowImagePlan& plan : kPlans) {
        GreyCanvas canvas;
        if (plan.kind == K::Logo) {
            // Each logo fills its own banner: the title is two letters, the maker's name seven.
            const TextBox box = textBoxFor(plan);
            canvas
                = paintBanner(font, plan, font.largestSizeFitting(plan.text, box.width, box.height, box.maxPixelSize));
        } else if (isBanner(plan.kind)) {
            canvas = paintBanner(font, plan, sharedSize[static_cast<size_t>(plan.kind)]);
        } else {
            canvas = paintArtwork(plan);
        }
        out.push_back(ShowImage {plan.file, canvas.toIndexed()});
    }
    return true;
}
