// asset_catalogue.h: creates every program, texture and render target the show uses.
//
// Usage, once the window, the GL context and the extension loader are ready
// (and, in the show, after the music is open):
//     if (!buildPrograms(programs, error)) { report error; stop; }
//     for (const std::string& warning : loadImageTextures(textures, dataDir)) report warning;
//     if (!createRenderTargets(textures, width, height, error)) { report error; stop; }
// The image files need no GL: readImageFiles may run on another thread while
// the window opens, and createImageTextures(textures, std::move(images)) then
// stands in for loadImageTextures.
// That is the programs of gfx/program_table.inc, the image textures of
// gfx/image_table.inc, then the render textures and targets of
// gfx/render_target_table.inc, in that order. An image file that is missing
// or broken leaves its texture all zero and yields one warning naming the file;
// every key still exists. A built-in shader that fails to compile or link stops
// the programs; `error` then holds the driver's log, each line led by the
// shader's or program's key, and a last line saying what failed.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "gfx/gl_api.h"
#include "gfx/palette_image.h"

class ProgramRegistry;
class TextureRegistry;

// Compiles and links the programs and registers their uniform slots.
// Returns false at the first failure, with the info log in `error`.
bool buildPrograms(ProgramRegistry& programs, std::string& error);

// The catalogue's image files as read from the data folder, in texture order.
struct ImageFiles {
    std::string dataDir;
    std::vector<PaletteImage> images;
    std::vector<PaletteStatus> statuses;
    std::vector<int> openErrors;  // the errno of a file that could not be opened, else 0
};

// Reads and decodes the image files from `dataDir` in their read order. Makes no GL call.
ImageFiles readImageFiles(const std::string& dataDir);

// Creates the image textures from `files`, releasing each image's pixels
// once they are uploaded. Returns the warnings loadImageTextures does.
std::vector<std::string> createImageTextures(TextureRegistry& textures, ImageFiles files);

// Reads the image files from `dataDir` and creates the image textures. Returns
// one warning line per file that was skipped (missing, broken, or of a size
// other than its texture's); those textures stay all zero.
std::vector<std::string> loadImageTextures(TextureRegistry& textures, const std::string& dataDir);

// Creates the render textures (width x height or the quarter size) and then the
// render targets. Returns false at the first target the driver cannot draw into
// (a quarter size of 0 is one), with `error` one line naming it.
bool createRenderTargets(TextureRegistry& textures, int width, int height, std::string& error);

// The catalogue's image rows (gfx/image_table.inc), in texture order.
struct ImageAsset {
    std::string_view key;
    std::string_view file;  // name inside the data folder
    int width, height;
    bool repeating;  // addMipmappedTexture; otherwise addTexture with the filters below
    GLenum minFilter, magFilter;
    int readPosition;  // files are read in this order, before any texture is made
};
std::span<const ImageAsset> imageAssets();
