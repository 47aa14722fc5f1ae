// Memory: VmRSS with the window idle, then after each 100,000 reports absorbed (sent unpaced
// in batches of 64 per event-loop pass, so nothing is dropped).
#include "bench/scenario/AnswerRotation.h"
#include "bench/scenario/ConsoleRig.h"
#include "bench/scenario/Measuring.h"
#include "bench/scenario/Scenarios.h"

#include <QCoreApplication>
#include <QListWidget>
#include <cstdlib>
#include <string>

namespace bench {

using namespace std::chrono_literals;

namespace {

void SendAndAbsorb(ConsoleRig& rig, AnswerRotation& answers, int count) {
    int sent = 0;
    while (sent < count) {
        for (int i = 0; i < 64 && sent < count; ++i, ++sent)
            rig.board->sendReport(answers.next());
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    WaitUntil([&] { return rig.layer.queuedReports(rig.handle) == 0; });
    Drain();
}

} // namespace

void MemoryScenario(ScenarioContext& context) {
    ResultTable& table = context.table;
    {
        ConsoleRig rig;
        AnswerRotation answers(false);
        RunFor(1s);
        const long idle = ResidentKiB();
        SendAndAbsorb(rig, answers, 100'000);
        RunFor(200ms);
        const long first = ResidentKiB();
        SendAndAbsorb(rig, answers, 100'000);
        RunFor(200ms);
        const long second = ResidentKiB();
        // Noise: a few hundred KiB of allocator and cache slack either way.
        const bool flat = std::abs(second - first) <= 1024 && first - idle <= 1024;
        table.add(
            "Memory (A/D and input-bit answers): VmRSS idle → after 100k → after 200k reports",
            Format("%.1f → %.1f → %.1f MiB (%+ld KiB, then %+ld KiB)", idle / 1024.0,
                   first / 1024.0, second / 1024.0, first - idle, second - first),
            "no growth beyond noise (≤ 1 MiB)", YesNo(flat));
    }
    {
        // Every answer text stays in ListBox2 as a line of its own, so text answers grow the
        // window by design; measured in steps of 2,000 with the time each step takes.
        ConsoleRig rig;
        AnswerRotation answers(true);
        RunFor(1s);
        const long idle = ResidentKiB();
        std::string steps;
        long last = idle;
        for (int step = 0; step < 3; ++step) {
            const auto t0 = Clock::now();
            SendAndAbsorb(rig, answers, 6'000); // 2,000 of each answer
            const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
            RunFor(200ms);
            const long now = ResidentKiB();
            steps += Format("%s%d lines: %+ld KiB in %.2f s", step ? "; " : "",
                            rig.ui().ListBox2->count(), now - last, seconds);
            last = now;
        }
        table.add("Memory and time, answer texts kept in ListBox2 (steps of 6,000 reports, 2,000 "
                  "texts)",
                  Format("idle %.1f MiB; ", idle / 1024.0) + steps, "-", "-");
    }
}

} // namespace bench
