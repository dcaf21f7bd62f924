// palette_image.cpp: the .p decoder. Every read goes through ByteReader, which
// refuses to step past the encoded data; every write goes through PixelWriter,
// which drops pixels beyond the image.
#include "gfx/palette_image.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr size_t kHeaderBytes = 128;
constexpr size_t kPaletteBytes = 768;

uint16_t read16(std::span<const uint8_t> bytes, size_t offset)
{
    return static_cast<uint16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> data)
        : data_(data)
    {
    }
    bool next(uint8_t& out)
    {
        if (pos_ >= data_.size())
            return false;
        out = data_[pos_++];
        return true;
    }

private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

class PixelWriter {
public:
    PixelWriter(std::vector<uint8_t>& pixels, const std::vector<uint8_t>& palette)
        : pixels_(pixels)
        , palette_(palette)
        , count_(pixels.size() / 4)
    {
    }
    // Writes `n` pixels of palette colour `index` from the current position.
    void put(uint8_t index, size_t n)
    {
        const uint8_t* rgb = &palette_[size_t {index} * 3];
        for (size_t i = 0; i < n && pos_ < count_; ++i, ++pos_) {
            uint8_t* out = &pixels_[pos_ * 4];
            out[0] = rgb[0];
            out[1] = rgb[1];
            out[2] = rgb[2];
            out[3] = rgb[0];
        }
    }

private:
    std::vector<uint8_t>& pixels_;
    const std::vector<uint8_t>& palette_;
    size_t count_;
    size_t pos_ = 0;
};

// Decodes `height` rows of `width` pixels; false when the data runs out first.
bool decodeRows(ByteReader& reader, PixelWriter& writer, int width, int height)
{
    for (int row = 0; row < height; ++row) {
        int c = 0;
        while (c < width) {
            uint8_t b = 0;
            if (!reader.next(b))
                return false;
            if (b >= 192) {
                uint8_t value = 0;
                if (!reader.next(value))
                    return false;
                const int n = b & 63;
                writer.put(value, static_cast<size_t>(n));
                c += n;
            } else {
                writer.put(b, 1);
                c += 1;
            }
        }
    }
    return true;
}

// The most pixels `dataBytes` of encoded data can produce: a two-byte run
// yields at most 63, a lone trailing byte one.
int64_t maxDecodablePixels(size_t dataBytes)
{
    return static_cast<int64_t>(dataBytes / 2) * 63 + static_cast<int64_t>(dataBytes % 2);
}

}  // namespace

PaletteStatus decodePaletteImage(std::span<const uint8_t> file, PaletteImage& image)
{
    if (file.size() < kHeaderBytes + kPaletteBytes)
        return PaletteStatus::TooShort;
    if (static_cast<int64_t>(file.size()) > kMaxPaletteFileBytes)
        return PaletteStatus::TooLarge;
    const std::span<const uint8_t> header = file.first(kHeaderBytes);
    if (header[64] != 0)
        return PaletteStatus::ReservedByteSet;

    const int width = header[65] * read16(header, 66);
    const int height = int {read16(header, 10)} - int {read16(header, 6)} + 1;
    if (width <= 0 || height <= 0)
        return PaletteStatus::EmptySize;
    const int64_t pixelCount = int64_t {width} * height;
    if (pixelCount > kMaxPalettePixels)
        return PaletteStatus::TooLarge;

    const std::span<const uint8_t> data = file.subspan(kHeaderBytes, file.size() - kHeaderBytes - kPaletteBytes);
    // Every row must reach its width, so data that cannot yield the whole image
    // is refused before anything is allocated for it.
    if (maxDecodablePixels(data.size()) < pixelCount)
        return PaletteStatus::DataEndsEarly;

    std::vector<uint8_t> palette(file.end() - kPaletteBytes, file.end());
    std::vector<uint8_t> pixels(static_cast<size_t>(pixelCount) * 4, 0);
    ByteReader reader(data);
    PixelWriter writer(pixels, palette);
    if (!decodeRows(reader, writer, width, height))
        return PaletteStatus::DataEndsEarly;

    image.pixels = std::move(pixels);
    image.palette = std::move(palette);
    image.width = width;
    image.height = height;
    return PaletteStatus::Decoded;
}

namespace {

// Refuses, before reading, a directory (unreadable) and a regular file larger
// than any image could be; pipes and other streams are read and bounded as they go.
bool refusedBeforeReading(std::FILE* file, PaletteStatus& why)
{
    struct stat info { };
    if (fstat(fileno(file), &info) != 0)
        return false;
    if (S_ISDIR(info.st_mode)) {
        why = PaletteStatus::Missing;
        return true;
    }
    if (S_ISREG(info.st_mode) && info.st_size > kMaxPaletteFileBytes) {
        why = PaletteStatus::TooLarge;
        return true;
    }
    return false;
}

}  // namespace

PaletteStatus readPaletteImage(PaletteImage& image, std::FILE* file)
{
    if (!file)
        return PaletteStatus::Missing;
    if (PaletteStatus why {}; refusedBeforeReading(file, why)) {
        std::fclose(file);
        return why;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    bool readError = false;
    bool oversized = false;
    for (;;) {
        const size_t got = std::fread(chunk, 1, sizeof chunk, file);
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (static_cast<int64_t>(bytes.size()) > kMaxPaletteFileBytes) {
            oversized = true;
            break;
        }
        if (got < sizeof chunk) {
            readError = std::ferror(file) != 0;
            break;
        }
    }
    std::fclose(file);
    if (oversized)
        return PaletteStatus::TooLarge;
    if (readError)
        return PaletteStatus::Missing;
    return decodePaletteImage(bytes, image);
}

PaletteStatus loadPaletteImage(const std::string& path, PaletteImage& image, int* openError)
{
    // Opened without blocking: a FIFO would otherwise hold start-up until someone writes to it.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (openError)
            *openError = errno;
        return PaletteStatus::Missing;
    }
    struct stat info { };
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return PaletteStatus::NotRegular;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = fdopen(fd, "rb");
    if (!file) {
        if (openError)
            *openError = errno;
        close(fd);
    }
    return readPaletteImage(image, file);
}

const char* paletteStatusText(PaletteStatus status)
{
    switch (status) {
    case PaletteStatus::Decoded: return "decoded";
    case PaletteStatus::Missing: return "is missing or unreadable";
    case PaletteStatus::NotRegular: return "is not a regular file";
    case PaletteStatus::TooShort: return "is shorter than a header and palette";
    case PaletteStatus::ReservedByteSet: return "has a non-zero reserved header byte";
    case PaletteStatus::EmptySize: return "has an empty size in its header";
    case PaletteStatus::TooLarge: return "is too large";
    case PaletteStatus::DataEndsEarly: return "ends before its last row";
    }
    return "is unreadable";
}
