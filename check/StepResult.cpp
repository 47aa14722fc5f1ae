#include "check/StepResult.h"

namespace check {

std::string Measurement::shown() const {
    return value + (unit.empty() || !number ? "" : " " + unit);
}

std::string Measurement::failure() const {
    return quantity + " " + shown() + " breaks its limit " + limit;
}

std::string StepResult::title() const {
    std::string text = std::to_string(number) + " " + name;
    if (repeat > 1) text += " (" + std::to_string(repetition) + "/" + std::to_string(repeat) + ")";
    return text;
}

} // namespace check
