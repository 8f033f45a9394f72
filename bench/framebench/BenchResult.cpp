#include "BenchResult.h"

#include <algorithm>
#include <cmath>

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t index = size_t(std::lround(fraction * double(values.size() - 1)));
    return values[std::min(index, values.size() - 1)];
}
