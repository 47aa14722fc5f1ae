#pragma once

#include "check/CheckSession.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

namespace check {

/// What `zov-usb-test check` is asked for.
struct CheckOptions {
    QString planPath;
    bool virtualBoard = false;
    QString benchFile;   ///< --virtual-bench; empty for none
    QString traceFile;   ///< empty for none
    QString stationDir;  ///< station mode's records folder; empty for a single check
    bool window = false; ///< station mode in a window (stationwindow/) instead of the terminal
    QString jsonPath;    ///< empty: no JSON record
    QString junitPath;   ///< empty: no JUnit record
    QString recordsUrl;  ///< --records: the database each run is kept in; empty for none
    /// --station-id and --operator, carried into the records; none when not given.
    std::optional<std::string> stationId;
    std::optional<std::string> operatorName;
    SessionOptions session;
};

/// Reads the arguments after the program's name, "check" first. --help prints and ends the
/// program; a command line it cannot follow ends it with the problem, the usage and exit code 2.
CheckOptions ParseCheckOptions(const QStringList& arguments);

/// The most characters a --station-id or --operator may have.
inline constexpr qsizetype LongestLabel = 64;

} // namespace check
