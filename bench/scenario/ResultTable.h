#pragma once

#include <string>
#include <vector>

namespace bench {

/// The figures of a run, each beside its goal: told on stderr as they come, printed at the
/// end as one Markdown table.
class ResultTable {
public:
    /// `met` is "yes", "no" or "-" where no goal is set.
    void add(std::string measure, std::string figure, std::string goal, std::string met);
    void print() const;

private:
    struct Row {
        std::string measure;
        std::string figure;
        std::string goal;
        std::string met;
    };
    std::vector<Row> rows_;
};

inline const char* YesNo(bool met) {
    return met ? "yes" : "no";
}

} // namespace bench
