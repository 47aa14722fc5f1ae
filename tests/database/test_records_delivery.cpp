// Never losing a run: a PostgreSQL server of this test's own is stopped while a station
// writes and started again; the runs it could not take wait in the spool and are delivered
// once, in order. Also the same through the program, `check --records URL`.
#include "RecordsTesting.h"
#include "records/DatabaseStore.h"
#include "records/Delivery.h"
#include "records/Schema.h"
#include "records/Spool.h"
#include "records/StoredRun.h"
#include "support/EventLoop.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QThread>
#include <gtest/gtest.h>

namespace {

using namespace records_testing;

void Server(const QString& action) {
    ASSERT_EQ(QProcess::execute(ZOV_POSTGRES_SERVER, {action, ZOV_POSTGRES_STATE}), 0)
        << action.toStdString();
}

/// The serial numbers of the stored runs, in the order the database took them.
QStringList StoredSerials(const records::DatabaseUrl& url) {
    auto connection = Open(url);
    QSqlQuery query(connection->database());
    EXPECT_TRUE(query.exec("SELECT board_serial FROM runs ORDER BY id"));
    QStringList serials;
    while (query.next())
        serials << query.value(0).toString();
    return serials;
}

class RecordsOutage : public testing::Test {
protected:
    void SetUp() override {
        server = ServerUrl(ZOV_POSTGRES_STATE);
        if (server.isEmpty())
            GTEST_SKIP() << "no PostgreSQL server: run through ctest, whose fixture starts one";
        url = FreshDatabase("postgresql", dir, server);
    }
    void TearDown() override {
        if (!server.isEmpty()) Server("start"); // for the next test, whatever happened
    }
    records::StoredRun run(const std::string& serial, int minute) {
        return records::StoredRunOf(MadeRun(serial, "p.toml", "bay 1",
                                            QDateTime(QDate(2026, 3, 1), QTime(8, minute), Qt::UTC),
                                            {{"A/D value", 150, 100, 200}}),
                                    records::NewRunId());
    }

    QTemporaryDir dir;
    QString server;
    records::DatabaseUrl url;
};

TEST_F(RecordsOutage, SpooledRunsAreDeliveredOnceInOrderWhenTheServerIsBack) {
    records::Delivery delivery(url, records::Spool(dir.filePath("spool")));
    const records::StoredRun firstStored = run("A", 0);
    auto report = delivery.deliver(&firstStored);
    EXPECT_EQ(report.stored, 1);
    EXPECT_TRUE(report.problem.isEmpty()) << report.problem.toStdString();

    // Gone under an open connection: the next runs wait, each in a file of its own.
    Server("stop");
    for (const auto& [serial, waiting] : {std::pair{"B", 1}, std::pair{"C", 2}}) {
        const records::StoredRun waitingRun = run(serial, waiting);
        report = delivery.deliver(&waitingRun);
        EXPECT_TRUE(report.spooled) << serial;
        EXPECT_EQ(report.stored, 0) << serial;
        EXPECT_FALSE(report.problem.isEmpty()) << serial;
        EXPECT_EQ(report.waiting, waiting) << serial;
    }
    const QStringList spooled = delivery.spool().waiting();
    ASSERT_EQ(spooled.size(), 2);
    QFile first(spooled[0]);
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    const QByteArray firstRun = first.readAll();

    // Back: the spool goes first, oldest first, then the new run; every file is gone.
    Server("start");
    const records::StoredRun last = run("D", 3);
    report = delivery.deliver(&last);
    EXPECT_EQ(report.stored, 3);
    EXPECT_FALSE(report.spooled);
    EXPECT_EQ(report.waiting, 0);
    EXPECT_EQ(StoredSerials(url), (QStringList{"A", "B", "C", "D"}));

    // A crash between a commit and the file's removal delivers that run again: left out.
    QFile again(spooled[0]);
    ASSERT_TRUE(again.open(QIODevice::WriteOnly) && again.write(firstRun) == firstRun.size());
    again.close();
    report = delivery.deliver(nullptr);
    EXPECT_EQ(report.waiting, 0);
    EXPECT_EQ(StoredSerials(url), (QStringList{"A", "B", "C", "D"}));
}

TEST_F(RecordsOutage, TheCheckSaysWhereARunWaitsAndDeliversItNextTime) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_STATE_HOME", dir.filePath("state"));
    const auto check = [&](QString& output) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(ZOV_PROGRAM, {"check", ZOV_SOURCE_DIR "/examples/smoke.toml",
                                    "--virtual-board", "--records", url.text});
        EXPECT_TRUE(process.waitForFinished(60000));
        output = QString::fromUtf8(process.readAllStandardOutput());
        return process.exitCode();
    };
    QString output;
    Server("stop");
    EXPECT_EQ(check(output), 0) << output.toStdString();
    EXPECT_TRUE(output.contains(QRegularExpression(
        "Records: the database .* cannot be reached .*: this run is kept in the spool .*"
        "records-spool/[0-9a-f]{12} \\(1 waiting\\)")))
        << output.toStdString();
    EXPECT_TRUE(output.endsWith("PASS\n")) << output.toStdString();

    Server("start");
    EXPECT_EQ(check(output), 0) << output.toStdString();
    EXPECT_TRUE(
        output.contains("Records: 1 spooled run(s) delivered to " + url.text + "; 0 waiting."))
        << output.toStdString();
    EXPECT_TRUE(output.contains("Records: run stored in " + url.text + "."))
        << output.toStdString();
    EXPECT_EQ(StoredSerials(url).size(), 2);
}

