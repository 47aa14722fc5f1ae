#include "check/PlanError.h"

namespace check {

std::string PlanError::text() const {
    if (line == 0) return file + ": " + message;
    return file + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + message;
}

} // namespace check
