// libFuzzer entry for the .p decoder: any byte string must decode or be
// refused without touching memory outside the input or the image.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "gfx/palette_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PaletteImage image;
    const PaletteStatus status = decodePaletteImage(std::span<const uint8_t>(data, size), image);
    if (status == PaletteStatus::Decoded) {
        const size_t expected = static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4;
        if (image.width <= 0 || image.height <= 0 || image.pixels.size() != expected || image.palette.size() != 768) {
            std::abort();
        }
    } else if (!image.pixels.empty() || !image.palette.empty()) {
        std::abort();
    }
    return 0;
}
