#include "install_helpers.h"

#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

ScratchDir::ScratchDir(const std::string& stem)
{
    std::string pattern = "/tmp/pkg-" + stem + "-XXXXXX";
    if (mkdtemp(pattern.data()))
        path_ = pattern;
}

ScratchDir::~ScratchDir()
{
    std::error_code ignored;
    if (!path_.empty())
        fs::remove_all(path_, ignored);
}

ChildResult runFrom(const fs::path& cwd, const std::string& program, const std::vector<std::string>& args,
                    const std::vector<std::string>& env, double seconds)
{
    // The child inherits the working directory at fork; put ours back after.
    const fs::path previous = fs::current_path();
    fs::current_path(cwd);
    ChildResult result = runChild(program, args, env, seconds);
    fs::current_path(previous);
    return result;
}

ChildResult runShortCapture(const fs::path& program, const fs::path& outDir, const fs::path& cwd,
                            const std::vector<std::string>& moreArgs)
{
    std::vector<std::string> args = {"--capture", outDir.string(), "--from", "40000", "--to", "40300",
                                     "--fps", "10", "--size", "320x200", "--no-dialog"};
    args.insert(args.end(), moreArgs.begin(), moreArgs.end());
    const char* display = std::getenv("DISPLAY");
    std::vector<std::string> env;
    if (!display || !*display)
        env.push_back("SDL_VIDEODRIVER=offscreen");
    return runFrom(cwd, program.string(), args, env);
}

std::vector<std::string> fileNamesIn(const fs::path& dir)
{
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

RgbaPicture readRgbaPng(const fs::path& path)
{
    RgbaPicture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return picture;
    image.format = PNG_FORMAT_RGBA;
    std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return picture;
    }
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.pixels = std::move(pixels);
    return picture;
}

std::vector<int> numbersIn(const std::string& list)
{
    std::vector<int> numbers;
    std::stringstream stream(list);
    for (std::string item; std::getline(stream, item, ',');)
        numbers.push_back(std::atoi(item.c_str()));
    return numbers;
}

std::string fileText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
