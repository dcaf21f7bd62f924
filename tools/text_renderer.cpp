// text_renderer.cpp: FreeType layout and painting. See text_renderer.h.
#include "tools/text_renderer.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

FT_Library asLibrary(void* p) { return static_cast<FT_Library>(p); }
FT_Face asFace(void* p) { return static_cast<FT_Face>(p); }

}  // namespace

FontFace::~FontFace()
{
    if (face_ != nullptr)
        FT_Done_Face(asFace(face_));
    if (library_ != nullptr)
        FT_Done_FreeType(asLibrary(library_));
}

bool FontFace::open(const std::string& path, std::string& error)
{
    if (library_ == nullptr) {
        FT_Library library = nullptr;
        if (FT_Init_FreeType(&library) != 0) {
            error = "cannot initialise FreeType";
            return false;
        }
        library_ = library;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(asLibrary(library_), path.c_str(), 0, &face) != 0) {
        error = path + ": cannot load the font (install fonts-dejavu-core)";
        return false;
    }
    if (face_ != nullptr)
        FT_Done_Face(asFace(face_));
    face_ = face;
    return true;
}

// Calls visit(bitmap, penX + bitmap_left, -bitmap_top) for every glyph, with
// the pen advanced by the glyph advances plus kerning.
template<typename GlyphVisitor> void FontFace::layOut(std::string_view text, int pixelSize, GlyphVisitor&& visit)
{
    FT_Face face = asFace(face_);
    if (face == nullptr || pixelSize <= 0)
        return;
    FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize));
    long pen = 0;  // 26.6 fixed point
    FT_UInt previous = 0;
    for (const char ch : text) {
        const FT_UInt glyph = FT_Get_Char_Index(face, static_cast<unsigned char>(ch));
        if (previous != 0 && glyph != 0 && FT_HAS_KERNING(face)) {
            FT_Vector kerning {};
            FT_Get_Kerning(face, previous, glyph, FT_KERNING_DEFAULT, &kerning);
            pen += kerning.x;
        }
        if (FT_Load_Glyph(face, glyph, FT_LOAD_RENDER) != 0)
            continue;
        const FT_GlyphSlot slot = face->glyph;
        visit(slot->bitmap, static_cast<int>(pen >> 6) + slot->bitmap_left, -slot->bitmap_top);
        pen += slot->advance.x;
        previous = glyph;
    }
}

InkBox FontFace::measure(std::string_view text, int pixelSize)
{
    InkBox box {INT_MAX, INT_MAX, INT_MIN, INT_MIN};
    layOut(text, pixelSize, [&](const FT_Bitmap& bitmap, int x, int y) {
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const unsigned char* line = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
            for (unsigned col = 0; col < bitmap.width; ++col) {
                if (line[col] == 0)
                    continue;
                box.left = std::min(box.left, x + static_cast<int>(col));
                box.right = std::max(box.right, x + static_cast<int>(col) + 1);
                box.top = std::min(box.top, y + static_cast<int>(row));
                box.bottom = std::max(box.bottom, y + static_cast<int>(row) + 1);
            }
        }
    });
    if (box.left > box.right)
        return InkBox {};
    return box;
}

int FontFace::largestSizeFitting(std::string_view text, int boxWidth, int boxHeight, int maxPixelSize)
{
    for (int size = maxPixelSize; size >= 1; --size) {
        const InkBox ink = measure(text, size);
        if (ink.width() <= boxWidth && ink.height() <= boxHeight)
            return size;
    }
    return 0;
}

void FontFace::drawCentred(GreyCanvas& canvas, std::string_view text, int pixelSize, float centreX, float centreY)
{
    const InkBox ink = measure(text, pixelSize);
    if (ink.width() == 0)
        return;
    const int originX = static_cast<int>(std::lround(centreX - 0.5f * static_cast<float>(ink.left + ink.right)));
    const int originY = static_cast<int>(std::lround(centreY - 0.5f * static_cast<float>(ink.top + ink.bottom)));
    layOut(text, pixelSize, [&](const FT_Bitmap& bitmap, int x, int y) {
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            const int cy = originY + y + static_cast<int>(row);
            if (cy < 0 || cy >= canvas.height)
                continue;
            const unsigned char* line = bitmap.buffer + static_cast<long>(row) * bitmap.pitch;
            for (unsigned col = 0; col < bitmap.width; ++col) {
                const int cx = originX + x + static_cast<int>(col);
                if (cx < 0 || cx >= canvas.width)
                    continue;
                float& pixel = canvas.at(cx, cy);
                pixel = std::max(pixel, static_cast<float>(line[col]) / 255.0f);
            }
        }
    });
}
