// The "brindle: " lines on stderr, reports held until a start succeeds, and
// names made safe to print on one line.
#include "desktop/report.h"

#include <algorithm>
#include <cstdio>

void report(const std::string& text)
{
    size_t start = 0;
    do {
        const size_t end = std::min(text.find('\n', start), text.size());
        std::fprintf(stderr, "brindle: %.*s\n", static_cast<int>(end - start), text.data() + start);
        start = end + 1;
    } while (start < text.size());
}

void HeldReports::operator()(const std::string& text)
{
    if (released_)
        report(text);
    else
        held_.push_back(text);
}

void HeldReports::release()
{
    released_ = true;
    for (const std::string& text : held_)
        report(text);
    held_.clear();
}

std::string oneLine(const std::string& text)
{
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7f) {
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            out += escape;
        }
    }
    return out;
}

std::string quotedName(const std::string& name) { return "'" + oneLine(name) + "'"; }
