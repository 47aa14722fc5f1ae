#include "monitor/SamplesCsv.h"

#include <algorithm>
#include <cstdio>

namespace monitor {

QByteArray samplesCsv(const std::vector<SeriesSamples>& series, Clock::time_point origin) {
    struct Row {
        const Sample* sample;
        bool out;
    };
    std::vector<Row> rows;
    for (const SeriesSamples& one : series)
        for (const Sample& sample : one.samples)
            rows.push_back({&sample, one.series == Series::PortD});
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Row& a, const Row& b) { return a.sample->time < b.sample->time; });

    QByteArray csv("time_s,direction,code,value\n");
    csv.reserve(csv.size() + qsizetype(rows.size()) * 24);
    char line[64];
    for (const Row& row : rows) {
        const auto micros =
            std::chrono::duration_cast<std::chrono::microseconds>(row.sample->time - origin)
                .count();
        const int length = std::snprintf(line, sizeof line, "%s%lld.%06lld,%s,%u,%u\n",
                                         micros < 0 ? "-" : "", std::llabs(micros) / 1'000'000,
                                         std::llabs(micros) % 1'000'000, row.out ? "out" : "in",
                                         unsigned(row.sample->code), unsigned(row.sample->value));
        csv.append(line, length);
    }
    return csv;
}

} // namespace monitor
