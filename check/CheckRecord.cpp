#include "check/CheckRecord.h"

#include <algorithm>

namespace check {

bool CheckRecord::passed() const {
    return !boardLeft && writesInFlight == 0 &&
           std::all_of(steps.begin(), steps.end(), [](const StepResult& s) { return s.passed(); });
}

bool CheckRecord::failed() const {
    return boardLeft || failedSteps() > 0;
}

const char* OutcomeName(int exitCode) {
    return exitCode == AllPassed ? "pass" : exitCode == StepFailed ? "fail" : "error";
}

ExitCode CheckRecord::exitCode() const {
    return failed() ? StepFailed : passed() ? AllPassed : Undecided;
}

std::size_t CheckRecord::failedSteps() const {
    return std::size_t(std::count_if(steps.begin(), steps.end(),
                                     [](const StepResult& step) { return step.failed(); }));
}

} // namespace check
