// Start-up: the real program with --virtual-board --trace FILE on the offscreen platform. The
// window sends its start-up report while it is being built, so the trace's first line carries
// the time the window was built (its own UTC time stamp, against the launch time on the same
// clock). The trace's own writer thread puts the line in the file within about 20 ms of its
// being recorded, whether or not the event loop runs yet: the time the line appears on disk is
// the window built plus that delay. (The rows keep their labels, so that runs compare.) The
// board checks (`check PLAN`) are timed the same way, to their first request.
#include "bench/scenario/Measuring.h"
#include "bench/scenario/Scenarios.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <optional>
#include <vector>

namespace bench {

using namespace std::chrono_literals;

namespace {

/// How long after its launch the program's first report was recorded (the trace's own time
/// stamp) and when its line was on disk.
struct Launch {
    double firstReportMs;
    double onDiskMs;
};

/// `program arguments --trace tracePath`, on the offscreen platform, until its first trace line.
std::optional<Launch> LaunchToFirstReport(const QString& program, QStringList arguments,
                                          const QString& tracePath) {
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    const auto launchedUtc = std::chrono::system_clock::now();
    const auto launched = Clock::now();
    process.start(program, arguments << "--trace" << tracePath);
    QByteArray firstLine;
    QDeadlineTimer deadline(10s);
    while (!deadline.hasExpired()) {
        const bool ended = process.state() == QProcess::NotRunning;
        QFile file(tracePath);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray text = file.readAll();
            if (text.contains('\n')) {
                firstLine = text.left(text.indexOf('\n'));
                break;
            }
        }
        if (ended) break;
        process.waitForFinished(1); // also a 1 ms pause between looks at the file
    }
    const auto appeared = Clock::now();
    process.terminate();
    if (!process.waitForFinished(5000)) process.kill(), process.waitForFinished(1000);
    if (firstLine.isEmpty()) {
        std::fprintf(stderr, "zov_scenario: no trace line from %s\n", qPrintable(program));
        return std::nullopt;
    }
    std::tm utc{};
    long micros = 0;
    if (std::sscanf(firstLine.constData(), "%d-%d-%dT%d:%d:%d.%ldZ", &utc.tm_year, &utc.tm_mon,
                    &utc.tm_mday, &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &micros) != 7)
        return std::nullopt;
    utc.tm_year -= 1900;
    utc.tm_mon -= 1;
    const auto stamp =
        std::chrono::system_clock::from_time_t(timegm(&utc)) + std::chrono::microseconds(micros);
    return Launch{Ms(stamp - launchedUtc), Ms(appeared - launched)};
}

void StartUp(ResultTable& table, const QString& program, int runs) {
    QTemporaryDir dir;
    std::vector<double> built;
    std::vector<double> onDisk;
    for (int run = 0; run < runs; ++run) {
        const auto launch = LaunchToFirstReport(program, {"--virtual-board"},
                                                dir.filePath(QString("trace-%1.txt").arg(run)));
        if (!launch) continue;
        built.push_back(launch->firstReportMs);
        onDisk.push_back(launch->onDiskMs);
    }
    table.add(Format("Start-up to window built (start-up report sent), %zu runs", built.size()),
              Format("median %.0f ms, max %.0f ms", Percentile(built, 0.5),
                     built.empty() ? NAN : *std::max_element(built.begin(), built.end())),
              "-", "-");
    table.add(Format("Start-up to window up and event loop running (trace on disk), %zu runs",
                     onDisk.size()),
              Format("median %.0f ms, max %.0f ms (includes the trace writer's hand-over)",
                     Percentile(onDisk, 0.5),
                     onDisk.empty() ? NAN : *std::max_element(onDisk.begin(), onDisk.end())),
              "-", "-");
}

/// `check` with no display: from the launch to its first report to the board.
void CheckStartUp(ResultTable& table, const QString& program, int runs) {
    QTemporaryDir dir;
    const QString plan = dir.filePath("plan.toml");
    QFile file(plan);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write("name = 'start-up'\n[[step]]\ntype = 'read_ad'\n");
    file.close();
    std::vector<double> firstReport;
    for (int run = 0; run < runs; ++run)
        if (const auto launch = LaunchToFirstReport(program, {"check", plan, "--virtual-board"},
                                                    dir.filePath(QString("trace-%1.txt").arg(run))))
            firstReport.push_back(launch->firstReportMs);
    table.add(Format("check: start-up to first report sent, %zu runs", firstReport.size()),
              Format("median %.1f ms, max %.1f ms", Percentile(firstReport, 0.5),
                     firstReport.empty()
                         ? NAN
                         : *std::max_element(firstReport.begin(), firstReport.end())),
              "< 100 ms", Percentile(firstReport, 0.5) < 100 ? "yes" : "no");
}

} // namespace

void StartUpScenario(ScenarioContext& context) {
    StartUp(context.table, context.options.program, 10);
    CheckStartUp(context.table, context.options.program, 10);
}

} // namespace bench
