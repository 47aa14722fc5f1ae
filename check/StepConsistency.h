#pragma once

#include "check/Plan.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

/// What in a step can never give an honest verdict, found before anything is sent: a text the
/// board's code page cannot carry, and limits that no answer can meet together.
namespace check {

struct StepProblem {
    std::vector<std::string_view> keys; ///< the keys at fault; told at the last in the plan
    std::string message;
    /// Which character of that key's text is at fault (counted in characters), if one is.
    std::optional<std::size_t> character = std::nullopt;
};

std::optional<StepProblem> FindStepProblem(const Step& step);

} // namespace check
