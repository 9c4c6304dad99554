// How every bench reports: one figure per line as "name: value", and the median of its runs.
#pragma once

#include <algorithm>
#include <cstdio>

inline void print(const char *name, double value, int decimals = 3)
{
    std::printf("%s: %.*f\n", name, decimals, value);
    std::fflush(stdout);
}

template <typename Samples> double median(Samples samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}
