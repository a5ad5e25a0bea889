// Number formatting for the 3DO text, independent of the process locale.
//
// FormatFixed prints like printf's "%W.Df" in the C locale, except for the rounding, which
// happens in two stages: the exact binary value is first reduced to its 17 leading
// significant decimal digits, and that digit string is then rounded to D decimals; in both
// stages a tie goes away from zero (0.0078125 prints as "0.007813"). A zero, negative zero
// included, prints without a sign; a negative value that only rounds to zero keeps its '-'.
// Infinities and NaNs print as glibc prints them ("inf", "-inf", "nan", "-nan").
//
// FormatInt prints like printf's "%*d".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kesh {

// Longest text FormatFixed writes before its padding: the sign, 309 integer digits, the point
// and 9 decimals, with room to spare.
inline constexpr size_t kMaxFixedChars = 328;

// Writes `value` with `decimals` decimals (clamped to 0..9; no point for 0), right-aligned
// with blanks in `width` columns (none when width <= 0; the text grows when longer), into
// `out`, which must hold kMaxFixedChars + max(width, 0) characters. Returns the number of
// characters written; nothing past them is touched and no terminator is added. Allocates
// nothing.
size_t FormatFixed(char* out, double value, int width, int decimals);

// The same, as a string.
std::string FormatFixed(double value, int width, int decimals);

// Longest text FormatInt writes before its padding: "-9223372036854775808".
inline constexpr size_t kMaxIntChars = 20;

// Writes `value` right-aligned with blanks in `width` columns, growing when longer, into
// `out`, which must hold max(width, kMaxIntChars) characters. Returns the number of
// characters written; nothing past them is touched and no terminator is added.
size_t FormatInt(char* out, int64_t value, int width);

// The same, as a string.
std::string FormatInt(int64_t value, int width);

}  // namespace kesh
