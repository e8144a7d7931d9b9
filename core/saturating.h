// Float to integer conversions that cannot overflow: values beyond int's range give its nearest
// end, NaN gives 0 (a cast of such a value is undefined behaviour). Files hold any float.
#pragma once

#include <cmath>
#include <limits>

namespace solvane {

// The value truncated toward zero, saturated at int's range.
inline int TruncateToInt(double value)
{
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

}  // namespace solvane
