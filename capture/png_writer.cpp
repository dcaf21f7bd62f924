// PNG files written with libdeflate's compression and read back with libpng.
#include "capture/png_writer.h"

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <unistd.h>

#include <libdeflate.h>
#include <png.h>

#include "capture/output_file.h"
#include "desktop/report.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// What libpng said when it gave up.
struct PngFailure {
    std::string text;
};

// libpng reports errors by longjmp; the message is kept for the caller.
void onPngError(png_structp png, png_const_charp message)
{
    if (auto* failure = static_cast<PngFailure*>(png_get_error_ptr(png)))
        failure->text = message;
    png_longjmp(png, 1);
}

void onPngWarning(png_structp, png_const_charp) { }

// libpng's output, gathered in memory; a std::bad_alloc here would unwind
// through C, so growth failing ends in libpng's own error instead.
void appendBytes(png_structp png, png_bytep data, size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    bool grown = true;
    try {
        out->insert(out->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        grown = false;
    }
    if (!grown)
        png_error(png, "out of memory");
}

// Largest IDAT chunk written; any size is valid, and readers that stream a
// file take it in pieces of this order.
constexpr size_t kIdatBytes = size_t(1) << 20;

struct CompressorFree {
    void operator()(libdeflate_compressor* compressor) const { libdeflate_free_compressor(compressor); }
};

// What one encoding thread keeps between frames: the compressor and two
// frame-sized buffers, so a capture does not map and fault them in anew for
// every file.
struct RowCompressor {
    std::unique_ptr<libdeflate_compressor, CompressorFree> compressor {libdeflate_alloc_compressor(1)};
    std::vector<uint8_t> filtered;
    std::vector<uint8_t> stream;
};

// The picture's zlib stream as PNG stores it: each row behind its filter
// byte, "up" filtered (each byte less the one above it, which is what
// compresses best on the show's frames), deflated by libdeflate at its fastest
// level. libpng's own zlib took about 40 % more time and wrote 15 % larger
// files. Empty when libdeflate failed; valid until this thread's next call.
std::span<const uint8_t> compressedRows(int width, int height, const uint8_t* rgb)
{
    thread_local RowCompressor local;
    if (!local.compressor)
        throw std::bad_alloc();
    const size_t stride = static_cast<size_t>(width) * 3;
    local.filtered.resize((stride + 1) * static_cast<size_t>(height));
    for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
        uint8_t* out = local.filtered.data() + y * (stride + 1);
        const uint8_t* row = rgb + y * stride;
        *out++ = 2;  // up; above the top row PNG counts zeros, so it is stored as it is
        if (y == 0) {
            std::copy(row, row + stride, out);
            continue;
        }
        const uint8_t* above = row - stride;
        for (size_t x = 0; x < stride; ++x)
            out[x] = static_cast<uint8_t>(row[x] - above[x]);
    }
    local.stream.resize(libdeflate_zlib_compress_bound(local.compressor.get(), local.filtered.size()));
    const size_t length = libdeflate_zlib_compress(
        local.compressor.get(), local.filtered.data(), local.filtered.size(), local.stream.data(), local.stream.size());
    return {local.stream.data(), length};
}

}  // namespace

bool encodePng(int width, int height, const uint8_t* rgb, std::vector<uint8_t>& png, std::string& error)
{
    png.clear();
    if (width <= 0 || height <= 0 || !rgb) {
        error = "nothing to write";
        return false;
    }
    std::span<const uint8_t> stream;
    try {
        stream = compressedRows(width, height, rgb);
        png.reserve(stream.size() + 1024);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
        return false;
    }
    if (stream.empty()) {
        error = "libdeflate failed";
        return false;
    }
    PngFailure failure;
    png_structp writer = png_create_write_struct(PNG_LIBPNG_VER_STRING, &failure, onPngError, onPngWarning);
    png_infop info = writer ? png_create_info_struct(writer) : nullptr;
    if (!info) {
        png_destroy_write_struct(&writer, nullptr);
        error = "out of memory";
        return false;
    }
    volatile bool encoded = false;
    if (setjmp(png_jmpbuf(writer)) == 0) {
        png_set_write_fn(writer, &png, appendBytes, nullptr);
        png_set_IHDR(writer, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
            PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(writer, info);
        // libpng frames the stream (IDAT chunks and their checksums), as it
        // would its own.
        for (size_t at = 0; at < stream.size(); at += kIdatBytes) {
            const size_t length = std::min(kIdatBytes, stream.size() - at);
            png_write_chunk(writer, reinterpret_cast<png_const_bytep>("IDAT"), stream.data() + at, length);
        }
        png_write_chunk(writer, reinterpret_cast<png_const_bytep>("IEND"), nullptr, 0);
        encoded = true;
    }
    png_destroy_write_struct(&writer, &info);
    if (!encoded)
        error = failure.text.empty() ? "libpng failed" : failure.text;
    return encoded;
}

bool writePng(const std::string& path, int width, int height, const uint8_t* rgb, std::string& error)
{
    std::vector<uint8_t> png;
    std::string why;
    if (!encodePng(width, height, rgb, png, why)) {
        error = "cannot write " + quotedName(path) + " (" + why + ")";
        return false;
    }
    return writeWhole(path, png.data(), png.size(), error);
}

bool readPng(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgb, std::string& error)
{
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = "cannot open " + quotedName(path) + " (" + std::strerror(errno) + ")";
        return false;
    }
    PngFailure failure;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &failure, onPngError, onPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        error = "cannot read " + quotedName(path) + ": out of memory";
        return false;
    }
    volatile bool read = false;
    std::vector<uint8_t> row;
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file.get());
        png_read_info(png, info);
        const png_uint_32 w = png_get_image_width(png, info);
        const png_uint_32 h = png_get_image_height(png, info);
        const int type = png_get_color_type(png, info);
        if (png_get_bit_depth(png, info) != 8 || (type != PNG_COLOR_TYPE_RGB && type != PNG_COLOR_TYPE_RGB_ALPHA)
            || w == 0 || h == 0 || w > 16384 || h > 16384) {
            failure.text = "not an 8-bit RGB picture";
        } else {
            const size_t channels = type == PNG_COLOR_TYPE_RGB ? 3 : 4;
            row.resize(w * channels);
            rgb.assign(static_cast<size_t>(w) * h * 3, 0);
            for (png_uint_32 y = 0; y < h; ++y) {
                png_read_row(png, row.data(), nullptr);
                for (png_uint_32 x = 0; x < w; ++x)
                    for (size_t c = 0; c < 3; ++c)
                        rgb[(static_cast<size_t>(y) * w + x) * 3 + c] = row[x * channels + c];
            }
            width = static_cast<int>(w);
            height = static_cast<int>(h);
            read = true;
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!read)
        error = "cannot read " + quotedName(path) + (failure.text.empty() ? "" : ": " + failure.text);
    return read;
}
