#include "fault_table.h"

#include <cstdio>
#include <cstdlib>

const std::vector<FaultExpectation>& faultTable() {
    static const std::vector<FaultExpectation> table = {
        {"no-data-folder", 1, {"brindle: music file '{data}/music.mp3' not found; {any}"}},
        {"missing-image", 0, {"brindle: warning: {data}/plus.p is missing or unreadable; PLUS stays blank"}},
        {"broken-images", 0,
         {"brindle: warning: {data}/qn.p has a non-zero reserved header byte; QN stays blank",
          "brindle: warning: {data}/dot.p ends before its last row; DOT stays blank",
          "brindle: warning: {data}/square.p {any}; SQUARE stays blank"}},
        {"missing-music", 1, {"brindle: music file '{data}/music.mp3' not found; {any}"}},
        {"corrupt-music", 1, {"brindle: cannot decode music file '{data}/music.mp3' as MP3 ({any})"}},
        {"no-audio-device", 0, {"brindle: no audio output ({any}); the show runs silently"}},
        {"old-gl", 1, {"brindle: the GL driver is older than OpenGL 2.0; update the graphics driver"}},
        {"hidden-framebuffer-extension", 1,
         {"brindle: the GL driver {any}; update the graphics driver"}},
        {"no-display", 1, {"brindle: cannot open a display {any}"}},
        {"escape", 0, {}},
        {"window-close", 0, {}},
        {"sigint", 0, {}},
        {"fullscreen-end", 0, {}},
        {"fullscreen-escape", 0, {}},
        {"fullscreen-window-close", 0, {}},
        {"fullscreen-sigint", 0, {}},
        {"fullscreen-sigterm", 0, {}},
        {"fullscreen-sigkill", 128 + 9, {}},
        {"fullscreen-sigsegv", 128 + 11, {}},
        {"fullscreen-sigabrt", 128 + 6, {}},
        {"stopped-and-continued", 0, {}},
    };
    return table;
}

const FaultExpectation& expectationFor(std::string_view id) {
    for (const FaultExpectation& row : faultTable()) {
        if (row.id == id) return row;
    }
    std::fprintf(stderr, "no fault named %.*s\n", static_cast<int>(id.size()), id.data());
    std::abort();
}

namespace {

// Matches `line` against template pieces: literal text, with "{any}" as a gap
// of any length between them. Backtracks over the gaps' lengths.
bool matchFrom(std::string_view pattern, std::string_view line) {
    const size_t any = pattern.find("{any}");
    if (any == std::string_view::npos) return pattern == line;
    if (line.substr(0, any) != pattern.substr(0, any)) return false;
    const std::string_view rest = pattern.substr(any + 5);
    for (size_t skip = any; skip <= line.size(); ++skip) {
        if (matchFrom(rest, line.substr(skip))) return true;
    }
    return false;
}

}  // namespace

bool lineMatches(std::string_view lineTemplate, const std::string& line, const std::string& dataDir) {
    std::string pattern(lineTemplate);
    for (size_t at = pattern.find("{data}"); at != std::string::npos; at = pattern.find("{data}", at + dataDir.size())) {
        pattern.replace(at, 6, dataDir);
    }
    return matchFrom(pattern, line);
}

std::string unmatchedLines(const std::vector<std::string_view>& templates, const std::vector<std::string>& lines,
                           const std::string& dataDir) {
    std::vector<bool> used(lines.size(), false);
    for (std::string_view lineTemplate : templates) {
        bool found = false;
        for (size_t i = 0; i < lines.size() && !found; ++i) {
            if (!used[i] && lineMatches(lineTemplate, lines[i], dataDir)) used[i] = found = true;
        }
        if (!found) return "no line matches \"" + std::string(lineTemplate) + "\"";
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!used[i]) return "unexpected line \"" + lines[i] + "\"";
    }
    return {};
}
