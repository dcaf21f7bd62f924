// Decoder tests: the format's worked examples, then damaged and hostile files.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "gfx/palette_image.h"
#include "palette_file.h"

namespace {

std::array<uint8_t, 4> pixelAt(const PaletteImage& image, int p) {
    return {image.pixels[p * 4], image.pixels[p * 4 + 1], image.pixels[p * 4 + 2], image.pixels[p * 4 + 3]};
}

using Px = std::array<uint8_t, 4>;

PaletteImage sentinelImage() {
    PaletteImage image;
    image.pixels = {1, 2, 3, 4};
    image.palette = {9};
    image.width = 77;
    image.height = 88;
    return image;
}

void expectUntouched(const PaletteImage& image) {
    EXPECT_EQ(image.pixels, (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(image.palette, std::vector<uint8_t>{9});
    EXPECT_EQ(image.width, 77);
    EXPECT_EQ(image.height, 88);
}

PaletteStatus decode(const PaletteFileSpec& spec, PaletteImage& image) {
    return decodePaletteImage(buildPaletteFile(spec), image);
}

}  // namespace

TEST(PaletteImage, DecodesTheTwoByTwoExampleWithAlphaFromRed) {
    PaletteFileSpec spec;
    spec.data = {0x05, 0xC1, 0x07, 0xC2, 0x01};
    setColour(spec, 5, 255, 128, 0);
    setColour(spec, 7, 10, 20, 30);
    PaletteImage image;
    ASSERT_EQ(decode(spec, image), PaletteStatus::Decoded);
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 2);
    ASSERT_EQ(image.pixels.size(), 16u);
    EXPECT_EQ(pixelAt(image, 0), (Px{255, 128, 0, 255}));
    EXPECT_EQ(pixelAt(image, 1), (Px{10, 20, 30, 10}));
    EXPECT_EQ(pixelAt(image, 2), (Px{0, 0, 0, 0}));
    EXPECT_EQ(pixelAt(image, 3), (Px{0, 0, 0, 0}));
    ASSERT_EQ(image.palette.size(), 768u);
    EXPECT_EQ(image.palette[15], 255);
}

TEST(PaletteImage, RunCrossingARowShiftsTheNextRowAndDropsPixelsPastTheImage) {
    PaletteFileSpec spec;
    // Row 0: a run of three (positions 0..2); row 1 starts at position 3 and
    // its second pixel would be position 4, beyond the 2 x 2 image.
    spec.data = {0xC3, 0x05, 0x07, 0x01};
    setColour(spec, 5, 50, 0, 0);
    setColour(spec, 7, 70, 0, 0);
    setColour(spec, 1, 11, 0, 0);
    PaletteImage image;
    ASSERT_EQ(decode(spec, image), PaletteStatus::Decoded);
    ASSERT_EQ(image.pixels.size(), 16u);
    EXPECT_EQ(pixelAt(image, 0)[0], 50);
    EXPECT_EQ(pixelAt(image, 1)[0], 50);
    EXPECT_EQ(pixelAt(image, 2)[0], 50);
    EXPECT_EQ(pixelAt(image, 3)[0], 70);
}

TEST(PaletteImage, ControlBytesAndLiterals) {
    PaletteFileSpec spec;
    spec.bytesPerLine = 3;
    spec.lastRow = 0;
    // 191 is a literal index; 193 191 is one pixel of 191; 192 x writes nothing.
    spec.data = {0xBF, 0xC0, 0x02, 0xC1, 0xBF, 0x03};
    setColour(spec, 191, 1, 2, 3);
    setColour(spec, 2, 99, 99, 99);
    setColour(spec, 3, 4, 5, 6);
    PaletteImage image;
    ASSERT_EQ(decode(spec, image), PaletteStatus::Decoded);
    EXPECT_EQ(pixelAt(image, 0), (Px{1, 2, 3, 1}));
    EXPECT_EQ(pixelAt(image, 1), (Px{1, 2, 3, 1}));
    EXPECT_EQ(pixelAt(image, 2), (Px{4, 5, 6, 4}));
}

TEST(PaletteImage, SizeComesFromPlanesBytesPerLineAndRowIndices) {
    PaletteFileSpec spec;
    spec.planes = 3;
    spec.bytesPerLine = 8;
    spec.firstRow = 5;
    spec.lastRow = 8;
    for (int row = 0; row < 4; ++row) spec.data.insert(spec.data.end(), {0xD8, static_cast<uint8_t>(row)});
    setColour(spec, 3, 200, 0, 0);
    PaletteImage image;
    ASSERT_EQ(decode(spec, image), PaletteStatus::Decoded);
    EXPECT_EQ(image.width, 24);
    EXPECT_EQ(image.height, 4);
    EXPECT_EQ(image.pixels.size(), 24u * 4 * 4);
    EXPECT_EQ(pixelAt(image, 3 * 24)[0], 200);
    EXPECT_EQ(pixelAt(image, 4 * 24 - 1)[0], 200);
    EXPECT_EQ(pixelAt(image, 3 * 24 - 1)[0], 0);
}

TEST(PaletteImage, RoundTripsAnEncodedPicture) {
    const int width = 37, height = 5;
    std::vector<uint8_t> indices(width * height);
    for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<uint8_t>((i / 7) * 41);
    PaletteFileSpec spec;
    spec.bytesPerLine = width;
    spec.lastRow = height - 1;
    spec.data = encodeRows(indices, width);
    for (int c = 0; c < 256; ++c) setColour(spec, c, static_cast<uint8_t>(c), static_cast<uint8_t>(255 - c), 7);
    PaletteImage image;
    ASSERT_EQ(decode(spec, image), PaletteStatus::Decoded);
    for (size_t i = 0; i < indices.size(); ++i) {
        ASSERT_EQ(pixelAt(image, static_cast<int>(i)), (Px{indices[i], static_cast<uint8_t>(255 - indices[i]), 7,
                                                           indices[i]}))
            << "pixel " << i;
    }
}

TEST(PaletteImage, RejectedHeadersLeaveTheRecordUntouched) {
    struct Case {
        const char* what;
        PaletteFileSpec spec;
        PaletteStatus expected;
    };
    std::vector<Case> cases;
    PaletteFileSpec base;
    base.data = {0xC2, 0x01, 0xC2, 0x01};
    cases.push_back({"reserved byte 1", base, PaletteStatus::ReservedByteSet});
    cases.back().spec.reserved = 1;
    cases.push_back({"no planes", base, PaletteStatus::EmptySize});
    cases.back().spec.planes = 0;
    cases.push_back({"no bytes per line", base, PaletteStatus::EmptySize});
    cases.back().spec.bytesPerLine = 0;
    cases.push_back({"last row before first", base, PaletteStatus::EmptySize});
    cases.back().spec.firstRow = 9;
    cases.back().spec.lastRow = 3;
    cases.push_back({"largest header", base, PaletteStatus::TooLarge});
    cases.back().spec.planes = 255;
    cases.back().spec.bytesPerLine = 65535;
    cases.back().spec.lastRow = 65535;
    cases.push_back({"just over the pixel bound", base, PaletteStatus::TooLarge});
    cases.back().spec.bytesPerLine = 8192;
    cases.back().spec.lastRow = 8192;
    // 16 Mi pixels is within the bound, but four data bytes cannot fill it:
    // refused before the 64 MiB buffer would be allocated.
    cases.push_back({"large image, tiny data", base, PaletteStatus::DataEndsEarly});
    cases.back().spec.bytesPerLine = 4096;
    cases.back().spec.lastRow = 4095;
    cases.push_back({"data ends mid-image", base, PaletteStatus::DataEndsEarly});
    cases.back().spec.lastRow = 2;
    // Without the marker byte nothing stands between the data and the palette.
    cases.push_back({"run control without its value", base, PaletteStatus::DataEndsEarly});
    cases.back().spec.data = {0xC2, 0x01, 0xC2};
    cases.back().spec.marker = false;
    cases.push_back({"data ends mid-row", base, PaletteStatus::DataEndsEarly});
    cases.back().spec.data = {0xC2, 0x01, 0x01};
    cases.back().spec.marker = false;

    for (const Case& c : cases) {
        PaletteImage image = sentinelImage();
        EXPECT_EQ(decode(c.spec, image), c.expected) << c.what;
        expectUntouched(image);
    }
}

TEST(PaletteImage, RejectsFilesShorterThanHeaderAndPalette) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{127}, size_t{128}, size_t{895}}) {
        std::vector<uint8_t> file(size, 0);
        PaletteImage image = sentinelImage();
        EXPECT_EQ(decodePaletteImage(file, image), PaletteStatus::TooShort) << size;
        expectUntouched(image);
    }
}