// A run is on disk before the database sees it: killed while its write waits for another
// writer, the check leaves the run in the spool, and the next check delivers it.
TEST(RecordsCrash, ARunKilledBeforeItsCommitIsInTheSpoolAndDeliveredNextTime) {
    QTemporaryDir dir;
    const QString url = "sqlite:" + dir.filePath("line.db");
    qputenv("XDG_STATE_HOME", dir.filePath("state").toLocal8Bit()); // where the spool is
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QStringList arguments{"check", ZOV_SOURCE_DIR "/examples/smoke.toml", "--virtual-board",
                                "--records", url};
    {
        // Another writer holds the database, so the check's write waits for it.
        QString error;
        auto writer = Open(*records::ParseDatabaseUrl(url, error));
        ASSERT_TRUE(writer && records::Migrate(*writer, error)) << error.toStdString();
        ASSERT_TRUE(writer->begin(error)) << error.toStdString();
        QProcess killed;
        killed.setProcessEnvironment(environment);
        killed.start(ZOV_PROGRAM, arguments);
        const QDir spool(records::SpoolFolder(url, {}));
        QElapsedTimer waited;
        waited.start();
        while (spool.entryList({"*.json"}, QDir::Files).isEmpty() && waited.elapsed() < 20000)
            QThread::msleep(20);
        killed.kill();
        killed.waitForFinished();
        EXPECT_EQ(spool.entryList({"*.json"}, QDir::Files).size(), 1);
        writer->rollback();
    }
    QProcess next;
    next.setProcessEnvironment(environment);
    next.start(ZOV_PROGRAM, arguments);
    ASSERT_TRUE(next.waitForFinished(60000));
    const QString output = QString::fromUtf8(next.readAllStandardOutput());
    EXPECT_TRUE(output.contains("Records: 1 spooled run(s) delivered to " + url + "; 0 waiting."))
        << output.toStdString();
    QString error;
    EXPECT_EQ(StoredSerials(*records::ParseDatabaseUrl(url, error)).size(), 2);
}

// Runs that end while the database keeps a delivery waiting (another writer holds it) are on
// disk at once, each in the spool, not held in memory behind that delivery; once the database is
// free they all reach it.
TEST(RecordsStore, EveryRunIsSpooledAtOnceWhileTheDatabaseKeepsADeliveryWaiting) {
    QTemporaryDir dir;
    const QString url = "sqlite:" + dir.filePath("line.db");
    QString error;
    auto writer = Open(*records::ParseDatabaseUrl(url, error));
    ASSERT_TRUE(writer && records::Migrate(*writer, error) && writer->begin(error))
        << error.toStdString();
    const records::Spool spool(dir.filePath("spool"));
    {
        records::DatabaseStore store(*records::ParseDatabaseUrl(url, error), spool.folder());
        for (const char* serial : {"A", "B", "C"})
            store.store(MadeRun(serial, "p.toml", "bay 1", QDateTime::currentDateTimeUtc(),
                                {{"A/D value", 150, 100, 200}}));
        const bool spooled = testsupport::WaitUntil([&] { return spool.waiting().size() == 3; });
        writer->rollback();
        EXPECT_TRUE(spooled) << spool.waiting().size() << " of 3 runs spooled";
        EXPECT_TRUE(store.finish());
    }
    EXPECT_EQ(StoredSerials(*records::ParseDatabaseUrl(url, error)), (QStringList{"A", "B", "C"}));
    EXPECT_TRUE(spool.waiting().isEmpty());
}

