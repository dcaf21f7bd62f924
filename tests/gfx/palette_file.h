// palette_file.h: builds .p files in memory for the decoder tests.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

struct PaletteFileSpec {
    int planes = 1;
    int bytesPerLine = 2;
    int firstRow = 0;
    int lastRow = 1;
    uint8_t reserved = 0;
    std::vector<uint8_t> data;
    bool marker = true;  // the 0x0C byte writers put before the palette
    std::array<uint8_t, 768> palette{};
};

inline void setColour(PaletteFileSpec& spec, int index, uint8_t r, uint8_t g, uint8_t b) {
    spec.palette[index * 3] = r;
    spec.palette[index * 3 + 1] = g;
    spec.palette[index * 3 + 2] = b;
}

// Header, data, the 0x0C marker (unless left out), then the palette.
inline std::vector<uint8_t> buildPaletteFile(const PaletteFileSpec& spec) {
    std::vector<uint8_t> file(128, 0);
    file[0] = 0x0A;
    file[3] = 8;
    auto put16 = [&](size_t at, int v) {
        file[at] = static_cast<uint8_t>(v & 0xFF);
        file[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    };
    put16(6, spec.firstRow);
    put16(10, spec.lastRow);
    file[64] = spec.reserved;
    file[65] = static_cast<uint8_t>(spec.planes);
    put16(66, spec.bytesPerLine);
    file.insert(file.end(), spec.data.begin(), spec.data.end());
    if (spec.marker) file.push_back(0x0C);
    file.insert(file.end(), spec.palette.begin(), spec.palette.end());
    return file;
}

// Encodes rows of palette indices the way a careful writer does: runs never
// cross a row and never exceed 63; indices of 192 and above always go in a run.
inline std::vector<uint8_t> encodeRows(const std::vector<uint8_t>& indices, int width) {
    std::vector<uint8_t> out;
    for (size_t rowStart = 0; rowStart < indices.size(); rowStart += static_cast<size_t>(width)) {
        size_t i = rowStart;
        const size_t rowEnd = rowStart + static_cast<size_t>(width);
        while (i < rowEnd) {
            size_t n = 1;
            while (i + n < rowEnd && n < 63 && indices[i + n] == indices[i]) ++n;
            if (n == 1 && indices[i] < 192) {
                out.push_back(indices[i]);
            } else {
                out.push_back(static_cast<uint8_t>(192 | n));
                out.push_back(indices[i]);
            }
            i += n;
        }
    }
    return out;
}
