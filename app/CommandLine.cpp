#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

namespace {

/// A command line the program cannot follow: what is wrong, then the usage, on stderr.
[[noreturn]] void Refuse(const QCommandLineParser& parser, const QString& problem) {
    std::fprintf(stderr, "zov-usb-test: %s\n\n%s", qPrintable(problem),
                 qPrintable(parser.helpText()));
    std::exit(2);
}

} // namespace

Options ParseCommandLine(const QCoreApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Test console for the ZOV-USB HID board (vendor id 0x1234, product id 0x0001).");
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption virtualBoard(
        "virtual-board", "Attach the built-in virtual board, with its own window.");
    const QCommandLineOption trace(
        "trace", "Write one line per report in and out to <file> (- for standard output).", "file");
    const QCommandLineOption monitor(
        "monitor", "Open the board monitor: the board's readings, traffic and answer times.");
    parser.addOption(virtualBoard);
    parser.addOption(monitor);
    parser.addOption(trace);
    if (!parser.parse(app.arguments())) Refuse(parser, parser.errorText());
    // --help-all as well: Qt adds it with the help option.
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) parser.showHelp();
    if (parser.isSet(version)) parser.showVersion();
    // The program takes options only; a stray word is most likely a mistyped one.
    if (!parser.positionalArguments().isEmpty())
        Refuse(parser, QStringLiteral("unexpected argument '%1'; the program takes options only")
                           .arg(parser.positionalArguments().first()));

    Options options;
    options.virtualBoard = parser.isSet(virtualBoard);
    options.monitor = parser.isSet(monitor);
    options.traceFile = parser.value(trace);
    // "--trace=" would otherwise pass for no trace at all.
    if (parser.isSet(trace) && options.traceFile.isEmpty())
        Refuse(parser, "--trace needs a file name (or - for standard output)");
    return options;
}
