#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

Options ParseCommandLine(const QCoreApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Test console for the ZOV-USB HID board (vendor id 0x1234, product id 0x0001).");
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption virtualBoard(
        "virtual-board", "Attach the built-in virtual board, with its own window.");
    const QCommandLineOption trace("trace", "Write one line per report in and out to <file>.",
                                   "file");
    const QCommandLineOption monitor(
        "monitor", "Open the board monitor: the board's readings, traffic and answer times.");
    parser.addOption(virtualBoard);
    parser.addOption(monitor);
    parser.addOption(trace);
    parser.process(app);

    Options options;
    options.virtualBoard = parser.isSet(virtualBoard);
    options.monitor = parser.isSet(monitor);
    options.traceFile = parser.value(trace);
    return options;
}
