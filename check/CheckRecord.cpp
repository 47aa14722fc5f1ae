#include "check/CheckRecord.h"

#include <algorithm>

namespace check {

bool CheckRecord::passed() const {
    return !boardLeft && failedSteps() == 0;
}

std::size_t CheckRecord::failedSteps() const {
    return std::size_t(std::count_if(steps.begin(), steps.end(),
                                     [](const StepResult& step) { return !step.passed(); }));
}

} // namespace check
