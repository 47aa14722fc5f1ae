#pragma once

#include "check/PlanError.h"

#include <cstddef>
#include <string_view>

/// What a plan's text must keep before it is handed to the TOML library: a size, UTF-8, and a
/// nesting depth. toml++ follows nested tables by recursion, so a key of a few thousand dotted
/// parts ends the program on a full stack; a plan needs three levels at most.
namespace check {

inline constexpr std::size_t MostPlanBytes = 1 << 20; // 1 MiB
inline constexpr int MostNesting = 8;

/// True when `text` keeps the bounds; otherwise tells the first breach in `error`.
bool WithinPlanTextBounds(std::string_view text, const std::string& file, PlanError& error);

} // namespace check
