#include "app/report.h"

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
