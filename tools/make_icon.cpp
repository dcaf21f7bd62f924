// make_icon: paints the program's desktop icon as an RGBA PNG.
//
//     make_icon <out.png> <size>
//
// The icon is a dark rounded tile with the show's two motifs: a glowing plus
// sprite in the middle and a ring of tilted boxes around it. Every pixel is
// supersampled from the same arithmetic at any size, so the menu's small
// icons match the large one. Exits non-zero with one line on stderr when the
// size is out of range or the file cannot be written.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <png.h>

namespace {

constexpr int kMinSize = 16;
constexpr int kMaxSize = 1024;
constexpr int kSubsamples = 4;  // per axis
constexpr float kPi = 3.14159265f;

struct Colour {
    float r = 0, g = 0, b = 0;
};

Colour mix(const Colour& a, const Colour& b, float t)
{
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// Signed distance to a box of half extents (hx, hy) with corners rounded by r.
float roundedBoxDistance(float x, float y, float hx, float hy, float r)
{
    const float qx = std::abs(x) - hx + r;
    const float qy = std::abs(y) - hy + r;
    const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - r;
}

float plusDistance(float x, float y)
{
    constexpr float arm = 0.26f, half = 0.075f, round = 0.03f;
    return std::min(roundedBoxDistance(x, y, arm, half, round), roundedBoxDistance(x, y, half, arm, round));
}

// Distance to the nearest box of the ring, each box turned along the ring.
float ringDistance(float x, float y, int& nearest)
{
    constexpr int boxes = 12;
    constexpr float radius = 0.34f, half = 0.045f;
    float best = 1e9f;
    for (int i = 0; i < boxes; ++i) {
        const float angle = 2.0f * kPi * static_cast<float>(i) / boxes;
        const float cx = radius * std::cos(angle), cy = radius * std::sin(angle);
        const float turn = angle + kPi / 4.0f;
        const float dx = x - cx, dy = y - cy;
        const float lx = dx * std::cos(turn) + dy * std::sin(turn);
        const float ly = -dx * std::sin(turn) + dy * std::cos(turn);
        const float d = roundedBoxDistance(lx, ly, half, half, 0.01f);
        if (d < best) {
            best = d;
            nearest = i;
        }
    }
    return best;
}

// Colour and coverage of one sample at (x, y) in -0.5..0.5, y down.
void shadeSample(float x, float y, Colour& colour, float& alpha)
{
    const float tile = roundedBoxDistance(x, y, 0.46f, 0.46f, 0.1f);
    alpha = tile <= 0.0f ? 1.0f : 0.0f;
    if (alpha == 0.0f) {
        colour = {};
        return;
    }
    colour = mix({0.09f, 0.10f, 0.22f}, {0.02f, 0.02f, 0.07f}, y + 0.5f);

    const float plus = plusDistance(x, y);
    const float glow = std::exp(-std::max(plus, 0.0f) * 14.0f);
    colour = mix(colour, {1.0f, 0.55f, 0.15f}, 0.55f * glow);

    static const std::array<Colour, 3> palette
        = {{{0.20f, 0.85f, 0.80f}, {0.95f, 0.30f, 0.65f}, {0.98f, 0.80f, 0.30f}}};
    int nearest = 0;
    if (ringDistance(x, y, nearest) <= 0.0f)
        colour = palette[static_cast<size_t>(nearest) % palette.size()];
    if (plus <= 0.0f)
        colour = mix({1.0f, 0.97f, 0.85f}, {1.0f, 0.75f, 0.35f}, std::min(1.0f, std::hypot(x, y) * 4.0f));
}

// Premultiplied supersampling keeps the tile's edge free of dark fringes.
std::vector<uint8_t> paintIcon(int size)
{
    std::vector<uint8_t> rgba(static_cast<size_t>(size) * static_cast<size_t>(size) * 4);
    const float samples = kSubsamples * kSubsamples;
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            Colour sum;
            float coverage = 0.0f;
            for (int sy = 0; sy < kSubsamples; ++sy) {
                for (int sx = 0; sx < kSubsamples; ++sx) {
                    const float x = (static_cast<float>(px) + (sx + 0.5f) / kSubsamples) / size - 0.5f;
                    const float y = (static_cast<float>(py) + (sy + 0.5f) / kSubsamples) / size - 0.5f;
                    Colour c;
                    float a = 0.0f;
                    shadeSample(x, y, c, a);
                    sum = {sum.r + c.r * a, sum.g + c.g * a, sum.b + c.b * a};
                    coverage += a;
                }
            }
            uint8_t* out = &rgba[(static_cast<size_t>(py) * static_cast<size_t>(size) + static_cast<size_t>(px)) * 4];
            auto level = [](float v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
            const float unpremultiply = coverage > 0.0f ? 1.0f / coverage : 0.0f;
            out[0] = level(sum.r * unpremultiply);
            out[1] = level(sum.g * unpremultiply);
            out[2] = level(sum.b * unpremultiply);
            out[3] = level(coverage / samples);
        }
    }
    return rgba;
}

bool writeRgbaPng(const std::string& path, int size, const std::vector<uint8_t>& rgba, std::string& error)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot create " + path;
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    bool written = false;
    if (info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(size), static_cast<png_uint_32>(size), 8,
            PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_compression_level(png, 9);
        png_write_info(png, info);
        for (int y = 0; y < size; ++y)
            png_write_row(png, &rgba[static_cast<size_t>(y) * static_cast<size_t>(size) * 4]);
        png_write_end(png, nullptr);
        written = true;
    }
    png_destroy_write_struct(&png, info ? &info : nullptr);
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::remove(path.c_str());
        error = "cannot write " + path;
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "make_icon: usage: make_icon <out.png> <size>\n");
        return 2;
    }
    char* end = nullptr;
    const long size = std::strtol(argv[2], &end, 10);
    if (*argv[2] == '\0' || *end != '\0' || size < kMinSize || size > kMaxSize) {
        std::fprintf(
            stderr, "make_icon: size must be a whole number from %d to %d, not '%s'\n", kMinSize, kMaxSize, argv[2]);
        return 2;
    }
    std::string error;
    if (!writeRgbaPng(argv[1], static_cast<int>(size), paintIcon(static_cast<int>(size)), error)) {
        std::fprintf(stderr, "make_icon: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
