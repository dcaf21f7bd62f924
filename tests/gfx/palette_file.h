// palette_file.h: builds .p files in memory for the decoder and catalogue tests.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

struct PaletteFileLayout {
    int planes = 1, bytesPerLine = 2, firstRow = 0, lastRow = 1;
    uint8_t reserved = 0;
    std::vector<uint8_t> data;
    bool marker = true;  // the 0x0C byte writers put before the palette
    std::array<uint8_t, 768> palette{};

    void colour(int index, uint8_t r, uint8_t g, uint8_t b) {
        palette[index * 3] = r;
        palette[index * 3 + 1] = g;
        palette[index * 3 + 2] = b;
    }
};

inline std::vector<uint8_t> buildPaletteFile(const PaletteFileLayout& layout) {
    const size_t markerBytes = layout.marker ? 1 : 0;
    std::vector<uint8_t> file(128 + layout.data.size() + markerBytes + layout.palette.size(), 0);
    auto put16 = [&](size_t at, int v) {
        file[at] = static_cast<uint8_t>(v & 0xFF);
        file[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    };
    put16(6, layout.firstRow);
    put16(10, layout.lastRow);
    file[64] = layout.reserved;
    file[65] = static_cast<uint8_t>(layout.planes);
    put16(66, layout.bytesPerLine);
    std::copy(layout.data.begin(), layout.data.end(), file.begin() + 128);
    if (layout.marker) file[128 + layout.data.size()] = 0x0C;
    std::copy(layout.palette.begin(), layout.palette.end(), file.end() - 768);
    return file;
}

// A width x height picture of one palette index, each row in runs of at most 63.
inline std::vector<uint8_t> flatImageFile(int width, int height, uint8_t index) {
    PaletteFileLayout layout;
    layout.bytesPerLine = width;
    layout.lastRow = height - 1;
    for (int row = 0; row < height; ++row) {
        for (int left = width; left > 0; left -= 63) {
            layout.data.push_back(static_cast<uint8_t>(192 | (left < 63 ? left : 63)));
            layout.data.push_back(index);
        }
    }
    for (int c = 0; c < 256; ++c) layout.colour(c, static_cast<uint8_t>(c * 5), 1, 2);
    return buildPaletteFile(layout);
}
