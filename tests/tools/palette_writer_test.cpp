// The .p encoder: every image reads back through the show's decoder with the
// exact pixels, and the encoded stream keeps the rules a strict reader relies on.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <span>

#include "gfx/palette_image.h"
#include "tools/palette_image_writer.h"

namespace {

IndexedImage patterned(int width, int height, uint32_t seed) {
    IndexedImage image(width, height);
    uint32_t state = seed;
    for (size_t i = 0; i < image.indices.size(); ++i) {
        state = state * 1664525u + 1013904223u;
        // Mostly short runs, with every value (including those above 191) showing up.
        const bool repeat = i > 0 && ((state >> 28) & 3u) != 0;
        image.indices[i] = repeat ? image.indices[i - 1] : static_cast<uint8_t>(state >> 24);
    }
    return image;
}

void expectDecodesExactly(const IndexedImage& image) {
    const std::vector<uint8_t> bytes = encodePaletteImage(image);
    ASSERT_FALSE(bytes.empty());
    PaletteImage decoded;
    ASSERT_EQ(decodePaletteImage(bytes, decoded), PaletteStatus::Decoded);
    ASSERT_EQ(decoded.width, image.width);
    ASSERT_EQ(decoded.height, image.height);
    ASSERT_EQ(decoded.pixels.size(), image.indices.size() * 4);
    for (size_t i = 0; i < image.indices.size(); ++i) {
        const uint8_t grey = image.indices[i];
        const uint8_t* px = &decoded.pixels[i * 4];
        ASSERT_EQ(px[0], grey) << "pixel " << i;
        ASSERT_EQ(px[1], grey) << "pixel " << i;
        ASSERT_EQ(px[2], grey) << "pixel " << i;
        ASSERT_EQ(px[3], grey) << "pixel " << i << ": alpha is the red byte";
    }
}

struct StreamFacts {
    bool runCrossesRow = false;
    bool runTooLong = false;
    bool highValueAsLiteral = false;
    size_t endOfData = 0;
};

// Walks the encoded rows independently of the decoder under test.
StreamFacts walkStream(const std::vector<uint8_t>& bytes, int width, int height) {
    StreamFacts facts;
    size_t at = kPaletteHeaderBytes;
    for (int row = 0; row < height; ++row) {
        int filled = 0;
        while (filled < width) {
            const uint8_t b = bytes.at(at++);
            if (b >= 192) {
                const int n = b & 63;
                facts.runTooLong |= n == 0 || n > kLongestRun;
                at++;
                filled += n;
            } else {
                filled += 1;
            }
        }
        facts.runCrossesRow |= filled != width;
    }
    facts.endOfData = at;
    return facts;
}

}  // namespace

TEST(PaletteWriter, ImagesOfManyShapesDecodeToTheExactPixels) {
    expectDecodesExactly(patterned(1, 1, 1));
    expectDecodesExactly(patterned(3, 7, 2));       // odd width
    expectDecodesExactly(patterned(512, 128, 3));
    expectDecodesExactly(patterned(1024, 4, 4));

    IndexedImage everyValue(256, 2);
    for (int x = 0; x < 256; ++x) {
        everyValue.at(x, 0) = static_cast<uint8_t>(x);         // lone values, 192 and above included
        everyValue.at(x, 1) = static_cast<uint8_t>(255 - x);
    }
    expectDecodesExactly(everyValue);
}

TEST(PaletteWriter, RunsStayInsideTheirRowAndEndExactlyAtThePalette) {
    IndexedImage flat(1000, 3);  // 1000 = 15 x 63 + 55: long runs hit the row end
    std::fill(flat.indices.begin(), flat.indices.end(), 200);
    for (const IndexedImage& image : {flat, patterned(130, 9, 5), patterned(64, 64, 6)}) {
        const std::vector<uint8_t> bytes = encodePaletteImage(image);
        const StreamFacts facts = walkStream(bytes, image.width, image.height);
        EXPECT_FALSE(facts.runCrossesRow);
        EXPECT_FALSE(facts.runTooLong);
        // The data ends with the marker byte, then exactly the 768 palette bytes.
        EXPECT_EQ(facts.endOfData + 1 + kPaletteBytes, bytes.size());
        EXPECT_EQ(bytes[facts.endOfData], 12);
    }
}

