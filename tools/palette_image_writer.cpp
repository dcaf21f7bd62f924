// palette_image_writer.cpp: the .p encoder. See palette_image_writer.h.
#include "tools/palette_image_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void putLittle16(std::vector<uint8_t>& bytes, size_t offset, int value)
{
    bytes[offset] = static_cast<uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

void appendHeader(const IndexedImage& image, std::vector<uint8_t>& out)
{
    std::vector<uint8_t> header(kPaletteHeaderBytes, 0);
    header[0] = 10;  // manufacturer tag
    header[1] = 5;   // version with a 256-colour palette
    header[2] = 1;   // run-length encoded
    header[3] = 8;   // bits per pixel per plane
    putLittle16(header, 4, 0);
    putLittle16(header, 6, 0);
    putLittle16(header, 8, image.width - 1);
    putLittle16(header, 10, image.height - 1);
    putLittle16(header, 12, 72);
    putLittle16(header, 14, 72);
    header[64] = 0;  // reserved: readers reject the file otherwise
    header[65] = 1;  // one plane
    putLittle16(header, 66, image.width);
    putLittle16(header, 68, 2);  // grey-scale palette
    out.insert(out.end(), header.begin(), header.end());
}

}  // namespace

Palette768 greyRampPalette()
{
    Palette768 palette {};
    for (int i = 0; i < 256; ++i) {
        for (int c = 0; c < 3; ++c)
            palette[static_cast<size_t>(i * 3 + c)] = static_cast<uint8_t>(i);
    }
    return palette;
}

bool isEncodable(const IndexedImage& image)
{
    if (image.width < 1 || image.width > kMaxEncodableWidth)
        return false;
    if (image.height < 1 || image.height > kMaxEncodableHeight)
        return false;
    return image.indices.size() == static_cast<size_t>(image.width) * static_cast<size_t>(image.height);
}

void encodeRow(const uint8_t* row, int width, std::vector<uint8_t>& out)
{
    int x = 0;
    while (x < width) {
        const uint8_t value = row[x];
        int run = 1;
        while (x + run < width && run < kLongestRun && row[x + run] == value)
            ++run;
        // A lone index below 192 is its own byte; anything else needs the
        // control byte so that the reader cannot mistake it for one.
        if (run == 1 && value < 192) {
            out.push_back(value);
        } else {
            out.push_back(static_cast<uint8_t>(192 + run));
            out.push_back(value);
        }
        x += run;
    }
}

std::vector<uint8_t> encodePaletteImage(const IndexedImage& image)
{
    std::vector<uint8_t> out;
    if (!isEncodable(image))
        return out;
    out.reserve(kPaletteHeaderBytes + image.indices.size() + 1 + kPaletteBytes);
    appendHeader(image, out);
    for (int y = 0; y < image.height; ++y) {
        encodeRow(&image.indices[static_cast<size_t>(y) * static_cast<size_t>(image.width)], image.width, out);
    }
    out.push_back(12);  // conventional marker before the palette
    out.insert(out.end(), image.palette.begin(), image.palette.end());
    return out;
}

bool writePaletteImageFile(const std::string& path, const IndexedImage& image, std::string& error)
{
    const std::vector<uint8_t> bytes = encodePaletteImage(image);
    if (bytes.empty()) {
        error = path + ": image of " + std::to_string(image.width) + " x " + std::to_string(image.height)
            + " cannot be encoded";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        error = path + ": cannot create (" + std::strerror(errno) + ")";
        return false;
    }
    const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
    const bool closed = std::fclose(file) == 0;
    if (written != bytes.size() || !closed) {
        error = path + ": write failed";
        std::remove(path.c_str());
        return false;
    }
    return true;
}
