// text_renderer.h: anti-aliased lettering with FreeType for the show's banners.
//
// A FontFace owns one FreeType library and face. Text is laid out on one line
// with the font's kerning, measured by its ink (the pixels the glyphs really
// cover) and painted white on a GreyCanvas, centred on a point by that ink.
//
// Usage:
//     FontFace font;
//     std::string error;
//     if (!font.open("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf", error)) fail(error);
//     int size = font.largestSizeFitting("galder", 460, 100, 120);   // 0 if none fits
//     font.drawCentred(canvas, "galder", size, 256.0f, 64.0f);
#pragma once

#include <string>
#include <string_view>

#include "tools/grey_canvas.h"

struct InkBox {
    int left = 0, top = 0, right = 0, bottom = 0;  // pen-relative pixels, right/bottom exclusive
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

class FontFace {
public:
    FontFace() = default;
    ~FontFace();
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    // False with a message naming the file when it cannot be loaded.
    bool open(const std::string& path, std::string& error);
    bool isOpen() const { return face_ != nullptr; }

    // Ink extent of `text` at `pixelSize`, relative to the pen start on the
    // baseline (y grows downwards). Empty box for empty or blank text.
    InkBox measure(std::string_view text, int pixelSize);

    // The largest size up to maxPixelSize whose ink fits boxWidth x boxHeight;
    // 0 when not even size 1 fits.
    int largestSizeFitting(std::string_view text, int boxWidth, int boxHeight, int maxPixelSize);

    // Paints `text` so that its ink box is centred on (centreX, centreY);
    // coverage is combined with what is there by taking the brighter value.
    void drawCentred(GreyCanvas& canvas, std::string_view text, int pixelSize, float centreX, float centreY);

private:
    template<typename GlyphVisitor> void layOut(std::string_view text, int pixelSize, GlyphVisitor&& visit);

    void* library_ = nullptr;  // FT_Library, kept opaque so users need no FreeType headers
    void* face_ = nullptr;     // FT_Face
};
