// The median the benchmarks print of their repeated runs: one slow run on a shared machine
// does not move it.
#pragma once

#include <algorithm>
#include <vector>

inline double median(std::vector<double> values, double whenEmpty = 0) {
    std::sort(values.begin(), values.end());
    return values.empty() ? whenEmpty : values[values.size() / 2];
}
