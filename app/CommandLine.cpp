#include "app/CommandLine.h"

#include "trace/TraceFileOption.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

namespace app {

namespace {

/// The help text with `program` in its usage line: without an application object the parser
/// has no path to name there.
QString HelpText(const QCommandLineParser& parser, const QString& program) {
    QString text = parser.helpText();
    const qsizetype end = text.indexOf(QStringLiteral(" [options]"));
    if (text.startsWith(QStringLiteral("Usage: ")) && end > 0) text.replace(7, end - 7, program);
    return text;
}

/// A command line the program cannot follow: what is wrong, then the usage, on stderr.
[[noreturn]] void Refuse(const QString& usage, const QString& problem) {
    std::fprintf(stderr, "zov-usb-test: %s\n\n%s", qPrintable(problem), qPrintable(usage));
    std::exit(2);
}

/// Prints `text` on standard output and ends the program.
[[noreturn]] void Answer(const QString& text) {
    std::fputs(qPrintable(text), stdout);
    std::exit(0);
}

} // namespace

std::optional<Options> ParseCommandLine(const QStringList& arguments, UnknownOptions unknown) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Test console for the ZOV-USB HID board (vendor id 0x1234, product id 0x0001).\n"
        "'zov-usb-test check PLAN' runs a plan's board checks with no window; see "
        "'zov-usb-test check --help'. 'zov-usb-test records URL COMMAND' queries the run "
        "records a line keeps; see 'zov-usb-test records --help'.");
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption virtualBoard(
        "virtual-board", "Attach the built-in virtual board, with its own window.");
    const QCommandLineOption virtualBench(
        "virtual-bench",
        "Attach the virtual boards of the bench <file> (TOML), after the built-in board when "
        "--virtual-board is given too.",
        "file");
    const QCommandLineOption trace = trace::TraceFileOption();
    const QCommandLineOption monitor(
        "monitor", "Open the board monitor: the board's readings, traffic and answer times.");
    parser.addOption(virtualBoard);
    parser.addOption(virtualBench);
    parser.addOption(monitor);
    parser.addOption(trace);
    const QString usage = HelpText(parser, arguments.value(0, QStringLiteral("zov-usb-test")));
    if (!parser.parse(arguments)) {
        if (unknown == UnknownOptions::Defer && !parser.unknownOptionNames().isEmpty())
            return std::nullopt;
        Refuse(usage, parser.errorText());
    }
    // --help-all as well: Qt adds it with the help option.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) Answer(usage);
    if (parser.isSet(version))
        Answer(QCoreApplication::applicationName() + ' ' + QCoreApplication::applicationVersion() +
               '\n');
    // The program takes options only; a stray word is most likely a mistyped one.
    if (!parser.positionalArguments().isEmpty())
        Refuse(usage, QStringLiteral("unexpected argument '%1'; the program takes options only")
                          .arg(parser.positionalArguments().first()));

    Options options;
    options.virtualBoard = parser.isSet(virtualBoard);
    options.benchFile = parser.value(virtualBench);
    if (parser.isSet(virtualBench) && options.benchFile.isEmpty())
        Refuse(usage, "--virtual-bench needs a file name");
    options.monitor = parser.isSet(monitor);
    const std::optional<QString> traceFile = trace::TraceFileOf(parser);
    if (!traceFile) Refuse(usage, trace::TraceNeedsFileName);
    options.traceFile = *traceFile;
    return options;
}

} // namespace app
