// palette_image.h: reads the show's .p images (8-bit palette, run-length encoded).
//
// Layout: a 128-byte header (little-endian: first row index at 6, last row index
// at 10, reserved byte 64 that must be 0, plane count at 65, bytes per line at
// 66), run-length encoded palette indices from offset 128, and 256 RGB palette
// entries in the file's last 768 bytes. A pixel's alpha is its colour's red byte,
// so white-on-black artwork becomes white with matching transparency.
//
// Usage:
//     PaletteImage image;
//     PaletteStatus s = loadPaletteImage("Data/plus.p", image);
//     if (s == PaletteStatus::Decoded) use(image.pixels, image.width, image.height);
//     else report(paletteStatusText(s));
//
// The decoder works on a byte span, reads nothing outside it and writes nothing
// outside width x height x 4 bytes. Any status other than Decoded leaves the
// image exactly as it was.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

struct PaletteImage {
    std::vector<uint8_t> pixels;   // width x height x 4 RGBA bytes, file row 0 first
    std::vector<uint8_t> palette;  // 768 bytes: entry i is red, green, blue at 3i..3i+2
    int width = 0;                 // plane count x bytes per line
    int height = 0;                // last row index - first row index + 1
};

enum class PaletteStatus {
    Decoded,
    Missing,          // the file could not be opened or read
    NotRegular,       // a folder, FIFO or device: loadPaletteImage reads regular files only
    TooShort,         // shorter than the header plus the palette
    ReservedByteSet,  // header byte 64 is not 0
    EmptySize,        // width or height is zero or negative
    TooLarge,         // more than kMaxPalettePixels pixels, or an oversized file
    DataEndsEarly,    // the encoded data stops before the last row is complete
};

// 64 Mi pixels (256 MiB of RGBA): sixty-four times the largest image the show
// uses, yet small enough that a hostile header cannot exhaust memory.
inline constexpr int64_t kMaxPalettePixels = int64_t {64} * 1024 * 1024;
// Files larger than this are refused before they are read into memory.
inline constexpr int64_t kMaxPaletteFileBytes = int64_t {512} * 1024 * 1024;

// Decodes a whole file held in memory; the other two entry points and fuzzers
// go through it. The encoded data is the span between the header and the palette. Runs may cross into the next row;
// pixels a run would put beyond the last row are dropped.
PaletteStatus decodePaletteImage(std::span<const uint8_t> file, PaletteImage& image);

// Reads `file` (opened "rb", positioned at its start) to its end, decodes it and
// closes it in every case.
PaletteStatus readPaletteImage(PaletteImage& image, std::FILE* file);

// Opens `path` for reading, without waiting on a FIFO, and reads it when it is
// a regular file. Missing when it cannot be opened, with the errno in
// *openError when that is given.
PaletteStatus loadPaletteImage(const std::string& path, PaletteImage& image, int* openError = nullptr);

// A short lower-case phrase for messages, e.g. "ends before its last row".
const char* paletteStatusText(PaletteStatus status);
