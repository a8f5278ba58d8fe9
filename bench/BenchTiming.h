// Timing helpers of the benchmark's programs: the performance counter in milliseconds and the
// quantiles of a set of times.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

namespace bench {

inline double NowMs()
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER now;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The value at fraction (0 to 1) of the sorted times: 0.5 the median, 0.25 and 0.75 the quartiles.
inline double Quantile(std::vector<double> times, double fraction)
{
    if (times.empty())
        return 0.0;
    std::sort(times.begin(), times.end());
    return times[static_cast<size_t>(fraction * static_cast<double>(times.size() - 1) + 0.5)];
}

inline double Median(const std::vector<double>& times) { return Quantile(times, 0.5); }

// The ratio of each time to the time measured beside it (same run or round): times[i] / beside[i].
// Their median is steadier than the ratio of two medians when the machine's load drifts during
// the measurement, since each pair saw about the same load.
inline std::vector<double> PairedRatios(const std::vector<double>& times, const std::vector<double>& beside)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < times.size() && i < beside.size(); ++i)
        ratios.push_back(times[i] / beside[i]);
    return ratios;
}

} // namespace bench
