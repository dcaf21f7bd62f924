// reference_image.h: PNG references for the scene pictures, compared with a tolerance.
//
// Software GL rasterises identically run after run, but drivers and versions
// may differ by a level or an edge pixel, so pictures are compared by how many
// pixels differ noticeably, not byte for byte. Setting BRINDLE_UPDATE_REFERENCES=1
// rewrites the references from the current pictures instead of comparing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // rows top to bottom, 4 bytes per pixel
};

// False with `error` set when the file is missing or not an 8-bit PNG.
bool readPng(const std::string& path, RgbaImage& image, std::string& error);
bool writePng(const std::string& path, const RgbaImage& image, std::string& error);

struct ImageDifference {
    double meanAbsolute = 0.0;   // over every channel of every pixel
    double farFraction = 0.0;    // share of pixels with a channel off by more than 32
};

// Sizes must match; a mismatch counts every pixel as far off.
ImageDifference compareImages(const RgbaImage& a, const RgbaImage& b);

// Compares `image` with the reference at `path`, or rewrites the reference when
// BRINDLE_UPDATE_REFERENCES is set. Returns an empty text when they match within
// the tolerance, else what went wrong (the picture is then saved in the working
// directory under the reference's name plus ".actual.png", for a look).
std::string matchReference(const std::string& path, const RgbaImage& image);
