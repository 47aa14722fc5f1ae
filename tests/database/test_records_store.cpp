// The records database on SQLite and on a real PostgreSQL server (started by the test fixture,
// tests/database/postgres-server.sh): the URL forms, the schema and its migration, exactly-once
// writes, four writers at once, and each query's figures against runs of known values.
#include "RecordsTesting.h"
#include "records/Delivery.h"
#include "records/Queries.h"
#include "records/RunWriter.h"
#include "records/Schema.h"
#include "records/Spool.h"
#include "records/StoredRun.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QSqlQuery>
#include <QTimeZone>
#include <cmath>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace records_testing;
using records::DatabaseUrl;

TEST(RecordsUrl, ReadsEachFormAndRefusesTheRest) {
    struct Case {
        QString url;
        DatabaseUrl::Kind kind;
        QString path, user, host;
        int port;
        QString database;
    };
    const Case read[] = {
        {"sqlite:/var/lib/line.db",
         DatabaseUrl::Kind::Sqlite,
         "/var/lib/line.db",
         {},
         {},
         5432,
         {}},
        {"line.db", DatabaseUrl::Kind::Sqlite, "line.db", {}, {}, 5432, {}},
        {"postgresql://tester@db.line:6543/records",
         DatabaseUrl::Kind::Postgresql,
         {},
         "tester",
         "db.line",
         6543,
         "records"},
        {"postgres://tester@%2Frun%2Fpostgresql/records",
         DatabaseUrl::Kind::Postgresql,
         {},
         "tester",
         "/run/postgresql",
         5432,
         "records"},
    };
    for (const Case& c : read) {
        QString error;
        const auto url = records::ParseDatabaseUrl(c.url, error);
        ASSERT_TRUE(url) << c.url.toStdString() << ": " << error.toStdString();
        EXPECT_EQ(url->kind, c.kind) << c.url.toStdString();
        EXPECT_EQ(url->path, c.path) << c.url.toStdString();
        EXPECT_EQ(url->user, c.user) << c.url.toStdString();
        EXPECT_EQ(url->host, c.host) << c.url.toStdString();
        EXPECT_EQ(url->port, c.port) << c.url.toStdString();
        EXPECT_EQ(url->database, c.database) << c.url.toStdString();
    }
    for (const QString refused :
         {"sqlite:", "postgresql://db.line/records", "postgresql://u@db.line:99999/records",
          "postgresql://u@db.line/records?sslmode=disable", "mysql://u@db/records"}) {
        QString error;
        EXPECT_FALSE(records::ParseDatabaseUrl(refused, error)) << refused.toStdString();
        EXPECT_FALSE(error.isEmpty()) << refused.toStdString();
    }
}

TEST(RecordsSpool, EachDatabaseHasItsOwnFolderBesideTheStationOrInTheStateHome) {
    const QString hash = [](const QString& url) {
        return QString::fromLatin1(
            QCryptographicHash::hash(url.toUtf8(), QCryptographicHash::Sha256).toHex().left(12));
    }("sqlite:/srv/line.db");
    const struct {
        QString beside, stateHome, folder;
    } cases[] = {
        {"/srv/records", "/var/state", "/srv/records/records-spool/" + hash},
        {{}, "/var/state", "/var/state/zov-usb-test/records-spool/" + hash},
        // A relative XDG_STATE_HOME is to be ignored, as the XDG rules say.
        {{}, "state", QDir::homePath() + "/.local/state/zov-usb-test/records-spool/" + hash},
    };
    for (const auto& c : cases) {
        qputenv("XDG_STATE_HOME", c.stateHome.toUtf8());
        EXPECT_EQ(records::SpoolFolder("sqlite:/srv/line.db", c.beside), c.folder);
    }
    EXPECT_NE(records::SpoolFolder("sqlite:other.db", {}),
              records::SpoolFolder("sqlite:line.db", {}));
    // An SQLite file goes by its absolute path: one file however it is named, and the same
    // relative name from another folder another database, whose spool is another.
    const QString here = QDir::currentPath();
    const QString relative = records::SpoolFolder("line.db", {});
    EXPECT_EQ(relative, records::SpoolFolder("sqlite:" + here + "/line.db", {}));
    QTemporaryDir elsewhere;
    ASSERT_TRUE(QDir::setCurrent(elsewhere.path()));
    EXPECT_NE(records::SpoolFolder("line.db", {}), relative);
    ASSERT_TRUE(QDir::setCurrent(here));
    qunsetenv("XDG_STATE_HOME");
}

