#pragma once

#include "board/TomlFile.h"
#include "check/Plan.h"

#include <optional>
#include <string>
#include <string_view>

namespace check {

/// Where a plan is wrong and how: the plan's file name, line and column (1-based; 0 when the
/// file could not be read at all), and a message that names the allowed values.
using PlanError = hid::TomlError;

/// Reads a plan from TOML text; `file` names it in the errors. Every key, type and range is
/// checked: the first problem found is told in `error`, and nothing is answered.
std::optional<Plan> ParsePlan(std::string_view text, const std::string& file, PlanError& error);
/// The same, for the plan in the file at `path` (at most 1 MiB).
std::optional<Plan> ParsePlanFile(const std::string& path, PlanError& error);

} // namespace check
