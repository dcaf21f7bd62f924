// palette_reader_target.cpp: the fuzz target for the .p image reader, built
// as a libFuzzer binary with clang and as a replay of the stored inputs.
//
// Every input must decode into a consistent image or be refused with the
// image untouched, alike from memory and from a FILE stream. A decoded image
// has no more pixels than its bytes can describe (63 per two-byte run), so a
// hostile header cannot make the reader allocate out of proportion.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "gfx/palette_image.h"

namespace {

constexpr size_t kHeaderAndPaletteBytes = 128 + 768;

// A record no decoder would produce, to see whether a refusal touched it.
const PaletteImage kSentinel = {{1, 2, 3}, {4}, -7, -9};

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "palette reader broke a promise: %s\n", what);
    std::abort();
}

bool same(const PaletteImage& a, const PaletteImage& b)
{
    return a.pixels == b.pixels && a.palette == b.palette && a.width == b.width && a.height == b.height;
}

void checkDecoded(const PaletteImage& image, size_t fileBytes)
{
    if (image.width <= 0 || image.height <= 0)
        fail("decoded with an empty size");
    const uint64_t pixels = uint64_t(image.width) * uint64_t(image.height);
    if (image.pixels.size() != pixels * 4)
        fail("pixel buffer does not match width x height");
    if (image.palette.size() != 768)
        fail("palette is not 768 bytes");
    if (fileBytes < kHeaderAndPaletteBytes)
        fail("decoded fewer bytes than a header and palette");
    const uint64_t data = fileBytes - kHeaderAndPaletteBytes;
    if (pixels > data / 2 * 63 + data % 2)
        fail("more pixels than the data can describe");
    for (size_t i = 0; i < image.pixels.size(); i += 4) {
        if (image.pixels[i + 3] != image.pixels[i])
            fail("alpha differs from red");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    PaletteImage image = kSentinel;
    const PaletteStatus status = decodePaletteImage(std::span<const uint8_t>(data, size), image);
    if (status == PaletteStatus::Decoded) {
        checkDecoded(image, size);
    } else if (!same(image, kSentinel)) {
        fail("a refused input changed the image");
    }
    if (paletteStatusText(status)[0] == '\0')
        fail("a status without a text");
    // A refused stream must leave its record as untouched as the memory one.
    PaletteImage fromStream = kSentinel;
    if (std::FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "rb")) {
        if (readPaletteImage(fromStream, stream) != status || !same(fromStream, image))
            fail("stream and memory disagree");
    }
    return 0;
}
