// Start-up: the real program with --virtual-board --trace FILE on the offscreen platform. The
// window sends its start-up report while it is being built, so the trace's first line carries
// the time the window was built (its own UTC time stamp, against the launch time on the same
// clock). The trace's own writer thread puts the line in the file within about 20 ms of its
// being recorded, whether or not the event loop runs yet: the time the line appears on disk is
// the window built plus that delay. (The rows keep their labels, so that runs compare.)
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
#include <vector>

namespace bench {

using namespace std::chrono_literals;

namespace {

void StartUp(ResultTable& table, const QString& program, int runs) {
    QTemporaryDir dir;
    std::vector<double> built;
    std::vector<double> onDisk;
    for (int run = 0; run < runs; ++run) {
        const QString tracePath = dir.filePath(QString("trace-%1.txt").arg(run));
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        const auto launchedUtc = std::chrono::system_clock::now();
        const auto launched = Clock::now();
        process.start(program, {"--virtual-board", "--trace", tracePath});
        QByteArray firstLine;
        QDeadlineTimer deadline(10s);
        while (!deadline.hasExpired()) {
            QFile file(tracePath);
            if (file.open(QIODevice::ReadOnly)) {
                const QByteArray text = file.readAll();
                if (text.contains('\n')) {
                    firstLine = text.left(text.indexOf('\n'));
                    break;
                }
            }
            process.waitForFinished(1); // also a 1 ms pause between looks at the file
            if (process.state() == QProcess::NotRunning) break;
        }
        const auto appeared = Clock::now();
        process.terminate();
        if (!process.waitForFinished(5000)) process.kill(), process.waitForFinished(1000);
        if (firstLine.isEmpty()) {
            std::fprintf(stderr, "zov_scenario: no trace line from %s\n", qPrintable(program));
            continue;
        }
        std::tm utc{};
        long micros = 0;
        if (std::sscanf(firstLine.constData(), "%d-%d-%dT%d:%d:%d.%ldZ", &utc.tm_year, &utc.tm_mon,
                        &utc.tm_mday, &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &micros) != 7)
            continue;
        utc.tm_year -= 1900;
        utc.tm_mon -= 1;
        const auto stamp = std::chrono::system_clock::from_time_t(timegm(&utc)) +
                           std::chrono::microseconds(micros);
        built.push_back(Ms(stamp - launchedUtc));
        onDisk.push_back(Ms(appeared - launched));
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

} // namespace

void StartUpScenario(ScenarioContext& context) {
    StartUp(context.table, context.options.program, 10);
}

} // namespace bench