/// Each test on SQLite and on the PostgreSQL server, in a database of its own.
class RecordsDatabase : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        const QString server = ServerUrl(ZOV_POSTGRES_STATE);
        if (GetParam() == "postgresql" && server.isEmpty())
            GTEST_SKIP() << "no PostgreSQL server: run through ctest, whose fixture starts one";
        url = FreshDatabase(QString::fromStdString(GetParam()), dir, server);
    }
    /// An open connection to a database of the latest schema.
    std::unique_ptr<records::Connection> migrated() {
        auto connection = Open(url);
        QString error;
        EXPECT_TRUE(records::Migrate(*connection, error)) << error.toStdString();
        return connection;
    }
    records::Written write(records::Connection& connection, const check::CheckRecord& record,
                           const QString& uuid = records::NewRunId()) {
        QString error;
        const records::Written written =
            records::WriteRun(connection, records::StoredRunOf(record, uuid), error);
        EXPECT_NE(written, records::Written::Failed) << error.toStdString();
        return written;
    }

    QTemporaryDir dir;
    DatabaseUrl url;
};

QDateTime Day(int day, int hour) {
    return QDateTime(QDate(2026, 3, day), QTime(hour, 0), Qt::UTC);
}

TEST_P(RecordsDatabase, MigratesAVersionOneDatabaseKeepingItsRuns) {
    auto connection = Open(url);
    QString error;
    ASSERT_TRUE(records::Migrate(*connection, error, 1)) << error.toStdString();
    EXPECT_EQ(records::SchemaVersion(*connection, error), 1);
    // A run as version 1 stored it: no label, no try.
    ASSERT_TRUE(connection->run("INSERT INTO runs (run_uuid, plan_path, started, outcome) VALUES "
                                "('old-run', 'p.toml', '2026-03-01T08:00:00.000Z', 'pass')",
                                error))
        << error.toStdString();
    ASSERT_TRUE(connection->run(
        "INSERT INTO step_results (run_id, step_index, step_name, step_type, repetition, "
        "outcome) SELECT id, 1, 'read_ad', 'read_ad', 1, 'pass' FROM runs",
        error))
        << error.toStdString();
    ASSERT_TRUE(connection->run("INSERT INTO runs (run_uuid, plan_path, started, outcome, "
                                "scanned_label) VALUES ('x', 'p', 't', 'pass', 'L')",
                                error) == false);

    ASSERT_TRUE(records::Migrate(*connection, error)) << error.toStdString();
    EXPECT_EQ(records::SchemaVersion(*connection, error), records::LatestSchema);
    EXPECT_EQ(Number(*connection, "SELECT COUNT(*) FROM schema_version"), 1);
    EXPECT_EQ(Number(*connection, "SELECT try_number FROM step_results"), 1);
    EXPECT_EQ(Number(*connection, "SELECT COUNT(*) FROM runs WHERE scanned_label IS NULL"), 1);
    // Migrating again changes nothing; a run of the new schema goes in beside the old one.
    ASSERT_TRUE(records::Migrate(*connection, error)) << error.toStdString();
    write(*connection, MadeRun("ZB-1", "p.toml", "bay 1", Day(2, 9), {{"A/D value", 5, 0, 9}}));
    EXPECT_EQ(Number(*connection, "SELECT COUNT(*) FROM runs"), 2);

    // A database a newer program made is left alone.
    ASSERT_TRUE(connection->run("UPDATE schema_version SET version = 99", error));
    EXPECT_FALSE(records::Migrate(*connection, error));
    EXPECT_TRUE(error.contains("newer")) << error.toStdString();
}

