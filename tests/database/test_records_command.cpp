// `zov-usb-test records URL COMMAND`, the program itself, on SQLite and PostgreSQL: what each
// command prints for runs of known figures, the plot, and the command lines it refuses.
#include "RecordsTesting.h"
#include "records/RunWriter.h"
#include "records/Schema.h"
#include "records/StoredRun.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

using namespace records_testing;

struct Ran {
    int exitCode;
    QString output;
    QString errors;
};

Ran Program(const QStringList& arguments) {
    QProcess process;
    process.start(ZOV_PROGRAM, arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

class RecordsCommand : public testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        const QString server = ServerUrl(ZOV_POSTGRES_STATE);
        if (GetParam() == "postgresql" && server.isEmpty())
            GTEST_SKIP() << "no PostgreSQL server: run through ctest, whose fixture starts one";
        url = FreshDatabase(QString::fromStdString(GetParam()), dir, server);
        auto connection = Open(url);
        QString error;
        ASSERT_TRUE(records::Migrate(*connection, error)) << error.toStdString();
        // Board A fails (A/D 90 under 100..200), then passes; B passes first time.
        for (const auto& [serial, hour, value] :
             {std::tuple{"A", 8, 90.0}, std::tuple{"A", 9, 150.0}, std::tuple{"B", 10, 120.0}}) {
            const auto run = MadeRun(serial, "p.toml", "bay 1",
                                     QDateTime(QDate(2026, 3, 1), QTime(hour, 0), Qt::UTC),
                                     {{"A/D value", value, 100, 200}});
            ASSERT_EQ(records::WriteRun(*connection, records::StoredRunOf(run, records::NewRunId()),
                                        error),
                      records::Written::Stored)
                << error.toStdString();
        }
    }

    QTemporaryDir dir;
    records::DatabaseUrl url;
};

TEST_P(RecordsCommand, PrintsEachQueryAsCsvOrJson) {
    struct Case {
        QStringList words;
        QString expected; ///< the whole output
    };
    const Case cases[] = {
        {{"yield"},
         "plan,station,day,boards,first_pass,final_pass,first_pass_yield,final_yield,runs\r\n"
         "p.toml,bay 1,2026-03-01,2,1,2,50,100,3\r\n"},
        {{"failures"},
         "plan,step,name,quantity,limit,failures,broken_values\r\n"
         "p.toml,1,read_ad,A/D value,100..200,1,90 ×1\r\n"},
        {{"capability", "--csv"},
         "plan,step,name,quantity,unit,n,mean,stddev,min_limit,max_limit,cpk\r\n"
         "p.toml,1,read_ad,A/D value,,3,120,30,100,200,0.2222222222222222\r\n"},
    };
    for (const Case& c : cases) {
        const Ran ran = Program(QStringList{"records", url.text} + c.words);
        EXPECT_EQ(ran.exitCode, 0) << c.words.join(' ').toStdString();
        EXPECT_EQ(ran.output.toStdString(), c.expected.toStdString());
    }
    const Ran board = Program({"records", url.text, "board", "A", "--json"});
    EXPECT_EQ(board.exitCode, 0);
    EXPECT_EQ(board.output.count("\"outcome\": \"fail\""), 1) << board.output.toStdString();
    EXPECT_EQ(board.output.count("\"outcome\": \"pass\""), 1) << board.output.toStdString();
    const Ran exported = Program({"records", url.text, "export"});
    EXPECT_EQ(exported.output.count("\r\n"), 4) << exported.output.toStdString();
}

