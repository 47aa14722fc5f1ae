#pragma once

#include "check/Plan.h"

#include <string>

/// Writes plans back as TOML: the plan tests' round trip, and the plan fuzzer's way from a
/// parsed plan to a text that must parse to the same plan.
namespace testsupport {

/// The plan written back as TOML, in the form ParsePlan reads: parsing the text gives an equal
/// plan. Limits the plan leaves out are left out; `bytes` is written as a table.
std::string PlanToToml(const check::Plan& plan);

} // namespace testsupport
