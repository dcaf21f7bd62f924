// make_images: writes the show's palette images into a Data folder.
//
//     make_images <data-dir> [--font <file.ttf>]
//
// Prints one line per file written; exits non-zero with one line on stderr
// when the font is missing or a file cannot be written.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/palette_image_writer.h"
#include "tools/show_images.h"

namespace {

int fail(const std::string& message)
{
    std::fprintf(stderr, "make_images: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string dataDir;
    std::string fontPath = kDefaultBannerFont;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--font" && i + 1 < argc) {
            fontPath = argv[++i];
        } else if (dataDir.empty() && !arg.starts_with("-")) {
            dataDir = arg;
        } else {
            return fail("unknown argument \"" + arg + "\"; usage: make_images <data-dir> [--font <file.ttf>]");
        }
    }
    if (dataDir.empty())
        return fail("no output folder; usage: make_images <data-dir> [--font <file.ttf>]");

    const auto started = std::chrono::steady_clock::now();
    std::error_code ec;
    std::filesystem::create_directories(dataDir, ec);
    if (ec)
        return fail("cannot create " + dataDir + " (" + ec.message() + ")");

    std::vector<ShowImage> images;
    std::string error;
    if (!makeShowImages(fontPath, images, error))
        return fail(error);
    for (const ShowImage& shown : images) {
        const std::string path = (std::filesystem::path(dataDir) / shown.file).string();
        if (!writePaletteImageFile(path, shown.image, error))
            return fail(error);
        std::printf("make_images: wrote %s (%d x %d)\n", path.c_str(), shown.image.width, shown.image.height);
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("make_images: %zu images in %.2f s\n", images.size(), seconds);
    return 0;
}
