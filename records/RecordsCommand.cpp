#include "records/RecordsCommand.h"

#include "hid/TerminalText.h"
#include "records/Connection.h"
#include "records/DatabaseUrl.h"
#include "records/Plot.h"
#include "records/Queries.h"
#include "records/Schema.h"
#include "records/TableOutput.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <thread>
#include <unistd.h>

namespace records {
namespace {

enum ExitCode { Done = 0, BadCommand = 2, Unreadable = 4 };

const QStringList Commands{"yield", "failures", "board", "capability", "export"};

struct Request {
    DatabaseUrl url;
    QString command;
    QString serial; ///< board's
    bool plot = false;
};

struct Answer {
    std::optional<Table> table;
    std::optional<Table> yield;    ///< for the plot
    std::optional<Table> failures; ///< for the plot
    QString error;
};

void Fail(const QString& problem) {
    std::fprintf(stderr, "zov-usb-test records: %s\n",
                 hid::TerminalText(problem.toStdString()).c_str());
}

[[noreturn]] void Refuse(const QCommandLineParser& parser, const QString& problem) {
    Fail(problem);
    std::fprintf(stderr, "\n%s", qPrintable(parser.helpText()));
    std::exit(BadCommand);
}

/// Runs the request's queries on a connection of the calling thread's own.
Answer Ask(const Request& request) {
    Answer answer;
    if (request.url.kind == DatabaseUrl::Kind::Sqlite && !QFileInfo(request.url.path).isFile()) {
        answer.error = "no records database " + request.url.path;
        return answer;
    }
    // A database of this program's schema is only read, so that anyone who may read it may
    // query it; an older one is brought to it first.
    auto connection = Connection::open(request.url, answer.error, Connection::Access::Read);
    if (!connection) return answer;
    const int version = SchemaVersion(*connection, answer.error);
    if (version < 0) return answer;
    if (version != LatestSchema) {
        connection = Connection::open(request.url, answer.error);
        if (!connection || !Migrate(*connection, answer.error)) return answer;
    }
    QString& error = answer.error;
    const QString& command = request.command;
    answer.table = command == "yield"        ? YieldTable(*connection, error)
                   : command == "failures"   ? FailureTable(*connection, error)
                   : command == "board"      ? BoardTable(*connection, request.serial, error)
                   : command == "capability" ? CapabilityTable(*connection, error)
                                             : ExportTable(*connection, error);
    if (answer.table && request.plot) {
        answer.yield = YieldTable(*connection, error);
        answer.failures = FailureTable(*connection, error);
    }
    return answer;
}

bool WriteOut(const QByteArray& bytes) {
    return std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout) ==
               std::size_t(bytes.size()) &&
           std::fflush(stdout) == 0;
}

} // namespace

int RunRecordsCommand(int& argc, char** argv) {
    // The plot is drawn with no display: the offscreen platform gives the fonts. The
    // application comes first, so that the usage names the program.
    bool plotting = false;
    for (int i = 2; i < argc; ++i)
        plotting = plotting || std::string_view(argv[i]).starts_with("--plot");
    if (plotting) qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::unique_ptr<QCoreApplication> app =
        plotting ? std::make_unique<QGuiApplication>(argc, argv)
                 : std::make_unique<QCoreApplication>(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Queries the run records a line keeps (check --records URL).\n"
        "Commands:\n"
        "  yield        first-pass and final yield by plan, station and day\n"
        "  failures     the failing figures, most failures first, with the values that broke\n"
        "               each limit\n"
        "  board SERIAL every run of the board\n"
        "  capability   count, mean, standard deviation and Cpk of each measured number\n"
        "  export       every step result with its run (CSV, or JSON with --json)\n"
        "Plain aligned text on a terminal, CSV otherwise or with --csv.");
    parser.addPositionalArgument("records", "The command.");
    parser.addPositionalArgument("URL", "sqlite:PATH, PATH or postgresql://USER@HOST[:PORT]/DB");
    parser.addPositionalArgument("COMMAND", Commands.join(", "));
    parser.addHelpOption();
    const QCommandLineOption csv("csv", "Write CSV, even to a terminal.");
    const QCommandLineOption json("json", "Write a JSON array of rows.");
    const QCommandLineOption plot(
        "plot", "Also draw the yield per day and the failing steps into <file> (PNG).", "file");
    parser.addOptions({csv, json, plot});
    if (!parser.parse(arguments)) Refuse(parser, parser.errorText());
    if (parser.isSet("help")) parser.showHelp();
    const QStringList words = parser.positionalArguments();
    if (words.size() < 3) Refuse(parser, "give the database URL and a command");
    Request request;
    request.command = words[2];
    if (!Commands.contains(request.command))
        Refuse(parser, "no command " + request.command + "; the commands: " + Commands.join(", "));
    const qsizetype expected = request.command == "board" ? 4 : 3;
    if (words.size() != expected)
        Refuse(parser, request.command == "board" ? "board needs one serial number"
                                                  : request.command + " takes no more words");
    if (request.command == "board") request.serial = words[3];
    if (parser.isSet(csv) && parser.isSet(json)) Refuse(parser, "give --csv or --json, not both");
    QString error;
    const auto url = ParseDatabaseUrl(words[1], error);
    if (!url) Refuse(parser, error);
    request.url = *url;
    const QString plotFile = parser.value(plot);
    request.plot = parser.isSet(plot);
    if (request.plot && !plotFile.endsWith(".png", Qt::CaseInsensitive))
        Refuse(parser, "--plot writes PNG: give a file name ending .png");

    // The database is read on a thread of its own, as everywhere in the program.
    Answer answer;
    std::thread([&] { answer = Ask(request); }).join();
    if (!answer.table) {
        Fail(answer.error);
        return Unreadable;
    }
    const bool asCsv =
        parser.isSet(csv) ||
        (!parser.isSet(json) && (request.command == "export" || !isatty(STDOUT_FILENO)));
    const QByteArray output = parser.isSet(json) ? TableJson(*answer.table)
                              : asCsv            ? TableCsv(*answer.table)
                                                 : TableText(*answer.table);
    if (!WriteOut(output)) {
        Fail("standard output could not be written");
        return Unreadable;
    }
    if (request.plot) {
        if (!answer.yield || !answer.failures) {
            Fail(answer.error);
            return Unreadable;
        }
        if (!DrawPlot(*answer.yield, *answer.failures, plotFile, error)) {
            Fail("cannot write the plot " + plotFile + ": " + error);
            return Unreadable;
        }
    }
    return Done;
}

} // namespace records
