// Decoder tests: the format's worked examples, then damaged and hostile files.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "gfx/palette_image.h"
#include "palette_file.h"

namespace {

using Px = std::array<uint8_t, 4>;

Px pixelAt(const PaletteImage& image, int p) {
    return {image.pixels[p * 4], image.pixels[p * 4 + 1], image.pixels[p * 4 + 2], image.pixels[p * 4 + 3]};
}

const PaletteImage kSentinel = {{1, 2, 3, 4}, {9}, 77, 88};

bool untouched(const PaletteImage& image) {
    return image.pixels == kSentinel.pixels && image.palette == kSentinel.palette && image.width == 77 &&
           image.height == 88;
}

PaletteStatus decode(const PaletteFileLayout& layout, PaletteImage& image) {
    return decodePaletteImage(buildPaletteFile(layout), image);
}

}  // namespace

TEST(PaletteImage, DecodesTheTwoByTwoExampleWithAlphaFromRed) {
    PaletteFileLayout layout;
    layout.data = {0x05, 0xC1, 0x07, 0xC2, 0x01};
    layout.colour(5, 255, 128, 0);
    layout.colour(7, 10, 20, 30);
    PaletteImage image;
    ASSERT_EQ(decode(layout, image), PaletteStatus::Decoded);
    ASSERT_EQ(image.pixels.size(), 16u);
    EXPECT_EQ(pixelAt(image, 0), (Px{255, 128, 0, 255}));
    EXPECT_EQ(pixelAt(image, 1), (Px{10, 20, 30, 10}));
    EXPECT_EQ(pixelAt(image, 2), (Px{0, 0, 0, 0}));
    EXPECT_EQ(pixelAt(image, 3), (Px{0, 0, 0, 0}));
    EXPECT_EQ(image.palette.size(), 768u);
}

TEST(PaletteImage, RunsAndLiterals) {
    struct Case {
        const char* what;
        int bytesPerLine, lastRow;
        std::vector<uint8_t> data;
        std::vector<uint8_t> reds;  // red byte of every pixel; palette index i has red i
    };
    const Case cases[] = {
        // The run ends past row 0, so row 1 starts at position 3 and its second
        // pixel would lie beyond the image: it is dropped.
        {"run crossing a row", 2, 1, {0xC3, 0x05, 0x07, 0x01}, {5, 5, 5, 7}},
        {"literal 191, then 193 191", 2, 0, {0xBF, 0xC1, 0xBF}, {191, 191}},
        {"192 consumes its value and writes nothing", 2, 0, {0xC0, 0x09, 0x03, 0x04}, {3, 4}},
        {"run past the last row", 3, 0, {0xFF, 0x06}, {6, 6, 6}},
    };
    for (const Case& c : cases) {
        PaletteFileLayout layout;
        layout.bytesPerLine = c.bytesPerLine;
        layout.lastRow = c.lastRow;
        layout.data = c.data;
        for (int i = 0; i < 256; ++i) layout.colour(i, static_cast<uint8_t>(i), 0, 0);
        PaletteImage image;
        ASSERT_EQ(decode(layout, image), PaletteStatus::Decoded) << c.what;
        std::vector<uint8_t> reds;
        for (size_t p = 0; p < image.pixels.size(); p += 4) reds.push_back(image.pixels[p]);
        EXPECT_EQ(reds, c.reds) << c.what;
    }
}

TEST(PaletteImage, SizeComesFromPlanesBytesPerLineAndRowIndices) {
    PaletteFileLayout layout;
    layout.planes = 3;
    layout.bytesPerLine = 8;
    layout.firstRow = 5;
    layout.lastRow = 8;
    for (uint8_t row = 0; row < 4; ++row) layout.data.insert(layout.data.end(), {0xD8, row});
    layout.colour(3, 200, 0, 0);
    PaletteImage image;
    ASSERT_EQ(decode(layout, image), PaletteStatus::Decoded);
    EXPECT_EQ(image.width, 24);
    EXPECT_EQ(image.height, 4);
    EXPECT_EQ(pixelAt(image, 3 * 24)[0], 200);
    EXPECT_EQ(pixelAt(image, 3 * 24 - 1)[0], 0);
}

