#include "trace/TraceFileOption.h"

#include "hid/TerminalText.h"

#include <cstdio>

namespace trace {

QCommandLineOption TraceFileOption() {
    return QCommandLineOption(
        "trace", "Write one line per report in and out to <file> (- for standard output).", "file");
}

std::optional<QString> TraceFileOf(const QCommandLineParser& parser) {
    const QString name = TraceFileOption().names().first();
    const QString file = parser.value(name);
    if (parser.isSet(name) && file.isEmpty()) return std::nullopt;
    return file;
}

std::unique_ptr<ReportTrace> OpenTraceFileOption(const std::string& path) {
    std::string error;
    auto trace = ReportTrace::open(path, error, [](const std::string& message) {
        std::fprintf(stderr, "zov-usb-test: %s\n", hid::TerminalText(message).c_str());
    });
    if (!trace)
        std::fprintf(stderr, "zov-usb-test: cannot write the trace file %s: %s\n",
                     hid::TerminalText(path).c_str(), hid::TerminalText(error).c_str());
    return trace;
}

} // namespace trace
