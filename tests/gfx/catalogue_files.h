// catalogue_files.h: a data folder holding every image of the catalogue, each a
// flat grey whose level is its row number, written by the project's own encoder.
#pragma once

#include <cstdio>
#include <filesystem>

#include <gtest/gtest.h>

#include "gfx/asset_catalogue.h"
#include "tools/palette_image_writer.h"

inline std::vector<uint8_t> flatImageFile(int width, int height, uint8_t grey)
{
    IndexedImage image(width, height);
    std::fill(image.indices.begin(), image.indices.end(), grey);
    return encodePaletteImage(image);
}

inline void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
}

inline std::filesystem::path writeDataFolder(const std::string& name)
{
    const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    uint8_t row = 1;
    for (const ImageAsset& asset : imageAssets())
        writeBytes(dir / asset.file, flatImageFile(asset.width, asset.height, row++));
    return dir;
}
