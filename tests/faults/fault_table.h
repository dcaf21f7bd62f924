// fault_table.h: each fault, how the suite provokes it and what the program
// must then do, in one table that both the fault cases and the check of
// docs/robustness.md read, so the document cannot drift from what the suite proves.
#pragma once

#include <vector>

#include "tests/support/fault_harness.h"

const std::vector<FaultCase>& faultTable();
