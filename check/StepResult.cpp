#include "check/StepResult.h"

namespace check {

std::string Measurement::failure() const {
    return quantity + " " + value + (unit.empty() ? "" : " " + unit) + " breaks its limit " + limit;
}

std::string StepResult::title() const {
    std::string text = std::to_string(number) + " " + name;
    if (repeat > 1) text += " (" + std::to_string(repetition) + "/" + std::to_string(repeat) + ")";
    return text;
}

} // namespace check
