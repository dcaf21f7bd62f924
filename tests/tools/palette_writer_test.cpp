// The .p encoder: the layout other readers expect, and the images and paths it
// refuses. The generated images' round trip through the show's reader is held
// by the show images tests.
#include <gtest/gtest.h>

#include <filesystem>

#include "tools/palette_image_writer.h"

TEST(PaletteWriter, WritesTheHeaderRunsCutAtTheRowEndAndTheMarker)
{
    // 1000 = 15 x 63 + 55: every row is sixteen runs, the last cut short by the row's end.
    IndexedImage flat(1000, 3);
    std::fill(flat.indices.begin(), flat.indices.end(), 200);
    const std::vector<uint8_t> bytes = encodePaletteImage(flat);
    ASSERT_EQ(bytes.size(), 128u + 3 * 16 * 2 + 1 + 768);
    // Tag, version 5, run-length encoding, 8 bits, last column 999, last row 2;
    // then no reserved bits, one plane of 1000 bytes and a grey palette.
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 12),
        (std::vector<uint8_t> {10, 5, 1, 8, 0, 0, 0, 0, 0xE7, 0x03, 2, 0}));
    EXPECT_EQ(
        std::vector<uint8_t>(bytes.begin() + 64, bytes.begin() + 70), (std::vector<uint8_t> {0, 1, 0xE8, 0x03, 2, 0}));
    std::vector<uint8_t> row(32, 200);
    for (size_t run = 0; run < 16; ++run)
        row[run * 2] = run < 15 ? 192 + 63 : 192 + 55;
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 128, bytes.begin() + 160), row);
    EXPECT_EQ(bytes[bytes.size() - 769], 12);
}

TEST(PaletteWriter, RefusesImagesTheHeaderCannotDescribeAndFailedWritesLeaveNoFile)
{
    EXPECT_TRUE(encodePaletteImage(IndexedImage(0, 4)).empty());
    EXPECT_TRUE(encodePaletteImage(IndexedImage(4, 0)).empty());
    EXPECT_TRUE(encodePaletteImage(IndexedImage(kMaxEncodableWidth + 1, 1)).empty());
    IndexedImage shortData(8, 8);
    shortData.indices.pop_back();
    EXPECT_TRUE(encodePaletteImage(shortData).empty());
    EXPECT_FALSE(encodePaletteImage(IndexedImage(kMaxEncodableWidth, 1)).empty());
    // A failed write names the path and leaves no file.
    const std::string invalid = ::testing::TempDir() + "brindle_invalid.p";
    const std::string unreachable = "/nonexistent-folder/x.p";
    for (const auto& [path, image] :
        {std::pair(invalid, IndexedImage(0, 0)), std::pair(unreachable, IndexedImage(2, 2))}) {
        std::string error;
        EXPECT_FALSE(writePaletteImageFile(path, image, error));
        EXPECT_NE(error.find(path), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}