TEST(PaletteWriter, LiteralsAreBelow192AndRowsCompress) {
    IndexedImage image(126, 1);
    std::fill(image.indices.begin(), image.indices.end(), 9);
    image.at(0, 0) = 191;   // the highest value that may stand alone
    image.at(1, 0) = 192;   // the lowest that must not
    std::vector<uint8_t> row;
    encodeRow(image.indices.data(), image.width, row);
    // 191 alone, 192 as a run of one, then 124 nines as runs of 63 and 61.
    const std::vector<uint8_t> expected{191, 193, 192, 192 + 63, 9, 192 + 61, 9};
    EXPECT_EQ(row, expected);
}

TEST(PaletteWriter, HeaderDescribesAnEightBitSinglePlaneImage) {
    const IndexedImage image = patterned(300, 20, 7);
    const std::vector<uint8_t> bytes = encodePaletteImage(image);
    ASSERT_GE(bytes.size(), static_cast<size_t>(kPaletteHeaderBytes + kPaletteBytes));
    EXPECT_EQ(bytes[0], 10);
    EXPECT_EQ(bytes[2], 1);
    EXPECT_EQ(bytes[3], 8);
    EXPECT_EQ(bytes[64], 0);
    EXPECT_EQ(bytes[65], 1);
    EXPECT_EQ(bytes[66] | (bytes[67] << 8), 300);
    EXPECT_EQ((bytes[10] | (bytes[11] << 8)) - (bytes[6] | (bytes[7] << 8)) + 1, 20);
    const std::span<const uint8_t> palette(bytes.data() + bytes.size() - kPaletteBytes, kPaletteBytes);
    for (int i = 0; i < 256; ++i) {
        EXPECT_EQ(palette[static_cast<size_t>(3 * i)], i);
        EXPECT_EQ(palette[static_cast<size_t>(3 * i + 2)], i);
    }
}

TEST(PaletteWriter, RefusesImagesTheHeaderCannotDescribe) {
    EXPECT_TRUE(encodePaletteImage(IndexedImage(0, 4)).empty());
    EXPECT_TRUE(encodePaletteImage(IndexedImage(4, 0)).empty());
    EXPECT_TRUE(encodePaletteImage(IndexedImage(kMaxEncodableWidth + 1, 1)).empty());
    IndexedImage shortData(8, 8);
    shortData.indices.pop_back();
    EXPECT_TRUE(encodePaletteImage(shortData).empty());
    EXPECT_FALSE(encodePaletteImage(IndexedImage(kMaxEncodableWidth, 1)).empty());
}

TEST(PaletteWriter, FailedWritesReportThePathAndLeaveNoFile) {
    const auto dir = std::filesystem::temp_directory_path() / "brindle_writer_test";
    std::filesystem::create_directories(dir);
    std::string error;

    const std::string invalid = (dir / "invalid.p").string();
    EXPECT_FALSE(writePaletteImageFile(invalid, IndexedImage(0, 0), error));
    EXPECT_NE(error.find(invalid), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(invalid));

    const std::string unreachable = (dir / "no-such-folder" / "x.p").string();
    EXPECT_FALSE(writePaletteImageFile(unreachable, IndexedImage(2, 2), error));
    EXPECT_NE(error.find(unreachable), std::string::npos);

    const std::string good = (dir / "good.p").string();
    ASSERT_TRUE(writePaletteImageFile(good, patterned(17, 5, 8), error)) << error;
    PaletteImage loaded;
    EXPECT_EQ(loadPaletteImage(good, loaded), PaletteStatus::Decoded);
    EXPECT_EQ(loaded.width, 17);
    std::filesystem::remove_all(dir);
}
