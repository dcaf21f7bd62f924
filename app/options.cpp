// The option table, and the parsing, checks and usage text it drives.
#include "app/options.h"

#include <charconv>
#include <iterator>
#include <map>
#include <vector>

#include <CLI/CLI.hpp>

#include "app/frame_clock.h"
#include "capture/video_pipe.h"

namespace {

// The whole numbers an option's value may take; a row checks its value
// against it and the usage prints it from there.
struct Range {
    long long low = 0, high = -1;  // empty (low > high) for a value that is not a number
    const char* bounds = nullptr;  // what the usage says it bounds; null: the value's name

    bool empty() const { return low > high; }
    std::string text() const { return "from " + std::to_string(low) + " to " + std::to_string(high); }
};

std::optional<long long> readWhole(const std::string& text, Range range)
{
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < range.low || value > range.high)
        return std::nullopt;
    return value;
}

using Reason = std::string;  // why a text is not a value; empty when it is one

Reason noReason() { return {}; }

template <typename Number>
Reason readWholeInto(const std::string& text, Range range, Number& value)
{
    const auto whole = readWhole(text, range);
    if (!whole)
        return "'" + text + "' is not a whole number " + range.text();
    value = static_cast<Number>(*whole);
    return noReason();
}

// "WxH", each side in the range.
Reason readSizeInto(const std::string& text, Range range, Options& o)
{
    const size_t x = text.find('x');
    const auto w = x == std::string::npos ? std::nullopt : readWhole(text.substr(0, x), range);
    const auto h = x == std::string::npos ? std::nullopt : readWhole(text.substr(x + 1), range);
    if (!w || !h)
        return "'" + text + "' is not WIDTHxHEIGHT, each side " + range.text() + ", e.g. 1280x800";
    o.width = static_cast<int>(*w);
    o.height = static_cast<int>(*h);
    return noReason();
}

// "auto, 4:3, 5:4, 16:9 or 16:10": --aspect's values as the usage lists them.
std::string aspectValues()
{
    std::string out;
    for (auto name = std::begin(kAspectNames); name != std::end(kAspectNames); ++name) {
        if (name != std::begin(kAspectNames))
            out += std::next(name) == std::end(kAspectNames) ? " or " : ", ";
        out += name->option;
    }
    return out;
}

Reason readAspectInto(const std::string& text, Range, Options& o)
{
    for (const AspectName& name : kAspectNames) {
        if (text == name.option) {
            o.aspect = name.code;
            return noReason();
        }
    }
    return "'" + text + "' is not " + aspectValues();
}

Reason readPath(const std::string& text, std::string& path, const char* what)
{
    if (text.empty())
        return std::string("needs ") + what;
    path = text;
    return noReason();
}

// The command line, one row per option in the order of the usage text.
struct OptionRow {
    const char* names;  // CLI11 names; a switch's name after '!' turns it off
    const char* value;  // the value's name in the usage; empty for a switch
    std::string help;   // rows with the same help and range share one usage line
    Range range;        // for a value that is a whole number (or made of them)
    // Stores the option (a switch gets "true" or "false") into the options, or
    // gives the reason the text is not a value of it.
    Reason (*read)(const std::string& text, Range range, Options& options);
};

constexpr Range kShowTimes {0, kShowLengthMs};
constexpr const char* kSpanHelp = "the show-time span for --capture and --bench (default: the whole show)";

