#pragma once

#include "trace/ReportTrace.h"

#include <memory>
#include <string>

namespace hid {

/// Opens the trace the --trace option names, for the window and the board checks alike. Whatever
/// goes wrong later is told on stderr after the program's name. Answers nullptr, having told
/// why on stderr, when the file cannot be written.
std::unique_ptr<ReportTrace> OpenTraceFileOption(const std::string& path);

} // namespace hid