TEST_P(RecordsDatabase, StoresARunOnceHoweverOftenItIsDelivered) {
    auto connection = migrated();
    // A zero byte in a board's serial or a scanned label, which PostgreSQL's text cannot hold,
    // is stored as the console shows it.
    auto run = MadeRun(std::string("ZB-1\0\x01", 6), "p.toml", "bay 1", Day(1, 8),
                       {{"A/D value", 150, 100, 200}, {"answer time", 3, 0, 50}});
    run.label = std::string("L\0", 2);
    const QString uuid = records::NewRunId();
    EXPECT_EQ(write(*connection, run, uuid), records::Written::Stored);
    EXPECT_EQ(write(*connection, run, uuid), records::Written::AlreadyStored);
    EXPECT_EQ(Number(*connection, "SELECT COUNT(*) FROM runs"), 1);
    EXPECT_EQ(Number(*connection, "SELECT COUNT(*) FROM step_results"), 2);
    EXPECT_EQ(Number(*connection, "SELECT COUNT(*) FROM step_results WHERE answer_time_ms = 3"), 1);
    EXPECT_EQ(Number(*connection, "SELECT COUNT(*) FROM runs WHERE board_serial = "
                                  "'ZB-1\\x00\x01' AND scanned_label = 'L\\x00'"),
              1);
}

