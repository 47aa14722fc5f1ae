#pragma once

#include "monitor/ReportLog.h"

#include <QByteArray>

namespace monitor {

/// The samples of one series as a chart shows them.
struct SeriesSamples {
    Series series;
    std::vector<Sample> samples;
};

/// The samples as CSV, one row each in time order: the time in seconds since `origin`, the
/// direction (in for the A/D value and input bits a board answered, out for the port D byte
/// the console wrote), the report's command code and the charted byte.
///
///     time_s,direction,code,value
///     12.345678,in,4,200
QByteArray samplesCsv(const std::vector<SeriesSamples>& series, Clock::time_point origin);

} // namespace monitor
