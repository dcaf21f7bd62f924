#include "fault_table.h"

#include <cstdio>
#include <cstdlib>
#include <regex>

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
        {"fullscreen-escape", 0, {}},
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

std::string escapeForRegex(std::string_view text) {
    static const std::string special = R"(\^$.|?*+()[]{})";
    std::string out;
    for (char c : text) {
        if (special.find(c) != std::string::npos) out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

bool lineMatches(std::string_view lineTemplate, const std::string& line, const std::string& dataDir) {
    std::string pattern;
    size_t at = 0;
    while (at < lineTemplate.size()) {
        const size_t data = lineTemplate.find("{data}", at);
        const size_t any = lineTemplate.find("{any}", at);
        const size_t next = std::min(data, any);
        pattern += escapeForRegex(lineTemplate.substr(at, next - at));
        if (next == std::string_view::npos) break;
        pattern += next == data ? escapeForRegex(dataDir) : std::string(".*");
        at = next + (next == data ? 6 : 5);
    }
    return std::regex_match(line, std::regex(pattern));
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
