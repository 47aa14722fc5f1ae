#include "check/CheckOptions.h"

#include "trace/TraceFileOption.h"

#include <QCommandLineParser>
#include <cstdio>
#include <cstdlib>

namespace check {
namespace {

[[noreturn]] void Refuse(const QCommandLineParser& parser, const QString& problem) {
    std::fprintf(stderr, "zov-usb-test check: %s\n\n%s", qPrintable(problem),
                 qPrintable(parser.helpText()));
    std::exit(BadCommand);
}

/// The value of a label option (--station-id, --operator), refused when it could not stand in a
/// record as one plain line: empty, holding a control character, or longer than LongestLabel.
std::optional<std::string> Label(const QCommandLineParser& parser,
                                 const QCommandLineOption& option) {
    if (!parser.isSet(option)) return std::nullopt;
    const QString value = parser.value(option);
    const QString name = "--" + option.names().first();
    const QList<uint> characters = value.toUcs4();
    if (characters.isEmpty()) Refuse(parser, name + " needs a value");
    if (characters.size() > LongestLabel)
        Refuse(parser, QString("%1 takes at most %2 characters, not %3")
                           .arg(name)
                           .arg(LongestLabel)
                           .arg(characters.size()));
    for (const uint c : characters)
        if (QChar::category(c) == QChar::Other_Control)
            Refuse(parser, QString("%1 cannot hold a control character (U+%2)")
                               .arg(name, QString::number(c, 16).toUpper().rightJustified(4, '0')));
    return value.toStdString();
}

} // namespace

CheckOptions ParseCheckOptions(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Runs the board checks of a plan (TOML) on the board, with no window but the station\n"
        "window (--window).\n"
        "Exit status (the last line printed, PASS, FAIL or ERROR, goes with it):\n"
        "  0 every step passed, and every record and trace asked for was written whole\n"
        "  1 the board failed a step or left during the run\n"
        "  2 a bad plan or command line; nothing was sent\n"
        "  3 no usable board (the records say so)\n"
        "  4 the check could not decide or could not write what was asked (a step in\n"
        "    error, such as an operator step with standard input not a terminal, writes\n"
        "    unsettled at the end, a record not written, trace lines lost, SIGINT or\n"
        "    SIGTERM before any step failed: the records skip the steps not run)\n"
        "With --station: 0 every board passed, 1 a board failed.\n"
        "The plan's prompt, ask and scan steps are answered at the terminal, or with --window\n"
        "in the station window.");
    parser.addPositionalArgument("check", "The command.");
    parser.addPositionalArgument("PLAN", "The plan file.");
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption virtualBoard("virtual-board", "Attach the built-in virtual board.");
    const QCommandLineOption virtualBench(
        "virtual-bench", "Attach the virtual boards of the bench <file> (TOML).", "file");
    const QCommandLineOption trace = trace::TraceFileOption();
    const QCommandLineOption wait(
        "wait", "Wait up to <seconds> for a usable board (default 0: it must be there).", "seconds",
        "0");
    const QCommandLineOption junit("junit", "Write a JUnit XML record to <file>.", "file");
    const QCommandLineOption json("json", "Write the whole record as JSON to <file>.", "file");
    const QCommandLineOption station(
        "station",
        "Station mode: check every board plugged in, several at once, until SIGINT or SIGTERM, "
        "writing each board's records to <dir> as <serial>-<UTC time>.json and .xml.",
        "dir");
    const QCommandLineOption window(
        "window", "With --station: show the station in a window of its own, where the operator "
                  "answers the plan's questions with the keyboard.");
    const QCommandLineOption stationId(
        "station-id", "Name this test station <id> in the records (at most 64 characters).", "id");
    const QCommandLineOption operatorName(
        "operator", "Name the operator <name> in the records (at most 64 characters).", "name");
    const QCommandLineOption records(
        "records",
        "Keep each run in the database <url> too: sqlite:PATH (or a plain PATH) or "
        "postgresql://USER@HOST[:PORT]/DATABASE. A run the database cannot take now waits in "
        "a spool and is delivered later.",
        "url");
    parser.addOptions({virtualBoard, virtualBench, trace, wait, junit, json, station, window,
                       stationId, operatorName, records});
    if (!parser.parse(arguments)) Refuse(parser, parser.errorText());
    // Bytes that are not UTF-8 reach here as U+FFFD: a path would name another file, a label
    // would be recorded as another text.
    for (const QString& argument : arguments)
        if (argument.contains(QChar::ReplacementCharacter))
            Refuse(parser, "an argument is not valid UTF-8 text (or holds U+FFFD): " + argument);
    if (parser.isSet(help)) parser.showHelp();
    const QStringList words = parser.positionalArguments();
    if (words.size() != 2) Refuse(parser, "give exactly one plan file");

    CheckOptions options;
    options.planPath = words[1];
    options.virtualBoard = parser.isSet(virtualBoard);
    options.benchFile = parser.value(virtualBench);
    if (parser.isSet(virtualBench) && options.benchFile.isEmpty())
        Refuse(parser, "--virtual-bench needs a file name");
    const std::optional<QString> traceFile = trace::TraceFileOf(parser);
    if (!traceFile) Refuse(parser, trace::TraceNeedsFileName);
    options.traceFile = *traceFile;
    bool number = false;
    const double seconds = parser.value(wait).toDouble(&number);
    if (!number || !(seconds >= 0 && seconds <= 86400))
        Refuse(parser, "--wait needs a number of seconds from 0 to 86400");
    options.session.wait = std::chrono::milliseconds(qRound64(seconds * 1000));
    options.jsonPath = parser.value(json);
    options.junitPath = parser.value(junit);
    options.stationId = Label(parser, stationId);
    options.operatorName = Label(parser, operatorName);
    options.recordsUrl = parser.value(records);
    if (parser.isSet(records) && options.recordsUrl.isEmpty())
        Refuse(parser, "--records needs a database URL");
    options.stationDir = parser.value(station);
    if (parser.isSet(station) && options.stationDir.isEmpty())
        Refuse(parser, "--station needs a records folder");
    options.window = parser.isSet(window);
    if (options.window && !parser.isSet(station)) Refuse(parser, "--window goes with --station");
    if (parser.isSet(station) && (parser.isSet(wait) || parser.isSet(junit) || parser.isSet(json)))
        Refuse(parser, "--station waits for each board and names its records itself: leave out "
                       "--wait, --junit and --json");
    return options;
}

} // namespace check
