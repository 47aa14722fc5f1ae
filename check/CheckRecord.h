#pragma once

#include "check/StepResult.h"
#include "hid/DeviceSource.h"
#include "hid/ReportDirection.h"

#include <QDateTime>
#include <string>
#include <vector>

namespace check {

/// Everything one run of a plan on one board found: what the --json and --junit records hold.
struct CheckRecord {
    std::string planName;
    std::string planFile;
    hid::DeviceInfo board;
    QDateTime started; ///< UTC
    QDateTime ended;   ///< UTC
    std::vector<StepResult> steps;
    hid::DirectionCounts counts{}; ///< the run's reports, by what became of them
    bool boardLeft = false;        ///< the board left during the run, which ended it

    bool passed() const;
    std::size_t failedSteps() const;
};

} // namespace check