// clang-format off
const OptionRow kOptionRows[] = {
    {"--no-dialog", "", "start at once, without the launch dialog", {},
     [](const std::string&, Range, Options& o) { o.noDialog = true; return noReason(); }},
    {"--size", "WxH", "window or full-screen size (default: the desktop's)", {1, 16384, "each side"}, readSizeInto},
    {"--windowed", "", "run in a window", {},
     [](const std::string&, Range, Options& o) { o.fullscreen = false; return noReason(); }},
    {"--fullscreen", "", "run full screen (the default)", {},
     [](const std::string&, Range, Options& o) { o.fullscreen = true; return noReason(); }},
    {"--aspect", "A", aspectValues() + " (default " + kAspectNames[0].option + ")", {}, readAspectInto},
    {"--no-music", "", "play the music muted", {},
     [](const std::string&, Range, Options& o) { o.noMusic = true; return noReason(); }},
    {"--vsync,!--no-vsync", "", "wait for the display's refresh, or not (default: wait)", {},
     [](const std::string& on, Range, Options& o) { o.vsync = on == "true"; return noReason(); }},
    {"--data", "DIR", "the data folder (default: Data beside the program, or share/brindle/Data of an "
                      "installed copy)", {},
     [](const std::string& text, Range, Options& o) { return readPath(text, o.dataDir, "a folder"); }},
    {"--music", "FILE", "play FILE instead of the show's track (MP3 by name, else a tracker module)", {},
     [](const std::string& text, Range, Options& o) { return readPath(text, o.musicPath, "a file"); }},
    {"--start", "MS", "open the live show at MS milliseconds, music positioned there; the show's state is "
                      "fast-forwarded at 60 fps", {0, kShowLengthMs - 1},
     [](const std::string& text, Range r, Options& o) { return readWholeInto(text, r, o.startMs.emplace()); }},
    {"--stats", "", "print frame statistics as JSON on stdout at exit; in the live show audio_drift_ms is "
                    "the largest gap between the picture and the music heard from the speakers, and, where "
                    "the compositor tells, swap_to_seen_ms the median time from a swap to the vblank that "
                    "showed the frame and frames_unseen the frames it never showed", {},
     [](const std::string&, Range, Options& o) { o.stats = true; return noReason(); }},
    {"--frame-log", "FILE", "write one CSV line per presented frame into FILE: frame, show time, "
                            "CLOCK_MONOTONIC after the swap (ns), beat, CLOCK_MONOTONIC of the vblank that "
                            "showed it (ns; 0 where the compositor does not tell or never showed it)", {},
     [](const std::string& text, Range, Options& o) { return readPath(text, o.frameLog, "a file"); }},
    {"--audio-offset", "MS", "show the picture MS milliseconds later than the music is heard (negative: "
                             "earlier), for speakers or screens with delays of their own (default 0)",
     {-1000, 1000},
     [](const std::string& text, Range r, Options& o) { return readWholeInto(text, r, o.audioOffsetMs); }},
    {"--capture", "OUT", "render every frame at a fixed rate into OUT: a folder of PNG files, or a .mp4, .mkv "
                         "or .webm video with the music", {},
     [](const std::string& text, Range, Options& o) {
         return readPath(text, o.captureOut, "a folder or a .mp4, .mkv or .webm file");
     }},
    {"--lossless", "", "with --capture into a .mkv: keep every pixel and sample as rendered (FFV1 video in "
                       "RGB, the music as float PCM), for a master to encode from", {},
     [](const std::string&, Range, Options& o) { o.lossless = true; return noReason(); }},
    {"--fps", "N", "frames per second for --capture and --bench (default 60)", {1, 1000},
     [](const std::string& text, Range r, Options& o) { return readWholeInto(text, r, o.fps.emplace()); }},
    {"--from", "MS", kSpanHelp, kShowTimes,
     [](const std::string& text, Range r, Options& o) { return readWholeInto(text, r, o.fromMs); }},
    {"--to", "MS", kSpanHelp, kShowTimes,
     [](const std::string& text, Range r, Options& o) { return readWholeInto(text, r, o.toMs); }},
    {"--bench", "", "render the span (the whole show by default) as fast as possible, print statistics", {},
     [](const std::string&, Range, Options& o) { o.bench = true; return noReason(); }},
    {"--help,-h", "", "show this text", {},
     [](const std::string&, Range, Options& o) { o.help = true; return noReason(); }},
    {"--version", "", "show the version", {},
     [](const std::string&, Range, Options& o) { o.version = true; return noReason(); }},
};
// clang-format on

