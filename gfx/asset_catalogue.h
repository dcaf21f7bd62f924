// asset_catalogue.h: creates every program, texture and render target the show uses.
//
// Usage (once, after the window, the GL context and the extension loader):
//     std::string error;
//     if (!loadAssets(app, error)) { print "brindle: " + error; exit non-zero; }
// loadAssets initialises app.audio, loads app.music from app.musicPath, then
// compiles the six programs, reads the twenty-three images from app.dataDir
// into textures and creates the seven render textures and six render targets,
// in that order. An image file that is missing or broken leaves its texture
// all zero and prints one warning line naming the file; every key still exists.
// A music file that cannot be opened, or a built-in shader that fails to compile
// or link, stops loading: loadAssets returns false with one line in `error`.
//
// The steps are also callable one by one (tests use them without audio).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/gl_api.h"

struct DemoApplication;
class ProgramRegistry;
class TextureRegistry;

bool loadAssets(DemoApplication& app, std::string& error);

// Compiles and links the six programs and registers their uniform slots.
// Returns false at the first failure, with the info log in `error`.
bool buildPrograms(ProgramRegistry& programs, std::string& error);

// Reads the image files from `dataDir` and creates the twenty-three image
// textures. Returns one warning line per file that was skipped (missing,
// broken, or of a size other than its texture's); those textures stay all zero.
std::vector<std::string> loadImageTextures(TextureRegistry& textures, const std::string& dataDir);

// Creates the render textures (width x height and the quarter size) and the six
// render targets.
void createRenderTargets(TextureRegistry& textures, int width, int height);

// The catalogue's image rows, in texture order.
struct ImageAsset {
    std::string_view key;
    std::string_view file;  // name inside the data folder
    int width, height;
    bool repeating;  // addMipmappedTexture; otherwise addTexture with the filters below
    GLenum minFilter, magFilter;
};
const std::vector<ImageAsset>& imageAssets();
