// The generated Data images: every file the build wrote reads back through the
// show's reader at the size the catalogue expects, with exactly the pixels the
// generator painted. The banners' lettering is held by the show's reference frames.
#include <gtest/gtest.h>

#include <string>

#include "gfx/asset_catalogue.h"
#include "gfx/palette_image.h"
#include "tools/show_images.h"

TEST(ShowImages, EveryFileReadsBackAtItsCatalogueSizeWithThePaintedPixels)
{
    std::vector<ShowImage> painted;
    std::string error;
    ASSERT_TRUE(makeShowImages(BRINDLE_BANNER_FONT, painted, error)) << error;
    // The show's own catalogue, in its order, so generator and show cannot drift apart.
    ASSERT_EQ(painted.size(), imageAssets().size());
    for (size_t k = 0; k < imageAssets().size(); ++k) {
        const ImageAsset& asset = imageAssets()[k];
        SCOPED_TRACE(asset.file);
        ASSERT_EQ(painted[k].file, asset.file);
        const IndexedImage& painting = painted[k].image;
        PaletteImage image;
        ASSERT_EQ(loadPaletteImage(BRINDLE_DATA_DIR "/" + std::string(asset.file), image), PaletteStatus::Decoded);
        ASSERT_EQ(image.width, asset.width);
        ASSERT_EQ(image.height, asset.height);
        ASSERT_EQ(image.pixels.size(), painting.indices.size() * 4);
        for (size_t i = 0; i < painting.indices.size(); ++i)
            ASSERT_EQ(image.pixels[i * 4], painting.indices[i]) << "pixel " << i;
    }
}