TEST(PaletteImage, EveryCutIntoTheEncodedDataIsRefused) {
    PaletteFileSpec spec;
    spec.bytesPerLine = 40;
    spec.lastRow = 9;
    std::vector<uint8_t> indices(400);
    for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<uint8_t>(i * 7 % 251);
    spec.data = encodeRows(indices, 40);
    const std::vector<uint8_t> file = buildPaletteFile(spec);
    PaletteImage full;
    ASSERT_EQ(decodePaletteImage(file, full), PaletteStatus::Decoded);
    // Cutting off only the marker byte leaves a file that still decodes.
    const size_t shortestWhole = 128 + spec.data.size() + 768;
    for (size_t size = 0; size < shortestWhole; ++size) {
        // A copy of exactly `size` bytes, so the sanitizer sees any read past it.
        const std::vector<uint8_t> cut(file.begin(), file.begin() + static_cast<long>(size));
        PaletteImage image = sentinelImage();
        EXPECT_NE(decodePaletteImage(cut, image), PaletteStatus::Decoded) << size;
        expectUntouched(image);
    }
}

TEST(PaletteImage, RandomFilesNeverWriteOutsideTheImage) {
    std::mt19937 random(20261206);
    int decoded = 0;
    for (int round = 0; round < 3000; ++round) {
        PaletteFileSpec spec;
        spec.planes = static_cast<int>(random() % 4);
        spec.bytesPerLine = static_cast<int>(random() % 40);
        spec.firstRow = static_cast<int>(random() % 4);
        spec.lastRow = static_cast<int>(random() % 40);
        spec.reserved = random() % 16 == 0 ? 1 : 0;
        spec.data.resize(random() % 600);
        for (uint8_t& b : spec.data) b = static_cast<uint8_t>(random() % 3 == 0 ? 192 + random() % 64 : random());
        std::vector<uint8_t> file = buildPaletteFile(spec);
        file.resize(file.size() - random() % 4);
        PaletteImage image;
        if (decodePaletteImage(file, image) == PaletteStatus::Decoded) {
            ++decoded;
            ASSERT_GT(image.width, 0);
            ASSERT_GT(image.height, 0);
            ASSERT_EQ(image.pixels.size(), static_cast<size_t>(image.width) * image.height * 4);
        } else {
            ASSERT_TRUE(image.pixels.empty());
        }
    }
    EXPECT_GT(decoded, 100);
}

TEST(PaletteImage, ReadsFromAnOpenFileAndClosesIt) {
    PaletteFileSpec spec;
    spec.data = {0x05, 0xC1, 0x07, 0xC2, 0x01};
    setColour(spec, 7, 10, 20, 30);
    const std::vector<uint8_t> bytes = buildPaletteFile(spec);
    const std::string path = ::testing::TempDir() + "palette_read_test.p";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);

    PaletteImage image;
    EXPECT_EQ(loadPaletteImage(path, image), PaletteStatus::Decoded);
    EXPECT_EQ(pixelAt(image, 1), (Px{10, 20, 30, 10}));

    PaletteImage missing = sentinelImage();
    EXPECT_EQ(loadPaletteImage(path + ".absent", missing), PaletteStatus::Missing);
    expectUntouched(missing);
    std::remove(path.c_str());
}
