// Decoder tests: the format's worked examples, then damaged and hostile files.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "gfx/palette_image.h"

namespace {

// A .p file in memory, header fields as given; palette entry i is (i, 2, 0).
struct FileLayout {
    int planes = 1, bytesPerLine = 2, firstRow = 0, lastRow = 1;
    uint8_t reserved = 0;
    std::vector<uint8_t> data = {0xC2, 0x01, 0xC2, 0x01};
    bool marker = true;  // the 0x0C byte writers put before the palette
    size_t size = 0;     // when set, the file is cut to this many bytes

    std::vector<uint8_t> bytes() const
    {
        std::vector<uint8_t> file(128 + data.size() + (marker ? 1 : 0) + 768, 0);
        for (auto [at, v] :
            std::initializer_list<std::pair<int, int>> {{6, firstRow}, {10, lastRow}, {66, bytesPerLine}}) {
            file[at] = static_cast<uint8_t>(v & 0xFF), file[at + 1] = static_cast<uint8_t>(v >> 8);
        }
        file[64] = reserved;
        file[65] = static_cast<uint8_t>(planes);
        std::copy(data.begin(), data.end(), file.begin() + 128);
        if (marker)
            file[128 + data.size()] = 0x0C;
        for (size_t i = 0; i < 256; ++i) {
            file[file.size() - 768 + 3 * i] = static_cast<uint8_t>(i), file[file.size() - 767 + 3 * i] = 2;
        }
        if (size)
            file.resize(size);
        return file;
    }
};

const PaletteImage kSentinel = {{1, 2, 3, 4}, {9}, 77, 88};

}  // namespace

TEST(PaletteImage, RunsLiteralsPlanesAndRows)
{
    // The expected pixels are palette indices: index i has red i.
    const std::tuple<const char*, FileLayout, int, int, std::vector<uint8_t>> cases[] = {
        {"2 x 2 example", {.data = {0x05, 0xC1, 0x07, 0xC2, 0x00}}, 2, 2, {5, 7, 0, 0}},
        // The run ends past row 0, so row 1 starts at position 3 and its second
        // pixel would lie beyond the image: it is dropped.
        {"run crossing a row", {.data = {0xC3, 0x05, 0x07, 0x01}}, 2, 2, {5, 5, 5, 7}},
        {"literal 191, then 193 191", {.lastRow = 0, .data = {0xBF, 0xC1, 0xBF}}, 2, 1, {191, 191}},
        {"192 consumes its value and writes nothing", {.lastRow = 0, .data = {0xC0, 0x09, 0x03, 0x04}}, 2, 1, {3, 4}},
        {"run past the last row", {.bytesPerLine = 3, .lastRow = 0, .data = {0xFF, 0x06}}, 3, 1, {6, 6, 6}},
        {"three planes, rows 5 to 8",
            {.planes = 3, .bytesPerLine = 1, .firstRow = 5, .lastRow = 8, .data = {0xC3, 0, 0xC3, 1, 0xC3, 2, 0xC3, 3}},
            3, 4, {0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 3}},
    };
    for (const auto& [what, layout, width, height, reds] : cases) {
        PaletteImage image;
        ASSERT_EQ(decodePaletteImage(layout.bytes(), image), PaletteStatus::Decoded) << what;
        EXPECT_EQ(std::pair(image.width, image.height), std::pair(width, height)) << what;
        std::vector<uint8_t> expected;
        for (uint8_t red : reds)
            expected.insert(expected.end(), {red, 2, 0, red});  // alpha is the red byte
        EXPECT_EQ(image.pixels, expected) << what;
    }
}

TEST(PaletteImage, RefusedFilesLeaveTheRecordUntouched)
{
    const std::pair<FileLayout, PaletteStatus> cases[] = {
        {{.size = 128 + 767}, PaletteStatus::TooShort},
        {{.reserved = 1}, PaletteStatus::ReservedByteSet},
        {{.planes = 0}, PaletteStatus::EmptySize},
        {{.firstRow = 9}, PaletteStatus::EmptySize},
        {{.planes = 255, .bytesPerLine = 65535, .lastRow = 65535}, PaletteStatus::TooLarge},
        {{.bytesPerLine = 8192, .lastRow = 8192}, PaletteStatus::TooLarge},  // one row over the bound
        // Within the bound, but four bytes cannot fill 16 Mi pixels: refused
        // before the buffer is allocated.
        {{.bytesPerLine = 4096, .lastRow = 4095}, PaletteStatus::DataEndsEarly},
        {{.lastRow = 2}, PaletteStatus::DataEndsEarly},
        // Without the marker byte nothing stands between the data and the palette.
        {{.data = {0xC2, 0x01, 0xC2}, .marker = false}, PaletteStatus::DataEndsEarly},
    };
    for (const auto& [layout, expected] : cases) {
        PaletteImage image = kSentinel;
        EXPECT_EQ(decodePaletteImage(layout.bytes(), image), expected) << static_cast<int>(expected);
        EXPECT_EQ(std::tie(image.pixels, image.palette, image.width, image.height),
            std::tie(kSentinel.pixels, kSentinel.palette, kSentinel.width, kSentinel.height));
    }
}
