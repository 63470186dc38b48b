// The middle of a set of timings: steadier than their mean when a few calls stall.
#pragma once

#include <algorithm>
#include <vector>

// The middle value, or -1 when there is none.
inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1.0 : values[values.size() / 2];
}
