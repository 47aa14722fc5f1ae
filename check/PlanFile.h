#pragma once

#include "check/PlanError.h"

#include <optional>
#include <string>

namespace check {

/// The text of the plan file at `path`, read whole; or, in `error`, why it cannot be: the
/// system's reason (no such file, permission denied, ...), a directory, or a file larger than
/// a plan may be (read no further than that).
std::optional<std::string> ReadPlanFile(const std::string& path, PlanError& error);

} // namespace check
