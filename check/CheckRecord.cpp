#include "check/CheckRecord.h"

#include <algorithm>

namespace check {

std::string Measurement::shown() const {
    return value + (unit.empty() || !number ? "" : " " + unit);
}

std::string Measurement::failure() const {
    return quantity + " " + shown() + " breaks its limit " + limit;
}

std::string StepResult::title() const {
    std::string text = (teardown ? "teardown " : "") + std::to_string(number) + " " + name;
    if (repeat > 1) text += " (" + std::to_string(repetition) + "/" + std::to_string(repeat) + ")";
    if (attempt > 1 || retried) text += " (try " + std::to_string(attempt) + ")";
    return text;
}

bool CheckRecord::passed() const {
    return !boardLeft && writesInFlight == 0 && interruptedBy.empty() && noBoard.empty() &&
           std::all_of(steps.begin(), steps.end(),
                       [](const StepResult& s) { return s.passed() || !s.decides(); });
}

bool CheckRecord::failed() const {
    return boardLeft || failedSteps() > 0;
}

const char* OutcomeName(int exitCode) {
    return exitCode == AllPassed ? "pass" : exitCode == StepFailed ? "fail" : "error";
}

ExitCode CheckRecord::exitCode() const {
    if (!noBoard.empty()) return NoBoard;
    return failed() ? StepFailed : passed() ? AllPassed : Undecided;
}

const char* CheckRecord::outcome() const {
    return !noBoard.empty()         ? NoBoardOutcome
           : !interruptedBy.empty() ? AbortedOutcome
                                    : OutcomeName(exitCode());
}

std::string CheckRecord::reason() const {
    return !noBoard.empty()         ? noBoard
           : !interruptedBy.empty() ? "interrupted by " + interruptedBy
                                    : "";
}

CheckRecord PlanRecord(const Plan& plan, Provenance provenance) {
    CheckRecord record;
    record.planName = plan.name;
    record.provenance = std::move(provenance);
    record.planSteps = plan.steps.size() + plan.teardown.size();
    return record;
}

std::size_t CheckRecord::failedSteps() const {
    return std::size_t(std::count_if(steps.begin(), steps.end(), [](const StepResult& step) {
        return step.failed() && step.decides();
    }));
}

} // namespace check