// What the rows ask of options given together.
Reason contradiction(const Options& o)
{
    const bool span = o.fromMs != 0 || o.toMs != kShowLengthMs;
    if (o.startMs && o.fixedStep())
        return "--start is for the live show; a capture starts with --from";
    if ((!o.frameLog.empty() || o.audioOffsetMs != 0) && o.fixedStep())
        return "--frame-log and --audio-offset are for the live show";
    if (o.bench && !o.captureOut.empty())
        return "--bench and --capture cannot be combined";
    if (o.lossless && !canHoldLossless(o.captureOut))
        return "--lossless needs --capture into a .mkv file";
    if ((o.fps || span) && !o.fixedStep())
        return "--fps, --from and --to need --capture or --bench";
    if (o.fromMs >= o.toMs)
        return "--from must be earlier than --to";
    // Frame k shows floor(k * 1000 / fps) ms, so a span shorter than a frame may hold none.
    if (o.fixedStep() && framesBetween(o.fromMs, o.toMs, o.framesPerSecond()).count() == 0)
        return "--from " + std::to_string(o.fromMs) + " --to " + std::to_string(o.toMs) + " holds no frame at "
            + std::to_string(o.framesPerSecond()) + " fps; widen the span";
    return noReason();
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at = text.find(separator); at != std::string::npos; at = text.find(separator, start)) {
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

// "--vsync, --no-vsync" or "--size WxH": a row's names as the usage shows them.
std::string usageNames(const OptionRow& row)
{
    std::string out;
    for (const std::string& name : split(row.names, ',')) {
        if (!out.empty())
            out += ", ";
        out += name[0] == '!' ? name.substr(1) : name;
        if (*row.value)
            out += std::string(" ") + row.value;
    }
    return out;
}

// "frames per second ... (default 60); N from 1 to 1000": a row's help with its range.
std::string usageHelp(const OptionRow& row)
{
    if (row.range.empty())
        return row.help;
    return row.help + "; " + (row.range.bounds ? row.range.bounds : row.value) + " " + row.range.text();
}

// One usage line: the names, then the help from column 23 (further right
// after long names), wrapped at 80 columns back to column 23.
void appendUsageLine(std::string& out, const std::string& names, const std::string& help)
{
    constexpr size_t kHelpColumn = 23, kWidth = 80;
    out += "  " + names;
    size_t column = 2 + names.size();
    const size_t gap = column + 2 <= kHelpColumn ? kHelpColumn - column : 2;
    out += std::string(gap, ' ');
    column += gap;
    bool lineStart = true;
    for (const std::string& word : split(help, ' ')) {
        if (!lineStart && column + 1 + word.size() > kWidth) {
            out += "\n" + std::string(kHelpColumn, ' ');
            column = kHelpColumn;
            lineStart = true;
        }
        if (!lineStart) {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        lineStart = false;
    }
    out += '\n';
}

}  // namespace

bool parseOptions(int argc, const char* const* argv, Options& options, std::string& error)
{
    options = Options {};
    CLI::App app {"", "brindle"};
    app.set_help_flag();  // --help is a row of the table like any other
    std::map<const CLI::Option*, const OptionRow*> rowOf;
    for (const OptionRow& row : kOptionRows) {
        CLI::Option* option = *row.value ? app.add_option(row.names) : app.add_flag(row.names);
        option->description(row.help);
        if (*row.value) {
            option->type_name(row.value)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
            option->check(CLI::Validator(
                [&row](std::string& text) {
                    Options scratch;
                    return row.read(text, row.range, scratch);
                },
                ""));
        } else {
            option->disable_flag_override();
        }
        rowOf[option] = &row;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        error = e.what();
        return false;
    }
    // Each occurrence in command-line order, so the last of two rows that set
    // one thing (--windowed --fullscreen) wins.
    std::map<const CLI::Option*, size_t> seen;
    for (const CLI::Option* option : app.parse_order())
        rowOf[option]->read(option->results()[seen[option]++], rowOf[option]->range, options);
    error = contradiction(options);
    return error.empty();
}

std::string usageText()
{
    std::string out = "usage: brindle [options]\n";
    for (auto row = std::begin(kOptionRows); row != std::end(kOptionRows);) {
        std::string names = usageNames(*row);
        const std::string help = usageHelp(*row);
        for (++row; row != std::end(kOptionRows) && usageHelp(*row) == help; ++row)
            names += ", " + usageNames(*row);
        appendUsageLine(out, names, help);
    }
    return out
        + "keys in the live show: Space pauses and resumes, Right and Left jump 10 s\n"
          "forward and back, Escape ends the show\n";
}

LaunchSettings resolveLaunchSettings(const Options& options, DisplayMode desktop)
{
    // An unknown aspect would leave the picture without a projection, all black.
    if (desktop.width <= 0 || desktop.height <= 0)
        desktop = {1280, 800};
    LaunchSettings settings;
    settings.desktopAspect
        = detectAspect(static_cast<uint32_t>(desktop.width), static_cast<uint32_t>(desktop.height));
    settings.width = options.width.value_or(desktop.width);
    settings.height = options.height.value_or(desktop.height);
    settings.sizeGiven = options.width.has_value();
    settings.aspect = options.aspect;
    settings.fullscreen = options.fullscreen.value_or(!options.fixedStep());
    settings.vsync = !options.fixedStep() && options.vsync.value_or(true);
    settings.musicEnabled = !options.noMusic;
    settings.needsDisplay = !options.fixedStep();
    return settings;
}
