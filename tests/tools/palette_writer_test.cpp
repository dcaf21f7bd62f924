// The .p encoder: every image reads back through the show's decoder with the
// exact pixels, and the encoded stream keeps the rules a strict reader relies on.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <span>

#include "gfx/palette_image.h"
#include "tools/palette_image_writer.h"

namespace {

IndexedImage patterned(int width, int height, uint32_t seed)
{
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

void expectDecodesExactly(const IndexedImage& image)
{
    const std::vector<uint8_t> bytes = encodePaletteImage(image);
    ASSERT_FALSE(bytes.empty());
    PaletteImage decoded;
    ASSERT_EQ(decodePaletteImage(bytes, decoded), PaletteStatus::Decoded);
    ASSERT_EQ(decoded.width, image.width);
    ASSERT_EQ(decoded.height, image.height);
    ASSERT_EQ(decoded.pixels.size(), image.indices.size() * 4);
    for (size_t i = 0; i < image.indices.size(); ++i) {
        // A grey-ramp palette: red, green, blue and alpha are all the index.
        ASSERT_EQ(std::vector<uint8_t>(4, image.indices[i]),
            std::vector<uint8_t>(decoded.pixels.begin() + 4 * i, decoded.pixels.begin() + 4 * i + 4))
            << "pixel " << i;
    }
}

// Walks the encoded rows independently of the decoder under test: the offset
// just past the last row, or 0 if a run is empty or crosses a row.
size_t endOfRows(const std::vector<uint8_t>& bytes, int width, int height)
{
    size_t at = kPaletteHeaderBytes;
    for (int row = 0; row < height; ++row) {
        int filled = 0;
        while (filled < width) {
            const uint8_t b = bytes.at(at++);
            const int n = b >= 192 ? b & 63 : 1;
            if (b >= 192)
                at++;
            if (n == 0)
                return 0;
            filled += n;
        }
        if (filled != width)
            return 0;
    }
    return at;
}

}  // namespace

TEST(PaletteWriter, ImagesOfManyShapesDecodeToTheExactPixels)
{
    IndexedImage everyValue(256, 2);
    for (int x = 0; x < 256; ++x) {
        everyValue.at(x, 0) = static_cast<uint8_t>(x);  // lone values, 192 and above included
        everyValue.at(x, 1) = static_cast<uint8_t>(255 - x);
    }
    for (const IndexedImage& image : {patterned(1, 1, 1), patterned(3, 7, 2), patterned(1024, 4, 4), everyValue})
        expectDecodesExactly(image);
}

TEST(PaletteWriter, RunsStayInsideTheirRowAndEndExactlyAtThePalette)
{
    IndexedImage flat(1000, 3);  // 1000 = 15 x 63 + 55: long runs hit the row end
    std::fill(flat.indices.begin(), flat.indices.end(), 200);
    for (const IndexedImage& image : {flat, patterned(130, 9, 5), patterned(64, 64, 6)}) {
        const std::vector<uint8_t> bytes = encodePaletteImage(image);
        const size_t end = endOfRows(bytes, image.width, image.height);
        ASSERT_NE(end, 0u) << "a run crosses a row";
        // The data ends with the marker byte, then exactly the 768 palette bytes.
        EXPECT_EQ(end + 1 + kPaletteBytes, bytes.size());
        EXPECT_EQ(bytes[end], 12);
    }
}

TEST(PaletteWriter, RefusesImagesTheHeaderCannotDescribe)
{
    EXPECT_TRUE(encodePaletteImage(IndexedImage(0, 4)).empty());
    EXPECT_TRUE(encodePaletteImage(IndexedImage(4, 0)).empty());
    EXPECT_TRUE(encodePaletteImage(IndexedImage(kMaxEncodableWidth + 1, 1)).empty());
    IndexedImage shortData(8, 8);
    shortData.indices.pop_back();
    EXPECT_TRUE(encodePaletteImage(shortData).empty());
    EXPECT_FALSE(encodePaletteImage(IndexedImage(kMaxEncodableWidth, 1)).empty());
}

TEST(PaletteWriter, FailedWritesReportThePathAndLeaveNoFile)
{
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
