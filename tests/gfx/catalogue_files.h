// catalogue_files.h: writes a data folder of small valid images for the
// catalogue's tests: every image of the table, each a flat colour whose palette
// index is its row number, so a texture shows which file it came from.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "gfx/asset_catalogue.h"
#include "palette_file.h"

inline std::vector<uint8_t> flatImageFile(int width, int height, uint8_t index) {
    PaletteFileSpec spec;
    spec.planes = 1;
    spec.bytesPerLine = width;
    spec.lastRow = height - 1;
    spec.data = encodeRows(std::vector<uint8_t>(static_cast<size_t>(width) * height, index), width);
    for (int c = 0; c < 256; ++c) setColour(spec, c, static_cast<uint8_t>(c * 5), 1, 2);
    return buildPaletteFile(spec);
}

inline void writeBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return;
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
}

// A fresh folder holding every image of the table.
inline std::filesystem::path writeDataFolder(const std::string& name) {
    const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    uint8_t row = 1;
    for (const ImageAsset& asset : imageAssets()) {
        writeBytes(dir / asset.file, flatImageFile(asset.width, asset.height, row++));
    }
    return dir;
}
