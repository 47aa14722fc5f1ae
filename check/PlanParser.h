#pragma once

#include "check/Plan.h"

#include <optional>
#include <string>
#include <string_view>

namespace check {

/// Where a plan is wrong and how: the plan's file name, line and column (1-based; 0 when the
/// file could not be read at all), and a message that names the allowed values.
struct PlanError {
    std::string file;
    int line = 0;
    int column = 0;
    std::string message;

    /// "file:line:column: message".
    std::string text() const;
};

/// Reads a plan from TOML text; `file` names it in the errors. Every key, type and range is
/// checked: the first problem found is told in `error`, and nothing is answered.
std::optional<Plan> ParsePlan(std::string_view text, const std::string& file, PlanError& error);
/// The same, for the plan in the file at `path`.
std::optional<Plan> ParsePlanFile(const std::string& path, PlanError& error);

} // namespace check
