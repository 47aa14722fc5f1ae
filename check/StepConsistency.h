#pragma once

#include "check/Plan.h"

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
    std::optional<char32_t> character = std::nullopt; ///< the character at fault in that key's text
};

std::optional<StepProblem> FindStepProblem(const Step& step);

} // namespace check
