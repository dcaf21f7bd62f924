// fault_table.h: what the program must do for each fault, in one table that
// both the fault cases and the check of docs/robustness.md read, so the
// document cannot drift from what the suite proves.
//
// A stderr line is given as a template: "{data}" stands for the data folder
// of the run, "{any}" for any text (a driver's or library's own words).
// Every expected line must appear exactly once and nothing else may appear.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct FaultExpectation {
    std::string_view id;                       // the case's name in the suite and the document
    int status;                                // exit status
    std::vector<std::string_view> stderrLines; // templates, in any order
};

const std::vector<FaultExpectation>& faultTable();
// The row named `id`; aborts the test program when there is none.
const FaultExpectation& expectationFor(std::string_view id);

// True when `line` is what `lineTemplate` describes for the folder `dataDir`.
bool lineMatches(std::string_view lineTemplate, const std::string& line, const std::string& dataDir);

// Pairs every template with one line of `lines`; empty when they match,
// otherwise a description of the first line or template left over.
std::string unmatchedLines(const std::vector<std::string_view>& templates, const std::vector<std::string>& lines,
                           const std::string& dataDir);
