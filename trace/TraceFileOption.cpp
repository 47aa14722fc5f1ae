#include "trace/TraceFileOption.h"

#include <cstdio>

namespace hid {

std::unique_ptr<ReportTrace> OpenTraceFileOption(const std::string& path) {
    std::string error;
    auto trace = ReportTrace::open(path, error, [](const std::string& message) {
        std::fprintf(stderr, "zov-usb-test: %s\n", message.c_str());
    });
    if (!trace)
        std::fprintf(stderr, "zov-usb-test: cannot write the trace file %s: %s\n", path.c_str(),
                     error.c_str());
    return trace;
}

} // namespace hid
