#pragma once

#include <QString>

class QCoreApplication;

/// What the command line asks for.
struct Options {
    bool virtualBoard = false; ///< attach the built-in virtual board
    bool monitor = false;      ///< open the board monitor beside the main window
    QString traceFile;         ///< write every report to this file; empty for none
};

/// Reads the command line; --help and --version print and end the program here.
Options ParseCommandLine(const QCoreApplication& app);
