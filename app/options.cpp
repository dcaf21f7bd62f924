#include "app/options.h"

#include <charconv>
#include <cstring>

namespace {

bool parseInt(const std::string& text, long long low, long long high, long long& value)
{
    if (text.empty())
        return false;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && value >= low && value <= high;
}

bool parseAspect(const std::string& text, int& index)
{
    static const char* const names[] = {"auto", "4:3", "5:4", "16:9", "16:10"};
    for (int i = 0; i < 5; ++i) {
        if (text == names[i]) {
            index = i;
            return true;
        }
    }
    return false;
}

} // namespace

bool parseSize(const std::string& text, int& width, int& height)
{
    const size_t x = text.find('x');
    if (x == std::string::npos)
        return false;
    long long w = 0, h = 0;
    if (!parseInt(text.substr(0, x), 1, 16384, w) || !parseInt(text.substr(x + 1), 1, 16384, h))
        return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

bool parseOptions(int argc, const char* const* argv, Options& options, std::string& error)
{
    options = Options{};
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // Options with a value take it from the next argument or after '='.
        std::string name = arg, value;
        bool hasInlineValue = false;
        if (arg.rfind("--", 0) == 0) {
            const size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                value = arg.substr(eq + 1);
                hasInlineValue = true;
            }
        }
        auto takeValue = [&]() -> bool {
            if (hasInlineValue)
                return true;
            if (i + 1 >= argc) {
                error = name + " needs a value";
                return false;
            }
            value = argv[++i];
            return true;
        };
        auto noValue = [&]() -> bool {
            if (hasInlineValue) {
                error = name + " takes no value";
                return false;
            }
            return true;
        };

        if (name == "--no-dialog") {
            if (!noValue()) return false;
            options.noDialog = true;
        } else if (name == "--windowed" || name == "--fullscreen") {
            if (!noValue()) return false;
            options.fullscreen = (name == "--fullscreen");
        } else if (name == "--no-music") {
            if (!noValue()) return false;
            options.noMusic = true;
        } else if (name == "--vsync" || name == "--no-vsync") {
            if (!noValue()) return false;
            options.vsync = (name == "--vsync");
        } else if (name == "--stats") {
            if (!noValue()) return false;
            options.stats = true;
        } else if (name == "--bench") {
            if (!noValue()) return false;
            options.bench = true;
        } else if (name == "--help" || name == "-h") {
            if (!noValue()) return false;
            options.help = true;
        } else if (name == "--version") {
            if (!noValue()) return false;
            options.version = true;
        } else if (name == "--size") {
            if (!takeValue()) return false;
            int w = 0, h = 0;
            if (!parseSize(value, w, h)) {
                error = "--size wants WIDTHxHEIGHT, e.g. 1280x800, not '" + value + "'";
                return false;
            }
            options.width = w;
            options.height = h;
        } else if (name == "--aspect") {
            if (!takeValue()) return false;
            int index = 0;
            if (!parseAspect(value, index)) {
                error = "--aspect wants auto, 4:3, 5:4, 16:9 or 16:10, not '" + value + "'";
                return false;
            }
            options.aspectIndex = index;
        } else if (name == "--data") {
            if (!takeValue()) return false;
            if (value.empty()) {
                error = "--data needs a folder";
                return false;
            }
            options.dataDir = value;
        } else if (name == "--music") {
            if (!takeValue()) return false;
            if (value.empty()) {
                error = "--music needs a file";
                return false;
            }
            options.musicPath = value;
        } else if (name == "--capture") {
            if (!takeValue()) return false;
            if (value.empty()) {
                error = "--capture needs a folder or a .mp4, .mkv or .webm file";
                return false;
            }
            options.captureOut = value;
        } else if (name == "--fps") {
            if (!takeValue()) return false;
            long long fps = 0;
            if (!parseInt(value, 1, 1000, fps)) {
                error = "--fps wants a whole number from 1 to 1000, not '" + value + "'";
                return false;
            }
            options.fps = static_cast<int>(fps);
        } else if (name == "--start") {
            if (!takeValue()) return false;
            long long ms = 0;
            if (!parseInt(value, 0, kShowLengthMs - 1, ms)) {
                error = "--start wants milliseconds from 0 to " + std::to_string(kShowLengthMs - 1) + ", not '"
                        + value + "'";
                return false;
            }
            options.startMs = static_cast<uint32_t>(ms);
        } else if (name == "--from" || name == "--to") {
            if (!takeValue()) return false;
            long long ms = 0;
            if (!parseInt(value, 0, kShowLengthMs, ms)) {
                error = name + " wants milliseconds from 0 to " + std::to_string(kShowLengthMs) + ", not '" + value
                        + "'";
                return false;
            }
            (name == "--from" ? options.fromMs : options.toMs) = static_cast<uint32_t>(ms);
        } else {
            error = "unknown option '" + arg + "'";
            return false;
        }
    }

    if (options.startMs && options.fixedStep()) {
        error = "--start is for the live show; a capture starts with --from";
        return false;
    }
    if (options.bench && !options.captureOut.empty()) {
        error = "--bench and --capture cannot be combined";
        return false;
    }
    if ((options.fps || options.fromMs != 0 || options.toMs != kShowLengthMs) && !options.fixedStep()) {
        error = "--fps, --from and --to need --capture or --bench";
        return false;
    }
    if ((options.fromMs != 0 || options.toMs != kShowLengthMs) && options.captureOut.empty()) {
        error = "--from and --to need --capture";
        return false;
    }
    if (options.fromMs >= options.toMs) {
        error = "--from must be earlier than --to";
        return false;
    }
    return true;
}

std::string usageText()
{
    return "usage: brindle [options]\n"
           "  --no-dialog          start at once, without the launch dialog\n"
           "  --size WxH           window or full-screen size (default: the desktop's)\n"
           "  --windowed           run in a window\n"
           "  --fullscreen         run full screen (the default)\n"
           "  --aspect A           auto, 4:3, 5:4, 16:9 or 16:10 (default auto)\n"
           "  --no-music           play the music muted\n"
           "  --vsync, --no-vsync  wait for the display's refresh, or not (default: wait)\n"
           "  --data DIR           the data folder (default: Data beside the program)\n"
           "  --music FILE         play FILE instead of the show's track (MP3 by name, else a\n"
           "                       tracker module)\n"
           "  --start MS           open the live show at MS milliseconds, music positioned\n"
           "                       there; the show's state is fast-forwarded at 60 fps\n"
           "  --stats              print frame statistics as JSON on stdout at exit\n"
           "  --capture OUT        render every frame at a fixed rate into OUT: a folder of\n"
           "                       PNG files, or a .mp4, .mkv or .webm video with the music\n"
           "  --fps N              frames per second for --capture and --bench (default 60)\n"
           "  --from MS, --to MS   the show-time span to capture (default 0 to " +
           std::to_string(kShowLengthMs) + ")\n"
           "  --bench              render the whole show as fast as possible, print statistics\n"
           "  --help               show this text\n"
           "  --version            show the version\n"
           "keys in the live show: Space pauses and resumes, Right and Left jump 10 s\n"
           "forward and back, Escape ends the show\n";
}
