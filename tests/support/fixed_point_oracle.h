// The text FormatFixed must write, found by a slow route of its own: the C library's exact
// decimal expansion of the double, rounded as a digit string in two stages (to 17 significant
// digits, then to the decimals, each time half away from zero), with the formatter's sign
// rule. Shared by the property tests and the fuzz harness.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kesh::test {

// What the C library prints for `format` and `value` in the C locale, whatever the process
// locale.
std::string PrintfInCLocale(const char* format, double value);

// Every decimal digit of |value| (finite), and at least ten decimals: "0.0078125000".
std::string ExactExpansion(double value);

// The field for an exact expansion: rounded in two stages to `decimals` (0..9) decimals, '-'
// when `negative`, right-aligned with blanks in `width` columns.
std::string RoundInTwoStages(const std::string& exact, bool negative, int width, int decimals);

// What FormatFixed(value, width, decimals) must return, for decimals 0..9. A zero prints
// without a sign and every other negative value with one; infinities and NaNs print as the C
// library prints them.
std::string FixedPointOracle(double value, int width, int decimals);

// Integers for the "%*d" fields: every power of ten and its neighbours, both signs, and the
// ends of the range.
std::vector<int64_t> IntBoundaryValues();

}  // namespace kesh::test
