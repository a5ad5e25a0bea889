#include "support/fixed_point_oracle.h"

#include <locale.h>
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <limits>

namespace kesh::test {
namespace {

// Rounds the digit string at `keep` digits, half away from zero, and zeroes the dropped
// digits; a carry out of the first digit prepends a '1' and moves the point one place right.
void RoundDigitsAt(std::string& digits, size_t& point, size_t keep) {
    if (keep >= digits.size()) return;
    const bool up = digits[keep] >= '5';
    std::fill(digits.begin() + static_cast<std::ptrdiff_t>(keep), digits.end(), '0');
    if (!up) return;
    size_t i = keep;
    while (i > 0 && digits[i - 1] == '9')
        digits[--i] = '0';
    if (i > 0) {
        ++digits[i - 1];
    } else {
        digits.insert(digits.begin(), '1');
        ++point;
    }
}

}  // namespace

std::string PrintfInCLocale(const char* format, double value) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    const locale_t previous = uselocale(cLocale);
    char text[1600];
    std::snprintf(text, sizeof text, format, value);
    uselocale(previous);
    return text;
}

std::string ExactExpansion(double value) {
    // The lowest bit of a double of binary exponent e is worth 2^(e - 52), 2^-1074 at the
    // least, and 2^-k has exactly k decimals.
    const int decimals = value == 0 ? 10 : std::clamp(52 - std::ilogb(value), 10, 1074);
    char format[32];
    std::snprintf(format, sizeof format, "%%.%df", decimals);
    return PrintfInCLocale(format, std::fabs(value));
}

std::string RoundInTwoStages(const std::string& exact, bool negative, int width, int decimals) {
    size_t point = exact.find('.');
    std::string digits = exact.substr(0, point) + exact.substr(point + 1);
    const size_t first = digits.find_first_not_of('0');
    if (first != std::string::npos) RoundDigitsAt(digits, point, first + 17);
    RoundDigitsAt(digits, point, point + static_cast<size_t>(decimals));
    const size_t wholeStart = std::min(digits.find_first_not_of('0'), point - 1);
    std::string text = negative ? "-" : "";
    text += digits.substr(wholeStart, point - wholeStart);
    if (decimals > 0) {
        text += '.';
        text += digits.substr(point, static_cast<size_t>(decimals));
    }
    if (width > 0 && text.size() < static_cast<size_t>(width))
        text.insert(0, static_cast<size_t>(width) - text.size(), ' ');
    return text;
}

std::string FixedPointOracle(double value, int width, int decimals) {
    if (!std::isfinite(value)) {
        char format[32];
        // A negative width would be printf's left-alignment flag; it means no padding here.
        std::snprintf(format, sizeof format, "%%%d.%df", std::max(width, 0), decimals);
        return PrintfInCLocale(format, value);
    }
    return RoundInTwoStages(ExactExpansion(value), value < 0, width, decimals);
}

std::vector<int64_t> IntBoundaryValues() {
    std::vector<int64_t> values = {0, std::numeric_limits<int64_t>::min(),
                                   std::numeric_limits<int64_t>::max()};
    for (int64_t p = 1; p <= std::numeric_limits<int64_t>::max() / 10; p *= 10) {
        for (int64_t v : {p - 1, p, p + 1, 10 * p - 1}) {
            values.push_back(v);
            values.push_back(-v);
        }
    }
    return values;
}

}  // namespace kesh::test
