#include "reference_image.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

constexpr double kMaxMeanAbsolute = 1.5;
constexpr double kMaxFarFraction = 0.005;
constexpr int kFarChannel = 32;

}  // namespace

bool readPng(const std::string& path, RgbaImage& image, std::string& error)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) {
        error = path + ": " + png.message;
        return false;
    }
    png.format = PNG_FORMAT_RGBA;
    image.width = static_cast<int>(png.width);
    image.height = static_cast<int>(png.height);
    image.pixels.assign(PNG_IMAGE_SIZE(png), 0);
    if (!png_image_finish_read(&png, nullptr, image.pixels.data(), 0, nullptr)) {
        error = path + ": " + png.message;
        png_image_free(&png);
        return false;
    }
    return true;
}

bool writePng(const std::string& path, const RgbaImage& image, std::string& error)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGBA;
    if (!png_image_write_to_file(&png, path.c_str(), 0, image.pixels.data(), 0, nullptr)) {
        error = path + ": " + png.message;
        return false;
    }
    return true;
}

ImageDifference compareImages(const RgbaImage& a, const RgbaImage& b)
{
    ImageDifference d;
    if (a.width != b.width || a.height != b.height || a.pixels.size() != b.pixels.size() || a.pixels.empty()) {
        d.meanAbsolute = 255.0;
        d.farFraction = 1.0;
        return d;
    }
    double sum = 0.0;
    size_t far = 0;
    for (size_t i = 0; i < a.pixels.size(); i += 4) {
        bool isFar = false;
        for (size_t c = 0; c < 4; ++c) {
            const int diff = std::abs(int(a.pixels[i + c]) - int(b.pixels[i + c]));
            sum += diff;
            isFar = isFar || diff > kFarChannel;
        }
        far += isFar;
    }
    d.meanAbsolute = sum / static_cast<double>(a.pixels.size());
    d.farFraction = static_cast<double>(far) / static_cast<double>(a.pixels.size() / 4);
    return d;
}

std::string matchReference(const std::string& path, const RgbaImage& image)
{
    std::string error;
    const char* update = std::getenv("BRINDLE_UPDATE_REFERENCES");
    if (update && *update && *update != '0')
        return writePng(path, image, error) ? std::string() : error;

    RgbaImage reference;
    if (!readPng(path, reference, error))
        return error;
    const ImageDifference d = compareImages(reference, image);
    if (d.meanAbsolute <= kMaxMeanAbsolute && d.farFraction <= kMaxFarFraction)
        return {};
    const std::string actual = path.substr(path.find_last_of('/') + 1) + ".actual.png";
    std::string ignored;
    writePng(actual, image, ignored);
    char text[512];
    std::snprintf(text, sizeof text, "differs from %s: mean %.3f, far pixels %.4f (picture saved as %s)",
                  path.c_str(), d.meanAbsolute, d.farFraction, actual.c_str());
    return text;
}
