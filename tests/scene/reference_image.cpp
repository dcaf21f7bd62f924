#include "reference_image.h"

#include <cstdio>
#include <cstdlib>

#include "app/png_writer.h"

namespace {

constexpr double kMaxMeanAbsolute = 2.0;  // per colour channel
constexpr double kMaxFarFraction = 0.005;
constexpr int kFarChannel = 32;

std::vector<uint8_t> rgbOf(const RgbaImage& image)
{
    std::vector<uint8_t> rgb;
    rgb.reserve(image.pixels.size() / 4 * 3);
    for (size_t i = 0; i + 3 < image.pixels.size(); i += 4)
        rgb.insert(rgb.end(), &image.pixels[i], &image.pixels[i + 3]);
    return rgb;
}

}  // namespace

std::string matchReference(const std::string& path, const RgbaImage& image)
{
    std::string error;
    const std::vector<uint8_t> rgb = rgbOf(image);
    const char* update = std::getenv("BRINDLE_UPDATE_REFERENCES");
    if (update && *update && *update != '0')
        return writePng(path, image.width, image.height, rgb.data(), error) ? std::string() : error;

    int width = 0, height = 0;
    std::vector<uint8_t> reference;
    if (!readPng(path, width, height, reference, error))
        return error;
    double mean = 255.0, farFraction = 1.0;
    if (width == image.width && height == image.height && reference.size() == rgb.size() && !rgb.empty()) {
        double sum = 0.0;
        size_t far = 0;
        for (size_t i = 0; i < rgb.size(); i += 3) {
            bool isFar = false;
            for (size_t c = 0; c < 3; ++c) {
                const int diff = std::abs(int(rgb[i + c]) - int(reference[i + c]));
                sum += diff;
                isFar = isFar || diff > kFarChannel;
            }
            far += isFar;
        }
        mean = sum / static_cast<double>(rgb.size());
        farFraction = static_cast<double>(far) / static_cast<double>(rgb.size() / 3);
    }
    if (mean <= kMaxMeanAbsolute && farFraction <= kMaxFarFraction)
        return {};
    const std::string actual = path.substr(path.find_last_of('/') + 1) + ".actual.png";
    writePng(actual, image.width, image.height, rgb.data(), error);
    char text[512];
    std::snprintf(text, sizeof text, "differs from %s: mean %.3f, far pixels %.4f (picture saved as %s)",
                  path.c_str(), mean, farFraction, actual.c_str());
    return text;
}