// Someone who may read the line's database but not write in its folder (a quality engineer on
// a share of the line's) queries it all the same: a database of the program's own schema is only
// read. As root, whom permissions do not stop, the program runs as nobody. The runs a station
// still holds in the file's log count too, also when the file is named through a link in a
// folder of its own: the log lies beside the file itself.
TEST_P(RecordsCommand, AReaderWhoCannotWriteItsFolderQueriesIt) {
    if (GetParam() != "sqlite") GTEST_SKIP() << "a folder's permissions are SQLite's alone";
    using Permission = QFileDevice::Permission;
    const auto read = Permission::ReadOwner | Permission::ReadGroup | Permission::ReadOther;
    const auto readAndEnter =
        read | Permission::ExeOwner | Permission::ExeGroup | Permission::ExeOther;
    QTemporaryDir programDir; // a copy of the program where nobody may run it
    const QString program = programDir.filePath("zov-usb-test");
    ASSERT_TRUE(QFile::copy(ZOV_PROGRAM, program));
    QTemporaryDir linkDir;
    const QString link = linkDir.filePath("line.db");
    ASSERT_TRUE(QFile::link(url.path, link));
    // A station writing: its run of the next day is in the log until it closes the file.
    auto station = Open(url);
    QString error;
    const auto run =
        MadeRun("C", "p.toml", "bay 1", QDateTime(QDate(2026, 3, 2), QTime(8, 0), Qt::UTC),
                {{"A/D value", 150, 100, 200}});
    ASSERT_EQ(records::WriteRun(*station, records::StoredRunOf(run, records::NewRunId()), error),
              records::Written::Stored)
        << error.toStdString();
    ASSERT_TRUE(QFile::setPermissions(program, readAndEnter) &&
                QFile::setPermissions(programDir.path(), readAndEnter) &&
                QFile::setPermissions(url.path, read) &&
                QFile::setPermissions(dir.path(), readAndEnter) &&
                QFile::setPermissions(linkDir.path(), readAndEnter));
    for (const QString& path : {url.path, link}) {
        const QStringList arguments{"records", "sqlite:" + path, "yield"};
        QProcess process;
        if (::geteuid() == 0)
            process.start("setpriv", QStringList{"--reuid=nobody", "--regid=nogroup",
                                                 "--clear-groups", program} +
                                         arguments);
        else
            process.start(program, arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        const QByteArray output = process.readAllStandardOutput();
        EXPECT_TRUE(output.contains("p.toml,bay 1,2026-03-01,2,1,2,50,100,3"))
            << path.toStdString();
        EXPECT_TRUE(output.contains("p.toml,bay 1,2026-03-02,1,1,1,100,100,1"))
            << path.toStdString() << ":\n"
            << output.toStdString();
    }
    // to be removed
    QFile::setPermissions(dir.path(), readAndEnter | Permission::WriteOwner);
    QFile::setPermissions(linkDir.path(), readAndEnter | Permission::WriteOwner);
}

TEST_P(RecordsCommand, KeepsHostileTextsInert) {
    // A station named as a spreadsheet formula, with a quote and a line break in it.
    const std::string station = "=HYPERLINK(\"http://x\")\nbay";
    auto connection = Open(url);
    QString error;
    const auto run =
        MadeRun("C", "q.toml", station, QDateTime(QDate(2026, 3, 2), QTime(8, 0), Qt::UTC),
                {{"A/D value", 150, 100, 200}});
    ASSERT_EQ(records::WriteRun(*connection, records::StoredRunOf(run, records::NewRunId()), error),
              records::Written::Stored)
        << error.toStdString();
    // Quoted as RFC 4180 says, and marked as text so that no spreadsheet runs it.
    const Ran yield = Program({"records", url.text, "yield", "--csv"});
    EXPECT_TRUE(
        yield.output.contains("q.toml,\"'=HYPERLINK(\"\"http://x\"\")\nbay\",2026-03-02,1,"))
        << yield.output.toStdString();
    // A negative number stays a number.
    EXPECT_FALSE(yield.output.contains("'-")) << yield.output.toStdString();
    // A serial is a value, never SQL.
    const Ran injected = Program({"records", url.text, "board", "A' OR '1'='1", "--csv"});
    EXPECT_EQ(injected.exitCode, 0);
    EXPECT_EQ(injected.output.count("\r\n"), 1) << injected.output.toStdString();
}

TEST_P(RecordsCommand, DrawsThePlotWithNoDisplay) {
    const QString plot = dir.filePath("line.png");
    const Ran ran = Program({"records", url.text, "yield", "--plot", plot});
    ASSERT_EQ(ran.exitCode, 0) << ran.output.toStdString();
    const QImage image(plot);
    ASSERT_FALSE(image.isNull());
    // Bars of each colour: first pass and final yield, and the one failing step.
    qint64 firstPass = 0, final = 0, failing = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            firstPass += pixel == qRgb(70, 130, 180);
            final += pixel == qRgb(60, 170, 110);
            failing += pixel == qRgb(200, 80, 70);
        }
    // The day's bars: first pass half as tall as the final yield.
    EXPECT_GT(final, 1000);
    EXPECT_NEAR(double(firstPass) / double(final), 0.5, 0.05);
    EXPECT_GT(failing, 1000);
}

TEST_P(RecordsCommand, RefusesWhatItCannotDo) {
    const struct {
        QStringList arguments;
        int exitCode;
    } cases[] = {
        {{"records", url.text, "tally"}, 2},
        {{"records", url.text, "board"}, 2},
        {{"records", url.text, "yield", "--csv", "--json"}, 2},
        {{"records", url.text, "yield", "--plot", "x.svg"}, 2},
        {{"records", "mysql://u@h/db", "yield"}, 2},
        {{"records", "sqlite:" + dir.filePath("missing.db"), "yield"}, 4},
        // The check refuses a URL it cannot use before anything is sent.
        {{"check", ZOV_SOURCE_DIR "/examples/smoke.toml", "--virtual-board", "--records",
          "mysql://u@h/db"},
         2},
        // An SQLite database that could never be opened: a folder, a device, a missing folder.
        {{"check", ZOV_SOURCE_DIR "/examples/smoke.toml", "--virtual-board", "--records",
          "sqlite:" + dir.path()},
         2},
        {{"check", ZOV_SOURCE_DIR "/examples/smoke.toml", "--virtual-board", "--records",
          "/dev/null"},
         2},
        {{"check", ZOV_SOURCE_DIR "/examples/smoke.toml", "--virtual-board", "--records",
          dir.filePath("missing/line.db")},
         2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Program(c.arguments).exitCode, c.exitCode) << c.arguments.join(' ').toStdString();
    // A password in the URL is refused, told where it goes instead, and never echoed.
    const QString secret = "postgresql://line:s3cret@db/records";
    for (const Ran& refused : {Program({"check", ZOV_SOURCE_DIR "/examples/smoke.toml",
                                        "--virtual-board", "--records", secret}),
                               Program({"records", secret, "yield"})}) {
        EXPECT_EQ(refused.exitCode, 2);
        EXPECT_FALSE(refused.errors.contains("s3cret")) << refused.errors.toStdString();
        EXPECT_TRUE(refused.errors.contains("PGPASSWORD")) << refused.errors.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, RecordsCommand, testing::Values("sqlite", "postgresql"),
                         [](const auto& info) { return info.param; });

} // namespace
