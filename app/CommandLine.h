#pragma once

#include <QString>
#include <QStringList>
#include <optional>

namespace app {

/// What the command line asks for.
struct Options {
    bool virtualBoard = false; ///< attach the built-in virtual board
    QString benchFile;         ///< attach the virtual boards of this bench file; empty for none
    bool monitor = false;      ///< open the board monitor beside the main window
    QString traceFile; ///< write every report to this file ("-": standard output); empty for none
};

/// What to make of options the program does not know. Qt's own (-platform, -style, ...) stay
/// in the command line until QApplication takes them out, which needs a display.
enum class UnknownOptions {
    Refuse, ///< a mistake: told with the usage
    Defer,  ///< perhaps Qt's: no answer yet, the line is read again from QApplication's arguments
};

/// Reads `arguments` (the program's path first); --help, --help-all and --version print and
/// end the program here, and so does a command line it cannot follow (unknown option, a word
/// that is no option, --trace or --virtual-bench without a file name), with the problem and the
/// usage on stderr and exit code 2. Needs no display, nor any application object: the usage names
/// the path. Empty only for a line with unknown options and `unknown` Defer.
std::optional<Options> ParseCommandLine(const QStringList& arguments, UnknownOptions unknown);

} // namespace app
