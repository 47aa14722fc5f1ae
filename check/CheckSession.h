#pragma once

#include "check/BoardWatch.h"
#include "check/Plan.h"
#include "check/PlanRunner.h"

#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

namespace check {

/// What a single run is asked for on the command line.
struct SessionOptions {
    std::chrono::milliseconds wait{0}; ///< how long to wait for a board once sources settle
    QString jsonPath;                  ///< empty: no JSON record
    QString junitPath;                 ///< empty: no JUnit record
};

/// Exit codes of `zov-usb-test check`.
enum ExitCode { AllPassed = 0, StepFailed = 1, BadCommand = 2, NoBoard = 3 };

/// One run of a plan: waits for the layer's sources to settle and a board to be there, runs the
/// plan on it printing a line per step, writes the records, prints the summary and sends done
/// with the exit code.
class CheckSession final : public QObject {
    Q_OBJECT

public:
    CheckSession(hid::DeviceManager& layer, Plan plan, std::string planFile,
                 SessionOptions options);
    ~CheckSession() override;

    void start();

signals:
    void done(int exitCode);

private:
    void run(hid::Handle board);
    void finish();

    hid::DeviceManager& layer_;
    const Plan plan_;
    const std::string planFile_;
    const SessionOptions options_;
    BoardWatch watch_;
    std::unique_ptr<PlanRunner> runner_;
};

} // namespace check
