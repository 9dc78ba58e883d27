#pragma once
// Float-to-int conversion rounds to the nearest integer, halves to even (the
// FPU's default mode; the program never changes it). A value that is not a
// finite number in int range gives 0, so a bad input can never become an
// out-of-range index.
#include <cmath>
#include <cstdint>

namespace vonkel {

inline int32_t roundToInt(double x) {
    if (!(x > -2147483648.0 && x < 2147483647.0)) return 0;
    return static_cast<int32_t>(std::lrint(x));
}

// A 32-bit float constant widened to double, as every decimal constant of
// the game is used: the arithmetic is double, the constant is the float.
constexpr double f32(float x) { return static_cast<double>(x); }

inline int clampInt(int x, int lo, int hi) { return x < lo ? lo : (x > hi ? hi : x); }

// Remainder in 0..n-1 also for negative x.
inline int wrapIndex(int x, int n) {
    int r = x % n;
    return r < 0 ? r + n : r;
}

}  // namespace vonkel
