#pragma once

#include "check/BoardWatch.h"
#include "check/Plan.h"
#include "check/PlanRunner.h"
#include "check/RecordTarget.h"

#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

namespace check {

/// What a single run is asked for on the command line.
struct SessionOptions {
    /// How long to wait for a board; 0: until the sources settle.
    std::chrono::milliseconds wait{0};
    std::shared_ptr<RecordTarget> json;  ///< null: no JSON record
    std::shared_ptr<RecordTarget> junit; ///< null: no JUnit record
};

/// One run of a plan: waits for the layer's sources to settle and a board to be there, runs the
/// plan on it printing a line per step, writes the records, prints the summary and sends done
/// with the exit code.
class CheckSession final : public QObject {
    Q_OBJECT

public:
    CheckSession(hid::DeviceManager& layer, Plan plan, Provenance provenance,
                 SessionOptions options);
    ~CheckSession() override;

    void start();

signals:
    void done(int exitCode);

private:
    /// How long a check with no --wait waits for the sources to settle.
    static constexpr std::chrono::seconds SettleLimit{2};

    void run(hid::Handle board);
    void finish();

    hid::DeviceManager& layer_;
    const Plan plan_;
    const Provenance provenance_;
    const SessionOptions options_;
    BoardWatch watch_;
    std::unique_ptr<PlanRunner> runner_;
    bool settled_ = false;
};

} // namespace check