TEST(PaletteImage, RefusedFilesLeaveTheRecordUntouched) {
    struct Case {
        const char* what;
        PaletteStatus expected;
        void (*edit)(PaletteFileLayout&);
    };
    const Case cases[] = {
        {"reserved byte 1", PaletteStatus::ReservedByteSet, [](PaletteFileLayout& s) { s.reserved = 1; }},
        {"no planes", PaletteStatus::EmptySize, [](PaletteFileLayout& s) { s.planes = 0; }},
        {"last row before first", PaletteStatus::EmptySize, [](PaletteFileLayout& s) { s.firstRow = 9; }},
        {"largest header", PaletteStatus::TooLarge,
         [](PaletteFileLayout& s) { s.planes = 255, s.bytesPerLine = 65535, s.lastRow = 65535; }},
        {"one row over the pixel bound", PaletteStatus::TooLarge,
         [](PaletteFileLayout& s) { s.bytesPerLine = 8192, s.lastRow = 8192; }},
        // Within the bound, but four bytes cannot fill 16 Mi pixels: refused
        // before the buffer is allocated.
        {"large image, tiny data", PaletteStatus::DataEndsEarly,
         [](PaletteFileLayout& s) { s.bytesPerLine = 4096, s.lastRow = 4095; }},
        {"data ends a row early", PaletteStatus::DataEndsEarly, [](PaletteFileLayout& s) { s.lastRow = 2; }},
        // Without the marker byte nothing stands between the data and the palette.
        {"run without its value", PaletteStatus::DataEndsEarly,
         [](PaletteFileLayout& s) { s.data = {0xC2, 0x01, 0xC2}, s.marker = false; }},
    };
    for (const Case& c : cases) {
        PaletteFileLayout layout;
        layout.data = {0xC2, 0x01, 0xC2, 0x01};
        c.edit(layout);
        PaletteImage image = kSentinel;
        EXPECT_EQ(decode(layout, image), c.expected) << c.what;
        EXPECT_TRUE(untouched(image)) << c.what;
    }
    for (size_t size : {0, 127, 128, 895}) {
        PaletteImage image = kSentinel;
        EXPECT_EQ(decodePaletteImage(std::vector<uint8_t>(size, 0), image), PaletteStatus::TooShort) << size;
        EXPECT_TRUE(untouched(image));
    }
}

TEST(PaletteImage, EveryCutIntoTheEncodedDataIsRefused) {
    PaletteFileLayout layout;
    layout.bytesPerLine = 40;
    layout.lastRow = 9;
    for (int i = 0; i < 400; ++i) layout.data.push_back(static_cast<uint8_t>(i * 7 % 191));
    const std::vector<uint8_t> file = buildPaletteFile(layout);
    // Cutting off only the marker byte leaves a file that still decodes.
    for (size_t size = 0; size < 128 + layout.data.size() + 768; ++size) {
        // An exact-size copy, so the sanitizer sees any read past its end.
        const std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<long>(size));
        PaletteImage image = kSentinel;
        EXPECT_NE(decodePaletteImage(cut, image), PaletteStatus::Decoded) << size;
        EXPECT_TRUE(untouched(image)) << size;
    }
}

TEST(PaletteImage, RandomFilesDecodeToExactlyTheirSizeOrNothing) {
    std::mt19937 random(20261206);
    int decoded = 0;
    for (int round = 0; round < 3000; ++round) {
        PaletteFileLayout layout;
        layout.planes = static_cast<int>(random() % 4);
        layout.bytesPerLine = static_cast<int>(random() % 40);
        layout.firstRow = static_cast<int>(random() % 4);
        layout.lastRow = static_cast<int>(random() % 40);
        layout.reserved = random() % 16 == 0;
        layout.data.resize(random() % 600);
        for (uint8_t& b : layout.data) b = static_cast<uint8_t>(random() % 3 ? random() : 192 + random() % 64);
        std::vector<uint8_t> file = buildPaletteFile(layout);
        file.resize(file.size() - random() % 4);
        PaletteImage image;
        if (decodePaletteImage(file, image) == PaletteStatus::Decoded) {
            ++decoded;
            ASSERT_EQ(image.pixels.size(), static_cast<size_t>(image.width) * image.height * 4);
        } else {
            ASSERT_TRUE(image.pixels.empty());
        }
    }
    EXPECT_GT(decoded, 100);
}

TEST(PaletteImage, ReadsAFileByPathAndReportsAMissingOne) {
    const std::vector<uint8_t> bytes = flatImageFile(70, 3, 4);
    const std::string path = ::testing::TempDir() + "palette_read_test.p";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);

    PaletteImage image;
    EXPECT_EQ(loadPaletteImage(path, image), PaletteStatus::Decoded);
    EXPECT_EQ(pixelAt(image, 70 * 3 - 1), (Px{20, 1, 2, 20}));
    PaletteImage missing = kSentinel;
    EXPECT_EQ(loadPaletteImage(path + ".absent", missing), PaletteStatus::Missing);
    EXPECT_TRUE(untouched(missing));
    EXPECT_EQ(loadPaletteImage(::testing::TempDir(), missing), PaletteStatus::Missing);
    std::remove(path.c_str());
}
