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
    parser.addOption(virtualBoard);
    parser.addOption(trace);
    parser.process(app);

    Options options;
    options.virtualBoard = parser.isSet(virtualBoard);
    options.traceFile = parser.value(trace);
    return options;
}