// After a failed delivery a new run rests in the spool until the retry, rather than waiting for
// the database again; the retry delivers every run.
TEST(RecordsStore, ANewRunWaitsInTheSpoolForTheRetryAfterAFailure) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("later"); // the database's folder, missing at first
    QString error;
    records::Delivery delivery(*records::ParseDatabaseUrl("sqlite:" + folder + "/line.db", error),
                               records::Spool(dir.filePath("spool")), std::chrono::hours(1));
    const auto run = [](const char* serial) {
        return records::StoredRunOf(MadeRun(serial, "p.toml", "bay 1",
                                            QDateTime::currentDateTimeUtc(),
                                            {{"A/D value", 150, 100, 200}}),
                                    records::NewRunId());
    };
    const records::StoredRun first = run("A");
    EXPECT_TRUE(delivery.deliver(&first).spooled);
    ASSERT_TRUE(QDir().mkpath(folder));
    const records::StoredRun second = run("B");
    const records::DeliveryReport rested = delivery.deliver(&second);
    EXPECT_TRUE(rested.spooled);
    EXPECT_EQ(rested.stored, 0);
    EXPECT_EQ(rested.waiting, 2);
    EXPECT_FALSE(rested.problem.isEmpty());
    const records::DeliveryReport retried = delivery.deliver(nullptr);
    EXPECT_EQ(retried.stored, 2);
    EXPECT_EQ(retried.waiting, 0);
}

// Two stations that share a records folder and a database share a spool: delivering it at once,
// each run reaches the database once, none is left in the spool, and a run the other station
// delivered first is neither set aside nor counted as delivered twice.
TEST(RecordsSpool, TwoDeliveriesOfOneSpoolAtOnceStoreEachRunOnce) {
    QTemporaryDir dir;
    QString error;
    const records::DatabaseUrl url =
        *records::ParseDatabaseUrl("sqlite:" + dir.filePath("line.db"), error);
    const records::Spool spool(dir.filePath("spool"));
    constexpr int Runs = 40;
    for (int i = 0; i < Runs; ++i) {
        const records::StoredRun run = records::StoredRunOf(
            MadeRun(std::to_string(i), "p.toml", "bay 1", QDateTime::currentDateTimeUtc(),
                    {{"A/D value", 150, 100, 200}}),
            records::NewRunId());
        ASSERT_TRUE(records::Spool(spool).add(run, error)) << error.toStdString();
    }
    records::DeliveryReport reports[2];
    {
        std::unique_ptr<QThread> stations[2];
        for (int i = 0; i < 2; ++i) {
            stations[i].reset(QThread::create(
                [&, i] { reports[i] = records::Delivery(url, spool).deliver(nullptr); }));
            stations[i]->start();
        }
        for (const auto& station : stations)
            station->wait();
    }
    for (const records::DeliveryReport& report : reports) {
        EXPECT_TRUE(report.setAside.isEmpty()) << report.setAside.join('\n').toStdString();
        EXPECT_TRUE(report.problem.isEmpty()) << report.problem.toStdString();
    }
    EXPECT_EQ(reports[0].stored + reports[1].stored, Runs);
    EXPECT_EQ(StoredSerials(url).size(), Runs);
    EXPECT_TRUE(QDir(spool.folder()).entryList(QDir::Files).isEmpty())
        << QDir(spool.folder()).entryList(QDir::Files).join(' ').toStdString();
}

// A station's tally comes after the lines that tell where its runs went, even when the database
// makes the last one wait.
TEST(RecordsStation, TellsWhereItsLastRunWentBeforeItsTally) {
    QTemporaryDir dir;
    const QString url = "sqlite:" + dir.filePath("line.db");
    QString error;
    auto writer = Open(*records::ParseDatabaseUrl(url, error)); // holds the database
    ASSERT_TRUE(writer && records::Migrate(*writer, error) && writer->begin(error))
        << error.toStdString();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_STATE_HOME", dir.filePath("state"));
    QProcess station;
    station.setProcessEnvironment(environment);
    station.start(ZOV_PROGRAM, {"check", ZOV_SOURCE_DIR "/examples/smoke.toml", "--virtual-board",
                                "--station", dir.filePath("records"), "--records", url});
    QByteArray output;
    QElapsedTimer waited;
    waited.start();
    while (!output.contains("Unplug the board.") && waited.elapsed() < 20000) {
        station.waitForReadyRead(100);
        output += station.readAllStandardOutput();
    }
    station.terminate();
    EXPECT_FALSE(station.waitForFinished(300)) << "it waits for its run to be stored";
    output += station.readAllStandardOutput();
    EXPECT_FALSE(output.contains("Boards checked")) << output.toStdString();
    writer->rollback();
    ASSERT_TRUE(station.waitForFinished(60000));
    output += station.readAllStandardOutput();
    const qsizetype stored = output.indexOf("Records: run stored in " + url.toUtf8());
    EXPECT_NE(stored, -1) << output.toStdString();
    EXPECT_LT(stored, output.indexOf("Boards checked")) << output.toStdString();
}

} // namespace
