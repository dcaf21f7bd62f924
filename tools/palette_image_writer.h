// palette_image_writer.h: writes the show's .p images (8-bit palette indices,
// run-length encoded, PCX layout), the inverse of gfx/palette_image.h.
//
// Layout written: a 128-byte header (version 5, run-length encoding, 8 bits
// per pixel, one plane, bytes per line = width, rows 0 .. height-1), the
// encoded rows, the marker byte 12 and the 768-byte palette at the very end.
// Encoding: a byte below 192 is a literal index; a byte 192 + n (1 <= n <= 63)
// repeats the following index n times. Runs never cross a row, and indices of
// 192 and above are always written as a run, so a literal can never be taken
// for a control byte.
//
// Usage:
//     IndexedImage image(512, 128);            // all index 0, grey-ramp palette
//     image.at(x, y) = 255;
//     std::vector<uint8_t> bytes = encodePaletteImage(image);   // empty if invalid
//     std::string error;
//     if (!writePaletteImageFile("Data/bdl.p", image, error)) report(error);
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

using Palette768 = std::array<uint8_t, 768>;

// Entry i is (i, i, i): the index is the grey level, and the reader's alpha
// (the red byte) equals it.
Palette768 greyRampPalette();

struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> indices;  // width x height, row 0 first (the top of the picture)
    Palette768 palette = greyRampPalette();

    IndexedImage() = default;
    IndexedImage(int w, int h)
        : width(w)
        , height(h)
        , indices(static_cast<size_t>(w) * static_cast<size_t>(h), 0)
    {
    }
    uint8_t& at(int x, int y)
    {
        return indices[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
    uint8_t at(int x, int y) const
    {
        return indices[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
};

inline constexpr int kPaletteHeaderBytes = 128;
inline constexpr int kPaletteBytes = 768;
inline constexpr int kLongestRun = 63;
// The header stores width and the last row index in 16 bits.
inline constexpr int kMaxEncodableWidth = 65535;
inline constexpr int kMaxEncodableHeight = 65536;

// True when the image can be encoded: both sizes within 1 .. the limits above
// and exactly width x height indices.
bool isEncodable(const IndexedImage& image);

// Run-length encodes one row of indices (never longer than the row).
void encodeRow(const uint8_t* row, int width, std::vector<uint8_t>& out);

// The whole file in memory; empty when the image is not encodable.
std::vector<uint8_t> encodePaletteImage(const IndexedImage& image);

// Encodes and writes the file; false with a message naming the path on failure.
bool writePaletteImageFile(const std::string& path, const IndexedImage& image, std::string& error);
