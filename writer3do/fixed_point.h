// Fixed-point number formatting for the 3DO text, as printf's "%W.Df" would print in the C
// locale, but with the 3DO rounding rule: the exact value is first rounded to 17 significant
// decimal digits, that digit string then to D decimals, each time with ties away from zero.
// A zero (negative zero included) prints without a sign; a negative value that only rounds
// to zero keeps its '-'. Infinities and NaNs print as glibc prints them ("inf", "-nan").
// Never depends on the process locale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kesh {

// Longest text FormatFixed can produce before padding: the sign, 309 integer digits, the
// point and up to 9 decimals, with room to spare.
inline constexpr size_t kMaxFixedChars = 328;

// Writes `value` with `decimals` decimals (clamped to 0..9; no point for 0), right-aligned
// with blanks to `width` columns (none when width <= 0; the text grows when longer), into
// `out`, which must hold kMaxFixedChars + width characters. Returns the number of characters
// written; nothing past them is touched and no terminator is added. Allocates nothing.
size_t FormatFixed(char* out, double value, int width, int decimals);

// The same, as a string.
std::string FormatFixed(double value, int width, int decimals);

inline constexpr size_t kMaxIntChars = 20;
// "%*d": `value` right-aligned with blanks in `width` columns, growing when longer, into `out`,
// which must hold max(width, kMaxIntChars) characters. Returns the number written.
size_t FormatInt(char* out, int64_t value, int width);

}  // namespace kesh
