#include "bench/scenario/ResultTable.h"

#include <cstdio>

namespace bench {

void ResultTable::add(std::string measure, std::string figure, std::string goal, std::string met) {
    rows_.push_back({std::move(measure), std::move(figure), std::move(goal), std::move(met)});
    const Row& row = rows_.back();
    std::fprintf(stderr, "  %s: %s  [goal: %s] %s\n", row.measure.c_str(), row.figure.c_str(),
                 row.goal.c_str(), row.met.c_str());
}

void ResultTable::print() const {
    std::printf("| Measure | Figure | Goal | Met |\n|---|---|---|---|\n");
    for (const Row& row : rows_)
        std::printf("| %s | %s | %s | %s |\n", row.measure.c_str(), row.figure.c_str(),
                    row.goal.c_str(), row.met.c_str());
}

} // namespace bench
