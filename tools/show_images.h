// show_images.h: paints the pictures of the show's Data folder.
//
// Every picture is white-on-black grey artwork (index = grey level, grey-ramp
// palette): the reader turns the grey level into alpha and the show tints it
// with its own colours. Banners are lettered with FreeType; the sprites, the
// light map and the overlays are drawn from simple formulas; the noise comes
// from a fixed integer hash, so every run paints the same pixels.
//
// Usage:
//     std::vector<ShowImage> images;
//     std::string error;
//     if (!makeShowImages(fontPath, images, error)) fail(error);
//     for (const ShowImage& s : images) writePaletteImageFile(dir + "/" + s.file, s.image, error);
#pragma once

#include <span>
#include <string>
#include <vector>

#include "tools/grey_canvas.h"
#include "tools/palette_image_writer.h"
#include "tools/text_renderer.h"

enum class ShowImageKind { Logo, Greeting, Credit, Closing, Plus, Noise, Vignette, FlatGrey, Dot, Frame, Spotlight };

struct ShowImagePlan {
    const char* file;  // name inside Data/
    int width;
    int height;
    ShowImageKind kind;
    const char* text;  // the lettering of a banner, null for artwork
};

// The files in the order the catalogue creates their textures.
std::span<const ShowImagePlan> showImagePlans();

// Where Debian's fonts-dejavu-core puts the bold face.
inline constexpr const char* kDefaultBannerFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

struct ShowImage {
    std::string file;
    IndexedImage image;
};

// Paints all pictures in showImagePlans() order; false with a message when the
// font cannot be loaded or a text does not fit its banner.
bool makeShowImages(const std::string& fontPath, std::vector<ShowImage>& out, std::string& error);

// The artwork on its own, for callers that need one picture (exposed for tests).
GreyCanvas paintPlus(int width, int height);
GreyCanvas paintSquareFrame(int width, int height);
GreyCanvas paintSpotlight(int width, int height);
GreyCanvas paintVignetteOverlay(int width, int height);
GreyCanvas paintSoftDot(int width, int height);
GreyCanvas paintFineNoise(int width, int height);
