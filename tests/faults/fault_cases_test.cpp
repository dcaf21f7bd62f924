// The program run against broken machines and broken files: each case of the
// fault table, run by the fault harness and held to its row.
#include <gtest/gtest.h>

#include <algorithm>

#include "fault_table.h"

namespace {

class FaultSuite : public ::testing::TestWithParam<FaultCase> { };

}  // namespace

TEST_P(FaultSuite, HoldsToItsRow) { runFaultCase(GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Robustness, FaultSuite, ::testing::ValuesIn(faultTable()), [](const ::testing::TestParamInfo<FaultCase>& info) {
        std::string name(info.param.id);
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });
