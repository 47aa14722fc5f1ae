#pragma once

#include <QString>

class QCoreApplication;

/// What the command line asks for.
struct Options {
    bool virtualBoard = false; ///< attach the built-in virtual board
    bool monitor = false;      ///< open the board monitor beside the main window
    QString traceFile; ///< write every report to this file ("-": standard output); empty for none
};

/// Reads the command line; --help and --version print and end the program here, and so does
/// a command line it cannot follow (unknown option, a word that is no option, --trace without
/// a file name), with the problem and the usage on stderr and exit code 2.
Options ParseCommandLine(const QCoreApplication& app);
