// The generated Data images: every file the build wrote reads back through the
// show's reader at the size the catalogue expects, with exactly the pixels the
// generator painted, and the banners' lettering fits the greeting cells.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "gfx/asset_catalogue.h"
#include "gfx/palette_image.h"
#include "tools/show_images.h"

namespace {

const std::vector<ShowImage>& paintedImages()
{
    static const std::vector<ShowImage> images = [] {
        std::vector<ShowImage> out;
        std::string error;
        EXPECT_TRUE(makeShowImages(BRINDLE_BANNER_FONT, out, error)) << error;
        return out;
    }();
    return images;
}

struct Ink {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

// Bounding box of pixels at least `threshold` bright.
Ink inkOf(const IndexedImage& image, int threshold)
{
    Ink ink;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            if (image.at(x, y) < threshold)
                continue;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            ink.top = std::min(ink.top, y);
            ink.bottom = std::max(ink.bottom, y);
        }
    }
    return ink;
}

}  // namespace

TEST(ShowImages, EveryFileReadsBackAtItsCatalogueSizeWithThePaintedPixels)
{
    // The show's own catalogue, in its order, so generator and show cannot drift apart.
    ASSERT_EQ(paintedImages().size(), imageAssets().size());
    for (size_t k = 0; k < imageAssets().size(); ++k) {
        const ImageAsset& asset = imageAssets()[k];
        SCOPED_TRACE(asset.file);
        ASSERT_EQ(paintedImages()[k].file, asset.file);
        const IndexedImage& painting = paintedImages()[k].image;
        PaletteImage image;
        ASSERT_EQ(loadPaletteImage(BRINDLE_DATA_DIR "/" + std::string(asset.file), image), PaletteStatus::Decoded);
        ASSERT_EQ(image.width, asset.width);
        ASSERT_EQ(image.height, asset.height);
        ASSERT_EQ(image.pixels.size(), painting.indices.size() * 4);
        for (size_t i = 0; i < painting.indices.size(); ++i)
            ASSERT_EQ(image.pixels[i * 4], painting.indices[i]) << "pixel " << i;
    }
}

TEST(ShowImages, BannersCarryLargeCentredLettering)
{
    for (const ShowImage& shown : paintedImages()) {
        const IndexedImage& image = shown.image;
        if (image.height != 128)
            continue;
        SCOPED_TRACE(shown.file);
        // The glow is faint; the letters themselves are near white.
        const Ink ink = inkOf(image, 200);
        ASSERT_GE(ink.right, 0) << "no lettering";
        const int textHeight = ink.bottom - ink.top + 1;
        EXPECT_GE(textHeight, 56);
        const double centreX = 0.5 * (ink.left + ink.right + 1), centreY = 0.5 * (ink.top + ink.bottom + 1);
        // Within one greeting cell (12.8 pixels) of the middle, and clear of the edges.
        EXPECT_NEAR(centreX, image.width / 2.0, 12.8);
        EXPECT_NEAR(centreY, image.height / 2.0, 12.8);
        EXPECT_GE(ink.left, 16);
        EXPECT_LE(ink.right, image.width - 17);
    }
}
