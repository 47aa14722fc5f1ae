// The run records' database: runs written per second (a plan of 10 steps) into SQLite, and into
// PostgreSQL when ZOV_BENCH_POSTGRESQL names a server's database; then the yield and failures
// queries over 1,000,000 step results in SQLite. Figures only, never checked.
#include "check/CheckRecord.h"
#include "records/Connection.h"
#include "records/Queries.h"
#include "records/RunWriter.h"
#include "records/Schema.h"
#include "records/StoredRun.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

constexpr int PlanSteps = 10;

/// A run of a 10-step plan on board `board`; step 7 fails on every 20th board.
records::StoredRun PlanRun(int board, int minute) {
    check::CheckRecord record;
    record.provenance = {"zov-usb-test", "1.0.0", "host",
                         "plan.toml",    "ab12",  "bay " + std::to_string(board % 4),
                         "Ingrid"};
    record.board = {0x1234, 0x0001, "ZOV", "ZOV-USB", "ZB-" + std::to_string(board), {}, {}};
    record.started = QDateTime(QDate(2026, 3, 1), QTime(0, 0), Qt::UTC).addSecs(60LL * minute);
    record.ended = record.started.addSecs(5);
    for (int i = 1; i <= PlanSteps; ++i) {
        check::StepResult step;
        step.number = std::size_t(i);
        step.name = "read_ad";
        check::Measurement figure;
        figure.quantity = "A/D value";
        figure.number = i == 7 && board % 20 == 0 ? 90 : 100 + (board * 7 + i) % 100;
        figure.value = std::to_string(*figure.number);
        figure.limits.min = 100;
        figure.limits.max = 200;
        figure.limit = "100..200";
        figure.passed = *figure.number >= 100;
        if (!figure.passed) step.failure = figure.failure();
        step.measurements.push_back(figure);
        record.steps.push_back(step);
    }
    return records::StoredRunOf(record, records::NewRunId());
}

std::unique_ptr<records::Connection> Migrated(const QString& url, benchmark::State& state) {
    QString error;
    const auto parsed = records::ParseDatabaseUrl(url, error);
    auto connection = parsed ? records::Connection::open(*parsed, error) : nullptr;
    if (!connection || !records::Migrate(*connection, error)) {
        state.SkipWithError(("cannot open " + url + ": " + error).toStdString().c_str());
        return nullptr;
    }
    return connection;
}

void WriteRuns(benchmark::State& state, const QString& url) {
    auto connection = Migrated(url, state);
    if (!connection) return;
    int board = 0;
    for (auto _ : state) {
        QString error;
        if (records::WriteRun(*connection, PlanRun(board, board), error) !=
            records::Written::Stored)
            return state.SkipWithError(error.toStdString().c_str());
        ++board;
    }
    state.counters["runs/s"] = benchmark::Counter(double(board), benchmark::Counter::kIsRate);
}

void BM_WriteRunSqlite(benchmark::State& state) {
    QTemporaryDir dir;
    WriteRuns(state, "sqlite:" + dir.filePath("records.db"));
}

void BM_WriteRunPostgresql(benchmark::State& state) {
    const QString url = qEnvironmentVariable("ZOV_BENCH_POSTGRESQL");
    if (url.isEmpty()) return state.SkipWithError("set ZOV_BENCH_POSTGRESQL to a server's URL");
    WriteRuns(state, url);
}

/// A database of 100,000 runs of 10 steps, made once and kept in the temporary folder (the
/// first run of the benchmark takes a minute or so to make it).
QString MillionStepDatabase(benchmark::State& state) {
    const QString path = QDir::temp().filePath("zov-bench-records-1m.db");
    constexpr int Runs = 100000;
    auto connection = Migrated("sqlite:" + path, state);
    if (!connection) return {};
    QSqlQuery count(connection->database());
    if (count.exec("SELECT COUNT(*) FROM runs") && count.next() && count.value(0).toInt() == Runs)
        return "sqlite:" + path;
    count.finish();
    QString error;
    connection->run("DELETE FROM step_results", error);
    connection->run("DELETE FROM runs", error);
    connection->run("PRAGMA synchronous=OFF", error); // a test database: speed over safety
    // One board in ten is checked again the next day.
    for (int run = 0; run < Runs; ++run) {
        const int board = run < 90000 ? run : (run - 90000) * 9;
        if (records::WriteRun(*connection, PlanRun(board, run), error) ==
            records::Written::Failed) {
            state.SkipWithError(error.toStdString().c_str());
            return {};
        }
    }
    return "sqlite:" + path;
}

void Query(benchmark::State& state,
           std::optional<records::Table> (*query)(records::Connection&, QString&)) {
    const QString url = MillionStepDatabase(state);
    if (url.isEmpty()) return;
    auto connection = Migrated(url, state);
    if (!connection) return;
    for (auto _ : state) {
        QString error;
        const auto table = query(*connection, error);
        if (!table) return state.SkipWithError(error.toStdString().c_str());
        benchmark::DoNotOptimize(table->rows.size());
    }
}

void BM_YieldOverMillionSteps(benchmark::State& state) {
    Query(state, records::YieldTable);
}
void BM_FailuresOverMillionSteps(benchmark::State& state) {
    Query(state, records::FailureTable);
}

BENCHMARK(BM_WriteRunSqlite)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();
BENCHMARK(BM_WriteRunPostgresql)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();
BENCHMARK(BM_YieldOverMillionSteps)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FailuresOverMillionSteps)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv); // Qt's SQL drivers are plugins, loaded through it
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
