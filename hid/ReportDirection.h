#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>

namespace hid {

// Every direction once, in order: its name, its word in a trace line, its title in the board
// monitor and its word in a count of reports (a check's summary and record). The trace words
// are the trace file's format: a reader of old traces needs them kept.
//   Out      an output report the device took whole
//   In       an input report a device delivered
//   Dropped  an input report thrown away unread
//   Failed   an output report the device took but could not send
//   Refused  an output report no device took (none attached, or its write queue full)
#define ZOV_REPORT_DIRECTIONS(X)                                                                   \
    X(Out, "out", "Out", "sent")                                                                   \
    X(In, "in", "In", "received")                                                                  \
    X(Dropped, "drop", "Dropped", "dropped")                                                       \
    X(Failed, "fail", "Failed", "failed")                                                          \
    X(Refused, "refuse", "Refused", "refused")

/// What became of one report, as the layer accounts for it.
enum class ReportDirection {
#define ZOV_DIRECTION_ENUMERATOR(name, word, title, counted) name,
    ZOV_REPORT_DIRECTIONS(ZOV_DIRECTION_ENUMERATOR)
#undef ZOV_DIRECTION_ENUMERATOR
};

struct ReportDirectionNames {
    ReportDirection direction;
    const char* traceWord;
    const char* title;
    const char* countWord;
};

/// Every direction with its names, in the order of the enum.
inline constexpr ReportDirectionNames ReportDirections[] = {
#define ZOV_DIRECTION_NAMES(name, word, title, counted)                                            \
    {ReportDirection::name, word, title, counted},
    ZOV_REPORT_DIRECTIONS(ZOV_DIRECTION_NAMES)
#undef ZOV_DIRECTION_NAMES
};

inline constexpr std::size_t ReportDirectionCount = std::size(ReportDirections);

constexpr std::size_t directionIndex(ReportDirection direction) {
    return static_cast<std::size_t>(direction);
}
constexpr const char* traceWord(ReportDirection direction) {
    return ReportDirections[directionIndex(direction)].traceWord;
}
constexpr const char* title(ReportDirection direction) {
    return ReportDirections[directionIndex(direction)].title;
}

/// How many reports went each way, by directionIndex.
using DirectionCounts = std::array<std::uint64_t, ReportDirectionCount>;

#undef ZOV_REPORT_DIRECTIONS

} // namespace hid
