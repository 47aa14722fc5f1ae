// The run records' database: runs written per second (a plan of 10 steps), then the yield and
// failures queries over 1,000,000 step results, into and over SQLite and, when
// ZOV_BENCH_POSTGRESQL names a server's database, PostgreSQL. Figures only, never checked.
#include "bench/RunBenchmarks.h"
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
/// The plan of the runs the write benchmarks make, told from the queries' runs.
constexpr const char* WrittenPlan = "write.toml";

/// A run of a 10-step plan on board `board`; step 7 fails on every 20th board.
records::StoredRun PlanRun(int board, int minute, const std::string& plan = "plan.toml") {
    check::CheckRecord record;
    record.provenance = {"zov-usb-test", "1.0.0", "host",
                         plan,           "ab12",  "bay " + std::to_string(board % 4),
                         "Ingrid"};
    record.board = {0x1234, 0x0001, "ZOV", "ZOV-USB", "ZB-" + std::to_string(board), {}, {}, {}};
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
        if (records::WriteRun(*connection, PlanRun(board, board, WrittenPlan), error) !=
            records::Written::Stored)
            return state.SkipWithError(error.toStdString().c_str());
        ++board;
    }
    state.counters["runs/s"] = benchmark::Counter(double(board), benchmark::Counter::kIsRate);
    // A server's database also holds the queries' million step results: the runs written
    // here go again.
    QString error;
    connection->run(QString("DELETE FROM step_results WHERE run_id IN (SELECT id FROM runs WHERE "
                            "plan_path = '%1')")
                        .arg(WrittenPlan),
                    error);
    connection->run(QString("DELETE FROM runs WHERE plan_path = '%1'").arg(WrittenPlan), error);
}

/// The PostgreSQL database to measure; the benchmark is skipped without one.
QString PostgresqlServer(benchmark::State& state) {
    const QString url = qEnvironmentVariable("ZOV_BENCH_POSTGRESQL");
    if (url.isEmpty()) state.SkipWithError("set ZOV_BENCH_POSTGRESQL to a server's URL");
    return url;
}

void BM_WriteRunSqlite(benchmark::State& state) {
    QTemporaryDir dir;
    WriteRuns(state, "sqlite:" + dir.filePath("records.db"));
}

void BM_WriteRunPostgresql(benchmark::State& state) {
    if (const QString server = PostgresqlServer(state); !server.isEmpty()) WriteRuns(state, server);
}

/// The database `url` (or, for an empty one, an SQLite file kept in the temporary folder)
/// holding 100,000 runs of 10 steps; made the first time, which takes minutes. Empty, with the
/// benchmark skipped, when it cannot be had.
QString MillionStepDatabase(benchmark::State& state, QString url) {
    if (url.isEmpty()) url = "sqlite:" + QDir::temp().filePath("zov-bench-records-1m.db");
    constexpr int Runs = 100000;
    auto connection = Migrated(url, state);
    if (!connection) return {};
    QSqlQuery count(connection->database());
    if (count.exec("SELECT COUNT(*) FROM runs WHERE plan_path = 'plan.toml'") && count.next() &&
        count.value(0).toInt() == Runs)
        return url;
    count.finish();
    QString error;
    connection->run("DELETE FROM step_results", error);
    connection->run("DELETE FROM runs", error);
    // A benchmark's database: speed over safety while it is made.
    connection->run(connection->postgresql() ? "SET synchronous_commit = off"
                                             : "PRAGMA synchronous=OFF",
                    error);
    // One board in ten is checked again the next day.
    for (int run = 0; run < Runs; ++run) {
        const int board = run < 90000 ? run : (run - 90000) * 9;
        if (records::WriteRun(*connection, PlanRun(board, run), error) ==
            records::Written::Failed) {
            state.SkipWithError(error.toStdString().c_str());
            return {};
        }
    }
    if (connection->postgresql()) connection->run("ANALYZE", error);
    return url;
}

void Query(benchmark::State& state, const QString& server,
           std::optional<records::Table> (*query)(records::Connection&, QString&)) {
    const QString url = MillionStepDatabase(state, server);
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
    Query(state, {}, records::YieldTable);
}
void BM_FailuresOverMillionSteps(benchmark::State& state) {
    Query(state, {}, records::FailureTable);
}
void BM_YieldOverMillionStepsPostgresql(benchmark::State& state) {
    if (const QString server = PostgresqlServer(state); !server.isEmpty())
        Query(state, server, records::YieldTable);
}
void BM_FailuresOverMillionStepsPostgresql(benchmark::State& state) {
    if (const QString server = PostgresqlServer(state); !server.isEmpty())
        Query(state, server, records::FailureTable);
}

BENCHMARK(BM_WriteRunSqlite)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();
BENCHMARK(BM_WriteRunPostgresql)->Unit(benchmark::kMillisecond)->MinTime(2)->UseRealTime();
BENCHMARK(BM_YieldOverMillionSteps)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FailuresOverMillionSteps)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_YieldOverMillionStepsPostgresql)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_FailuresOverMillionStepsPostgresql)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv); // Qt's SQL drivers are plugins, loaded through it
    return bench::RunBenchmarks(argc, argv);
}
