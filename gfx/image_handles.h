// image_handles.h: the catalogue's image textures, found once after loading so
// that no draw looks a key up.
//
//     ImageHandles images;
//     if (!findImages(textures, images, error)) { report error; stop; }
//     bindProgramTexture(images[ImageId::Plus], program.tex);
//
// One ImageId per row of gfx/image_table.inc, in row order, so an image the
// table lacks does not compile. Found handles are all set; default ones are
// all null.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class TextureRegistry;
struct TextureEntry;

enum class ImageId : uint8_t {
#define BRINDLE_IMAGE(id, key, file, width, height, sampling, readPosition, painting, lettering) id,
#include "gfx/image_table.inc"
};

inline constexpr size_t kImageIdCount = 0
#define BRINDLE_IMAGE(...) +1
#include "gfx/image_table.inc"
    ;

struct ImageHandles {
    std::array<const TextureEntry*, kImageIdCount> textures {};

    const TextureEntry* operator[](ImageId id) const { return textures[static_cast<size_t>(id)]; }
};

// Finds the texture of every row of the table. False at the first that is
// missing, with `error` one line naming it.
bool findImages(TextureRegistry& textures, ImageHandles& images, std::string& error);
