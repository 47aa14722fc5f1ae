#pragma once

#include "check/Plan.h"
#include "tomlfile/TomlError.h"

#include <optional>
#include <string>
#include <string_view>

namespace check {

/// Where a plan is wrong and how.
using PlanError = tomlfile::TomlError;

/// Reads a plan from TOML text; `file` names it in the errors. Every key, type and range is
/// checked: the first problem found is told in `error`, and nothing is answered.
std::optional<Plan> ParsePlan(std::string_view text, const std::string& file, PlanError& error);
/// The same, for the plan in the file at `path`; `bytes`, when given, gets the file's bytes as
/// they were read and parsed.
std::optional<Plan> ParsePlanFile(const std::string& path, PlanError& error,
                                  std::string* bytes = nullptr);

} // namespace check
