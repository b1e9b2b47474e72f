#pragma once
#include <cmath>
#include <cstdint>
#include <limits>

// Rounding to the nearest integer with halves going to the even neighbour,
// independent of the floating-point environment's rounding mode.
inline double RoundEven(double x)
{
    if (!std::isfinite(x))
        return x;
    const double f = std::floor(x);
    const double d = x - f;  // exact for every double
    if (d > 0.5)
        return f + 1.0;
    if (d < 0.5)
        return f;
    return std::fmod(f, 2.0) == 0.0 ? f : f + 1.0;
}

// Round into an int32; false when the result does not fit (or x is not a number).
inline bool RoundToInt32(double x, int32_t& out)
{
    // Whole numbers in range, by far the most common, need no rounding.
    if (x >= -2147483648.0 && x <= 2147483647.0) {
        const auto i = static_cast<int32_t>(x);
        if (static_cast<double>(i) == x) {
            out = i;
            return true;
        }
    }
    const double r = RoundEven(x);
    if (!(r >= -2147483648.0 && r <= 2147483647.0))
        return false;
    out = static_cast<int32_t>(r);
    return true;
}

// Round into an int64, saturating at the ends of the range.
inline int64_t RoundToInt64Sat(double x)
{
    if (x >= -4.5e15 && x <= 4.5e15) {
        const auto i = static_cast<int64_t>(x);
        if (static_cast<double>(i) == x)
            return i;
    }
    const double r = RoundEven(x);
    if (std::isnan(r))
        return 0;
    if (r >= 9.2e18)
        return std::numeric_limits<int64_t>::max();
    if (r <= -9.2e18)
        return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(r);
}

// An int64 brought into the int32 range, saturating at its ends.
inline int32_t Clamp32(int64_t v)
{
    return static_cast<int32_t>(v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : v);
}
