// docs/robustness.md promises, fault by fault, an exit status and the stderr
// lines. Its table must name exactly the cases of the fault table, with the
// same promises, so the document stays true as long as the suite passes.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <set>

#include "fault_table.h"

TEST(RobustnessDocument, TableMatchesTheFaultSuite)
{
    using Promise = std::pair<int, std::multiset<std::string>>;
    std::map<std::string, Promise> documented, proved;
    // | fault | what the program does | status | `line`<br>`line` | `case` |
    const std::regex row(R"(\|[^|]*\|[^|]*\| *(\d+) *\|([^|]*)\| *`([a-z-]+)` *\|)"), span("`([^`]*)`");
    std::ifstream in(BRINDLE_ROBUSTNESS_DOC);
    std::smatch cells;
    for (std::string line; std::getline(in, line);) {
        if (!std::regex_match(line, cells, row))
            continue;
        Promise& promise = documented[cells[3]];
        promise.first = std::stoi(cells[1]);
        const std::string lines = cells[2];
        for (std::sregex_iterator it(lines.begin(), lines.end(), span), end; it != end; ++it)
            promise.second.insert((*it)[1]);
    }
    for (const FaultCase& fault : faultTable()) {
        Promise& promise = proved[std::string(fault.id)];
        promise.first = fault.status;
        for (std::string_view line : fault.stderrLines)
            promise.second.emplace(line);
    }
    EXPECT_EQ(documented, proved);
}

TEST(FaultTable, LineTemplatesMatchWhatTheySayAndNothingElse)
{
    EXPECT_EQ(unmatchedLines({"w: {data}/p {any}!", "b"}, {"b", "w: /d (1)/p x; y!"}, "/d (1)"), "");
    EXPECT_NE(unmatchedLines({"w: {data}/p"}, {"w: /e/p"}, "/d (1)"), "");
    EXPECT_NE(unmatchedLines({"a"}, {"a and more"}, ""), "");
    EXPECT_NE(unmatchedLines({"a {any}"}, {"a 1", "a 2"}, ""), "");
    EXPECT_NE(unmatchedLines({"a {any}", "a {any}"}, {"a 1"}, ""), "");
}
