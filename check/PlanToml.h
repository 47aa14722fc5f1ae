#pragma once

#include "check/Plan.h"

#include <string>

namespace check {

/// The plan written back as TOML, in the form ParsePlan reads: parsing the text gives an equal
/// plan. Limits the plan leaves out are left out; `bytes` is written as a table.
std::string PlanToToml(const Plan& plan);

} // namespace check