TEST_P(RecordsDatabase, ASpooledFileItCannotTakeIsSetAsideAndToldNeverBlockingTheRest) {
    // Spooled before the new run: a file cut short, and a run the database refuses (its plan
    // edited away by hand), each older than a good one.
    const QString folder = dir.filePath("spool");
    ASSERT_TRUE(QDir().mkpath(folder));
    const auto spooled = [&](const QString& name, const QByteArray& contents) {
        QFile file(folder + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
    };
    const auto made = [](const char* serial, int hour) {
        return records::StoredRunOf(
            MadeRun(serial, "p.toml", "bay 1", Day(1, hour), {{"A/D value", 150, 100, 200}}),
            records::NewRunId());
    };
    spooled("000000000000001-a.json", R"({"run_uuid": "cut)");
    QJsonObject refused = records::RunJson(made("B", 8));
    refused["plan_path"] = QJsonValue::Null;
    spooled("000000000000002-b.json", QJsonDocument(refused).toJson());
    spooled("000000000000003-c.json", QJsonDocument(records::RunJson(made("C", 9))).toJson());

    records::Delivery delivery(url, records::Spool(folder));
    const records::StoredRun fresh = made("D", 10);
    const records::DeliveryReport report = delivery.deliver(&fresh);
    EXPECT_EQ(report.stored, 2) << report.problem.toStdString();
    EXPECT_FALSE(report.spooled);
    EXPECT_EQ(report.waiting, 0);
    ASSERT_EQ(report.setAside.size(), 2);
    EXPECT_TRUE(report.setAside[0].contains("000000000000001-a.json.unreadable"))
        << report.setAside[0].toStdString();
    EXPECT_TRUE(report.setAside[1].contains("000000000000002-b.json.refused"))
        << report.setAside[1].toStdString();
    EXPECT_TRUE(QFile::exists(folder + "/000000000000002-b.json.refused"));
    EXPECT_EQ(Number(*Open(url), "SELECT COUNT(*) FROM runs"), 2);
}

TEST_P(RecordsDatabase, KeepsTheLabelTheTriesAndTheTeardownApart) {
    auto connection = migrated();
    // Step 1 fails its first try and passes its second; teardown step 1 fails.
    auto run = MadeRun(
        "ZB-7", "p.toml", "bay 1", Day(1, 8),
        {{"A/D value", 90, 100, 200}, {"A/D value", 150, 100, 200}, {"A/D value", 300, 100, 200}});
    run.label = "LBL-0007";
    run.steps[0].retried = true;
    run.steps[1].number = 1;
    run.steps[1].attempt = 2;
    run.steps[2].number = 1;
    run.steps[2].teardown = true;
    write(*connection, run);
    EXPECT_EQ(Number(*connection, "SELECT COUNT(*) FROM runs WHERE scanned_label = 'LBL-0007'"), 1);
    EXPECT_EQ(Number(*connection, "SELECT COUNT(*) FROM step_results WHERE step_index = 1 AND "
                                  "try_number = 2 AND retried = 0 AND teardown = 0"),
              1);
    EXPECT_EQ(Number(*connection, "SELECT COUNT(*) FROM step_results WHERE retried = 1"), 1);

    QString error;
    // The board's failed steps: the teardown's; the try that was retried decided nothing.
    const auto board = records::BoardTable(*connection, "ZB-7", error);
    ASSERT_TRUE(board && board->rows.size() == 1) << error.toStdString();
    EXPECT_EQ(board->rows[0][6].toLongLong(), 1);
    // The teardown step is told from the plan's step of the same number.
    const auto failures = records::FailureTable(*connection, error);
    ASSERT_TRUE(failures) << error.toStdString();
    QStringList steps;
    for (const QVariantList& row : failures->rows)
        steps << row[1].toString();
    steps.sort();
    EXPECT_EQ(steps, (QStringList{"1", "teardown 1"}));
}

TEST_P(RecordsDatabase, FourWritersAtOnceLoseAndDoubleNothing) {
    // Each writer migrates the empty database, then writes its own runs and one run all four
    // deliver, interleaved.
    constexpr int Writers = 4, RunsEach = 25;
    const QString shared = records::NewRunId();
    std::atomic<int> sharedStored{0};
    std::vector<std::thread> writers;
    for (int w = 0; w < Writers; ++w)
        writers.emplace_back([&, w] {
            auto connection = migrated();
            const std::string serial = QString("W%1").arg(w).toStdString();
            for (int i = 0; i < RunsEach; ++i) {
                const auto run =
                    MadeRun(serial, "p.toml", "bay", Day(1, 8).addSecs(i),
                            {{"A/D value", double(i), 0, 255}, {"A/D value", 1, 0, 255}});
                write(*connection, run);
                if (i == RunsEach / 2 &&
                    write(*connection, run, shared) == records::Written::Stored)
                    ++sharedStored;
            }
        });
    for (std::thread& writer : writers)
        writer.join();
    auto connection = Open(url);
    EXPECT_EQ(sharedStored, 1);
    EXPECT_EQ(Number(*connection, "SELECT COUNT(*) FROM runs"), Writers * RunsEach + 1);
    EXPECT_EQ(Number(*connection, "SELECT COUNT(DISTINCT run_uuid) FROM runs"),
              Writers * RunsEach + 1);
    EXPECT_EQ(Number(*connection, "SELECT COUNT(*) FROM step_results"),
              2 * (Writers * RunsEach + 1));
    for (int w = 0; w < Writers; ++w)
        EXPECT_EQ(Number(*connection, QString("SELECT COUNT(*) FROM runs WHERE board_serial = "
                                              "'W%1' AND run_uuid <> '%2'")
                                          .arg(w)
                                          .arg(shared)),
                  RunsEach);
}

/// The known runs the queries are checked against: plan p.toml, the A/D value's limit 100..200.
struct KnownRun {
    std::string serial, station;
    int day, hour;
    double value;
};
const KnownRun Known[] = {
    {"A", "bay 1", 1, 8, 90},                               // fails: A's first run
    {"B", "bay 1", 1, 9, 120},                              // passes first time
    {"C", "bay 1", 1, 10, 250}, {"C", "bay 1", 1, 11, 250}, // fails twice, never passes
    {"A", "bay 1", 2, 8, 150},                              // passes on its second day
    {"D", "bay 2", 2, 9, 180},                              // passes first time, on another station
};

TEST_P(RecordsDatabase, QueriesGiveTheFiguresOfKnownRuns) {
    auto connection = migrated();
    for (const KnownRun& run : Known)
        write(*connection, MadeRun(run.serial, "p.toml", run.station, Day(run.day, run.hour),
                                   {{"A/D value", run.value, 100, 200}}));
    QString error;
    const auto rows = [](const records::Table& table) {
        std::vector<QStringList> text;
        for (const QVariantList& row : table.rows) {
            QStringList line;
            for (const QVariant& value : row)
                line << value.toString();
            text.push_back(line);
        }
        return text;
    };

    // Boards counted on the station and day of their first run: A, B, C on bay 1 on the 1st (B
    // passed first time; A and B at last), D on bay 2 on the 2nd.
    const auto yield = records::YieldTable(*connection, error);
    ASSERT_TRUE(yield) << error.toStdString();
    EXPECT_EQ(rows(*yield),
              (std::vector<QStringList>{
                  {"p.toml", "bay 1", "2026-03-01", "3", "1", "2",
                   QString::number(std::round(1000.0 / 3) / 10),
                   QString::number(std::round(2000.0 / 3) / 10), "5"},
                  {"p.toml", "bay 2", "2026-03-02", "1", "1", "1", "100", "100", "1"}}));

    const auto failures = records::FailureTable(*connection, error);
    ASSERT_TRUE(failures) << error.toStdString();
    EXPECT_EQ(rows(*failures), (std::vector<QStringList>{{"p.toml", "1", "read_ad", "A/D value",
                                                          "100..200", "3", "250 ×2, 90 ×1"}}));

    const auto board = records::BoardTable(*connection, "A", error);
    ASSERT_TRUE(board) << error.toStdString();
    ASSERT_EQ(board->rows.size(), 2u);
    EXPECT_EQ(board->rows[0][5].toString(), "fail");
    EXPECT_EQ(board->rows[0][6].toLongLong(), 1);
    EXPECT_EQ(board->rows[1][5].toString(), "pass");
    EXPECT_TRUE(board->rows[1][0].toString().startsWith("2026-03-02T08:00:00"));

    // Cpk by hand: mean and sample deviation of the six values, nearer limit over 3 sigma.
    double sum = 0;
    for (const KnownRun& run : Known)
        sum += run.value;
    const double mean = sum / std::size(Known);
    double squares = 0;
    for (const KnownRun& run : Known)
        squares += (run.value - mean) * (run.value - mean);
    const double deviation = std::sqrt(squares / (std::size(Known) - 1));
    const double cpk = std::min(200 - mean, mean - 100) / (3 * deviation);
    const auto capability = records::CapabilityTable(*connection, error);
    ASSERT_TRUE(capability) << error.toStdString();
    ASSERT_EQ(capability->rows.size(), 1u);
    const QVariantList& figures = capability->rows[0];
    EXPECT_EQ(figures[5].toLongLong(), qint64(std::size(Known)));
    EXPECT_NEAR(figures[6].toDouble(), mean, 1e-9);
    EXPECT_NEAR(figures[7].toDouble(), deviation, 1e-9);
    EXPECT_NEAR(figures[10].toDouble(), cpk, 1e-9);

    const auto exported = records::ExportTable(*connection, error);
    ASSERT_TRUE(exported) << error.toStdString();
    EXPECT_EQ(exported->rows.size(), std::size(Known));
}

INSTANTIATE_TEST_SUITE_P(Backends, RecordsDatabase, testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });

} // namespace
