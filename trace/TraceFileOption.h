#pragma once

#include "trace/ReportTrace.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <memory>
#include <optional>
#include <string>

namespace trace {

/// --trace <file>, the same in the window's command line and the board checks'.
QCommandLineOption TraceFileOption();

/// What a command line with a --trace but no file name is refused with.
inline constexpr const char* TraceNeedsFileName =
    "--trace needs a file name (or - for standard output)";

/// The file --trace names in `parser`, which took TraceFileOption(): empty when it was not
/// given. Answers nothing for a --trace with an empty name, which must be refused with
/// TraceNeedsFileName: "--trace=" would otherwise pass for no trace at all.
std::optional<QString> TraceFileOf(const QCommandLineParser& parser);

/// Opens the trace the --trace option names, for the window and the board checks alike. Whatever
/// goes wrong later is told on stderr after the program's name. Answers nullptr, having told
/// why on stderr, when the file cannot be written.
std::unique_ptr<ReportTrace> OpenTraceFileOption(const std::string& path);

} // namespace trace
