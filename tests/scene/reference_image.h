// reference_image.h: PNG references for the scene pictures, compared with a tolerance.
//
// Software GL rasterises identically run after run, but drivers and versions
// may differ by a level or an edge pixel, so pictures are compared by how many
// pixels differ noticeably (a colour channel off by more than 32), not byte for
// byte. Setting BRINDLE_UPDATE_REFERENCES=1 rewrites the references instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // rows top to bottom, 4 bytes per pixel; alpha is ignored
};

// Empty when `image` matches the reference at `path` within the tolerance, else
// what went wrong (the picture is then saved in the working directory under the
// reference's name plus ".actual.png"). Sizes must match.
std::string matchReference(const std::string& path, const RgbaImage& image);
