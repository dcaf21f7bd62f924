// palette_reader_target.cpp: the fuzz target for the .p image reader.
//
// Every input must either decode into a consistent image or be refused with the
// image left exactly as it was. Beyond what the sanitizers catch, a decoded
// image must obey what the reader promises its callers:
//   - width x height x 4 pixel bytes and a 768-byte palette;
//   - no more pixels than the encoded bytes can describe (63 per two-byte run),
//     so a hostile header cannot make the reader allocate out of proportion;
//   - every alpha byte equal to its pixel's red byte;
//   - the same result whether the bytes come from memory or from a FILE stream.
// Built as a libFuzzer binary with clang, and as a replay program over the
// stored inputs everywhere else (see replay_inputs.cpp).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "gfx/palette_image.h"

namespace {

constexpr size_t kHeaderBytes = 128;
constexpr size_t kPaletteBytes = 768;

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "palette reader broke a promise: %s\n", what);
    std::abort();
}

// A record no decoder would produce, to see whether a refusal touched it.
PaletteImage sentinelImage()
{
    PaletteImage image;
    image.pixels = {1, 2, 3};
    image.palette = {4};
    image.width = -7;
    image.height = -9;
    return image;
}

bool isSentinel(const PaletteImage& image)
{
    const PaletteImage s = sentinelImage();
    return image.pixels == s.pixels && image.palette == s.palette && image.width == s.width && image.height == s.height;
}

uint64_t mostPixelsFor(size_t fileBytes)
{
    if (fileBytes < kHeaderBytes + kPaletteBytes)
        return 0;
    const uint64_t data = fileBytes - kHeaderBytes - kPaletteBytes;
    return data / 2 * 63 + data % 2;
}

void checkDecoded(const PaletteImage& image, size_t fileBytes)
{
    if (image.width <= 0 || image.height <= 0)
        fail("decoded with an empty size");
    const uint64_t pixels = uint64_t(image.width) * uint64_t(image.height);
    if (image.pixels.size() != pixels * 4)
        fail("pixel buffer does not match width x height");
    if (image.palette.size() != kPaletteBytes)
        fail("palette is not 768 bytes");
    if (pixels > mostPixelsFor(fileBytes))
        fail("more pixels than the data can describe");
    for (size_t i = 0; i < image.pixels.size(); i += 4) {
        if (image.pixels[i + 3] != image.pixels[i])
            fail("alpha differs from red");
    }
}

// The stream entry point must agree with the in-memory one.
void checkStreamAgrees(const uint8_t* data, size_t size, PaletteStatus expected, const PaletteImage& fromMemory)
{
    if (size == 0)
        return;
    std::FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!stream)
        return;
    PaletteImage fromStream = sentinelImage();
    const PaletteStatus status = readPaletteImage(fromStream, stream);
    if (status != expected)
        fail("stream and memory disagree on the status");
    if (status == PaletteStatus::Decoded) {
        if (fromStream.pixels != fromMemory.pixels || fromStream.palette != fromMemory.palette
            || fromStream.width != fromMemory.width || fromStream.height != fromMemory.height) {
            fail("stream and memory decode differently");
        }
    } else if (!isSentinel(fromStream)) {
        fail("a refused stream changed the image");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    PaletteImage image = sentinelImage();
    const PaletteStatus status = decodePaletteImage(std::span<const uint8_t>(data, size), image);
    if (status == PaletteStatus::Decoded) {
        checkDecoded(image, size);
    } else if (!isSentinel(image)) {
        fail("a refused input changed the image");
    }
    if (paletteStatusText(status)[0] == '\0')
        fail("a status without a text");
    checkStreamAgrees(data, size, status, image);
    return 0;
}
