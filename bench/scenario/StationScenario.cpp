// The board checks' station mode over a thousand plug cycles of the virtual board: what the
// process holds (memory, descriptors, threads) after the first hundred boards and at the end.
#include "bench/QuietStandardOutput.h"
#include "bench/scenario/Measuring.h"
#include "bench/scenario/Scenarios.h"
#include "board/VirtualBoard.h"
#include "check/PlanParser.h"
#include "check/StationSession.h"
#include "hid/DeviceManager.h"

#include <QDir>
#include <QTemporaryDir>
#include <csignal>

namespace bench {

namespace {

constexpr int Cycles = 1000;
constexpr int Settled = 100; // boards before the first reading: caches and pools are warm

constexpr const char* StationPlan = "name = 'station'\n"
                                    "[[step]]\ntype = 'read_ad'\nmin = 0\nmax = 255\n"
                                    "[[step]]\ntype = 'write_port'\nvalue = 85\n";

std::size_t EntriesOf(const char* folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size();
}

struct Held {
    long residentKiB;
    std::size_t descriptors;
    std::size_t threads;
};

Held HeldNow() {
    return {ResidentKiB(), EntriesOf("/proc/self/fd"), EntriesOf("/proc/self/task")};
}

} // namespace

void StationScenario(ScenarioContext& context) {
    check::PlanError error;
    std::optional<check::Plan> plan = check::ParsePlan(StationPlan, "station.toml", error);
    QTemporaryDir records;
    if (!plan || !records.isValid()) return;
    Held settled{};
    Held end{};
    int checked = 0;
    {
        const QuietStandardOutput quiet;
        hid::DeviceManager layer;
        board::VirtualBoard& board = board::VirtualBoard::attachTo(layer);
        check::StationSession station(layer, std::move(*plan),
                                      check::RunProvenance("station.toml", StationPlan, {}, {}),
                                      QDir(records.path()));
        station.start();
        const auto boardsChecked = [&] { return station.tally().passed + station.tally().failed; };
        for (; checked < Cycles; ++checked) {
            if (!WaitUntil([&] { return boardsChecked() == std::size_t(checked) + 1; },
                           std::chrono::seconds(10)))
                break;
            board.unplug();
            board.plug();
            if (checked + 1 == Settled) settled = HeldNow();
        }
        Drain();
        end = HeldNow();
        station.stop(SIGTERM);
    }
    context.table.add(Format("station: %d virtual boards checked, memory after %d and at the end",
                             checked, Settled),
                      Format("%ld KiB, %ld KiB (%+ld KiB)", settled.residentKiB, end.residentKiB,
                             end.residentKiB - settled.residentKiB),
                      "within 1 MiB",
                      checked == Cycles && end.residentKiB - settled.residentKiB <= 1024 ? "yes"
                                                                                         : "no");
    context.table.add(
        "station: descriptors and threads after 100 boards and at the end",
        Format("%zu and %zu descriptors, %zu and %zu threads", settled.descriptors, end.descriptors,
               settled.threads, end.threads),
        "none left over",
        end.descriptors <= settled.descriptors && end.threads <= settled.threads ? "yes" : "no");
}

} // namespace bench
