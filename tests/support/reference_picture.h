// reference_picture.h: pictures read back from GL and compared with PNG
// references within a tolerance.
//
// Software GL rasterises identically run after run, but drivers and versions
// may differ by a level or an edge pixel, so a picture matches its reference when
// its mean difference per channel and its share of noticeably different pixels
// (a channel off by more than 32) stay small. Setting BRINDLE_UPDATE_REFERENCES=1
// rewrites the references instead of comparing.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture/png_writer.h"
#include "gfx/gl_api.h"

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // top row first
};

// The lower-left width x height pixels of the bound read framebuffer, box-filtered
// down by an integer factor so that references of whole frames stay small.
inline Picture readPicture(int width, int height, int factor = 1)
{
    std::vector<uint8_t> bottomUp(static_cast<size_t>(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    Picture picture {width / factor, height / factor, {}};
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < factor; ++dy)
                    for (int dx = 0; dx < factor; ++dx)
                        sum += bottomUp[((height - 1 - y * factor - dy) * width + x * factor + dx) * 3 + c];
                picture.rgb.push_back(static_cast<uint8_t>(sum / (factor * factor)));
            }
    return picture;
}

// Empty when `picture` matches the reference at `path`, else what differs.
inline std::string matchReference(const std::string& path, const Picture& picture)
{
    std::string error;
    const char* update = std::getenv("BRINDLE_UPDATE_REFERENCES");
    if (update && *update && *update != '0')
        return writePng(path, picture.width, picture.height, picture.rgb.data(), error) ? std::string() : error;
    Picture reference;
    if (!readPng(path, reference.width, reference.height, reference.rgb, error))
        return error;
    if (reference.width != picture.width || reference.height != picture.height || picture.rgb.empty())
        return path + " has another size";
    double sum = 0.0;
    size_t far = 0;
    for (size_t i = 0; i < picture.rgb.size(); i += 3) {
        bool isFar = false;
        for (size_t c = i; c < i + 3; ++c) {
            const int difference = std::abs(picture.rgb[c] - reference.rgb[c]);
            sum += difference;
            isFar = isFar || difference > 32;
        }
        far += isFar;
    }
    const double mean = sum / static_cast<double>(picture.rgb.size());
    const double farShare = static_cast<double>(far) / static_cast<double>(picture.rgb.size() / 3);
    if (mean <= 2.0 && farShare <= 0.005)
        return {};
    char text[512];
    std::snprintf(text, sizeof text, "differs from %s: mean %.3f, far pixels %.4f", path.c_str(), mean, farShare);
    return text;
}
