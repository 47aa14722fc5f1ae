#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

namespace stats {

/// Nearest-rank percentile of `values`, p in (0, 1]; reorders them. `values` is not empty.
template <class Value> Value Percentile(std::vector<Value>& values, double p) {
    const auto rank = static_cast<std::size_t>(std::ceil(p * double(values.size())));
    const auto nth = values.begin() + static_cast<std::ptrdiff_t>(
                                          std::clamp<std::size_t>(rank, 1, values.size()) - 1);
    std::nth_element(values.begin(), nth, values.end());
    return *nth;
}

} // namespace stats
