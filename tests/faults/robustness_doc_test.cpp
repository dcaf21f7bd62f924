// docs/robustness.md promises, fault by fault, an exit status and the stderr
// lines. Its table must name exactly the cases of the fault table, with the
// same promises, so the document stays true as long as the suite passes.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <string>

#include "fault_table.h"

namespace {

struct DocumentedFault {
    int status = -1;
    std::multiset<std::string> stderrLines;
};

std::vector<std::string> cellsOf(const std::string& row) {
    std::vector<std::string> cells;
    size_t start = 1;
    for (size_t bar = row.find('|', start); bar != std::string::npos; bar = row.find('|', start)) {
        cells.push_back(row.substr(start, bar - start));
        start = bar + 1;
    }
    return cells;
}

std::vector<std::string> codeSpans(const std::string& cell) {
    std::vector<std::string> spans;
    for (size_t open = cell.find('`'); open != std::string::npos;) {
        const size_t close = cell.find('`', open + 1);
        if (close == std::string::npos) break;
        spans.push_back(cell.substr(open + 1, close - open - 1));
        open = cell.find('`', close + 1);
    }
    return spans;
}

// Rows of the table whose last cell is a case name in backticks.
std::map<std::string, DocumentedFault> documentedFaults(const std::string& path) {
    std::map<std::string, DocumentedFault> faults;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("|", 0) != 0) continue;
        const std::vector<std::string> cells = cellsOf(line);
        if (cells.size() != 5) continue;
        const std::vector<std::string> id = codeSpans(cells[4]);
        if (id.size() != 1) continue;
        DocumentedFault fault;
        fault.status = std::atoi(cells[2].c_str());
        for (const std::string& span : codeSpans(cells[3])) fault.stderrLines.insert(span);
        faults[id[0]] = fault;
    }
    return faults;
}

}  // namespace

TEST(RobustnessDocument, TableMatchesTheFaultSuite) {
    const std::map<std::string, DocumentedFault> documented = documentedFaults(BRINDLE_ROBUSTNESS_DOC);
    ASSERT_FALSE(documented.empty()) << "no fault table in " << BRINDLE_ROBUSTNESS_DOC;
    for (const FaultExpectation& expected : faultTable()) {
        const auto row = documented.find(std::string(expected.id));
        ASSERT_NE(row, documented.end()) << "the document has no row for " << expected.id;
        EXPECT_EQ(row->second.status, expected.status) << expected.id;
        const std::multiset<std::string> lines(expected.stderrLines.begin(), expected.stderrLines.end());
        EXPECT_EQ(row->second.stderrLines, lines) << expected.id;
    }
    EXPECT_EQ(documented.size(), faultTable().size()) << "the document lists a case the suite does not run";
}

TEST(FaultTable, LineTemplatesMatchWhatTheySayAndNothingElse) {
    EXPECT_TRUE(lineMatches("brindle: warning: {data}/plus.p x", "brindle: warning: /d (1)/plus.p x", "/d (1)"));
    EXPECT_FALSE(lineMatches("brindle: warning: {data}/plus.p x", "brindle: warning: /e/plus.p x", "/d (1)"));
    EXPECT_TRUE(lineMatches("brindle: no audio output ({any}); silent", "brindle: no audio output (a; b); silent", ""));
    EXPECT_FALSE(lineMatches("brindle: a", "brindle: a and more", ""));
    EXPECT_EQ(unmatchedLines({"a {any}", "b"}, {"b", "a 1"}, ""), "");
    EXPECT_NE(unmatchedLines({"a {any}"}, {"a 1", "a 2"}, ""), "");
    EXPECT_NE(unmatchedLines({"a {any}", "a {any}"}, {"a 1"}, ""), "");
}
