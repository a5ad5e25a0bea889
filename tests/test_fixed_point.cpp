// Fixed-point formatting of the 3DO text: exact strings for the rounding rule, the signed
// zeros, growing widths and the special values, and a property test against an independent
// oracle that applies the two-stage, ties-away rounding to the C library's exact expansion.
#include <gtest/gtest.h>

#include <locale.h>
#include <algorithm>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "writer3do/fixed_point.h"

namespace kesh {
namespace {

// Makes the C locale the calling thread's locale for the scope's lifetime.
class CLocaleScope {
  public:
    CLocaleScope() : locale_(newlocale(LC_ALL_MASK, "C", nullptr)), previous_(uselocale(locale_)) {}
    ~CLocaleScope() {
        uselocale(previous_);
        freelocale(locale_);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

  private:
    locale_t locale_;
    locale_t previous_;
};

// What glibc prints for `format`; it rounds the exact binary value half to even.
std::string Printf(const char* format, double value) {
    CLocaleScope cLocale;
    char text[1600];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// Rounds the digit string at `keep` digits, half away from zero, and zeroes the dropped
// digits; a carry out of the first digit prepends a '1' and moves the point.
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

// The exact decimal expansion of |value|, printed by the C library: the lowest bit of a
// double of binary exponent e is 2^(e - 52), 2^-1074 at the least, and has that many
// decimals. At least ten are printed, so that every rounding position exists.
std::string ExactExpansion(double value) {
    char format[32];
    const int decimals = value == 0 ? 10 : std::clamp(52 - std::ilogb(value), 10, 1074);
    std::snprintf(format, sizeof format, "%%.%df", decimals);
    return Printf(format, std::fabs(value));
}

// The expected text: the exact expansion rounded to 17 significant digits, then to
// `decimals` decimals, both half away from zero.
std::string TwoStage(const std::string& exact, bool negative, int width, int decimals) {
    size_t point = exact.find('.');
    std::string digits = exact.substr(0, point) + exact.substr(point + 1);
    const size_t first = digits.find_first_not_of('0');
    if (first != std::string::npos) RoundDigitsAt(digits, point, first + 17);
    RoundDigitsAt(digits, point, point + static_cast<size_t>(decimals));
    const size_t intStart = std::min(digits.find_first_not_of('0'), point - 1);
    std::string text = negative ? "-" : "";
    text += digits.substr(intStart, point - intStart);
    if (decimals > 0) {
        text += '.';
        text += digits.substr(point, static_cast<size_t>(decimals));
    }
    if (text.size() < static_cast<size_t>(width)) text.insert(0, width - text.size(), ' ');
    return text;
}

std::string Oracle(double value, int width, int decimals) {
    if (!std::isfinite(value)) {
        char format[32];
        std::snprintf(format, sizeof format, "%%%d.%df", width, decimals);
        return Printf(format, value);
    }
    return TwoStage(ExactExpansion(value), value < 0, width, decimals);
}

std::string Hex(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%a", value);
    return text;
}

double FromText(const std::string& text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

TEST(FormatFixed, WritesTheModelFileExamples) {
    EXPECT_EQ(FormatFixed(0.0078125, 10, 6), "  0.007813");
    EXPECT_EQ(FormatFixed(0.0, 10, 6), "  0.000000");
    EXPECT_EQ(FormatFixed(0.0, 12, 4), "      0.0000");
    EXPECT_EQ(FormatFixed(1.0, 10, 6), "  1.000000");
    EXPECT_EQ(FormatFixed(-0.5, 10, 6), " -0.500000");
    EXPECT_EQ(FormatFixed(2.0, 10, 6), "  2.000000");
}

TEST(FormatFixed, PrintsZeroWithoutSignButKeepsTheSignOfValuesThatRoundToZero) {
    EXPECT_EQ(FormatFixed(-0.0, 10, 6), "  0.000000");
    EXPECT_EQ(FormatFixed(-0.0, 12, 4), "      0.0000");
    EXPECT_EQ(FormatFixed(-0.0000004, 10, 6), " -0.000000");
    EXPECT_EQ(FormatFixed(-0.00004, 12, 4), "     -0.0000");
    EXPECT_EQ(FormatFixed(static_cast<double>(-0.0000004f), 10, 6), " -0.000000");
    EXPECT_EQ(FormatFixed(0.0000004, 10, 6), "  0.000000");
}

TEST(FormatFixed, RoundsExactTiesAwayFromZero) {
    // Odd multiples of 2^-7 are the exact ties at the seventh decimal.
    EXPECT_EQ(FormatFixed(-0.0078125, 10, 6), " -0.007813");
    EXPECT_EQ(FormatFixed(0.0234375, 10, 6), "  0.023438");
    EXPECT_EQ(FormatFixed(-0.0234375, 10, 6), " -0.023438");
    EXPECT_EQ(FormatFixed(1.0078125, 10, 6), "  1.007813");
    EXPECT_EQ(FormatFixed(-100.9921875, 10, 6), "-100.992188");
    EXPECT_EQ(FormatFixed(static_cast<double>(0.0078125f), 10, 6), "  0.007813");
    // Odd multiples of 2^-5 are the ties at the fifth decimal.
    EXPECT_EQ(FormatFixed(0.03125, 12, 4), "      0.0313");
    EXPECT_EQ(FormatFixed(-2.53125, 12, 4), "     -2.5313");
    EXPECT_EQ(FormatFixed(0.5, 5, 0), "    1");
    EXPECT_EQ(FormatFixed(-2.5, 5, 0), "   -3");
    // glibc rounds these to even.
    EXPECT_EQ(Printf("%10.6f", 0.0078125), "  0.007812");
    EXPECT_EQ(Printf("%12.4f", 0.03125), "      0.0312");
}

TEST(FormatFixed, RoundsTheSeventeenDigitStringNotTheExactValue) {
    // 100.0000005 is 100.00000049999999873762...: its 17 leading digits end in ...050000000,
    // a tie at the seventh decimal.
    EXPECT_EQ(FormatFixed(100.0000005, 10, 6), "100.000001");
    EXPECT_EQ(FormatFixed(1.0000015, 10, 6), "  1.000002");
    EXPECT_EQ(FormatFixed(-12.0000065, 10, 6), "-12.000007");
    EXPECT_EQ(Printf("%10.6f", 100.0000005), "100.000000");
    // 5e-7 is 4.99999999999999977396...e-7, whose 17 digits still end below the tie.
    EXPECT_EQ(FormatFixed(5e-7, 10, 6), "  0.000000");
    EXPECT_EQ(FormatFixed(std::nextafter(5e-7, 1.0), 10, 6), "  0.000001");
}

TEST(FormatFixed, FindsValuesWhereTheTwoStagesDifferFromOneRounding) {
    int differing = 0;
    for (int k = 0; k < 4000; ++k) {
        for (const char* whole : {"0", "1", "12", "100", "-3"}) {
            const std::string fraction = std::to_string(1000000 + k).substr(1);
            const double value = FromText(std::string(whole) + "." + fraction + "5");
            const std::string ours = FormatFixed(value, 10, 6);
            ASSERT_EQ(ours, Oracle(value, 10, 6)) << Hex(value);
            if (ours != Printf("%10.6f", value)) ++differing;
        }
    }
    EXPECT_GT(differing, 1000);
}

TEST(FormatFixed, GrowsBeyondTheWidthAndPrintsEveryIntegerDigit) {
    EXPECT_EQ(FormatFixed(123456.5, 10, 6), "123456.500000");
    EXPECT_EQ(FormatFixed(-1234567.25, 12, 4), "-1234567.2500");
    EXPECT_EQ(FormatFixed(1e20, 10, 6), "100000000000000000000.000000");
    EXPECT_EQ(FormatFixed(1e16 + 2, 10, 6), "10000000000000002.000000");
    // 1e300 is 1.00000000000000005250...e300; only 17 digits survive, the last rounded up.
    EXPECT_EQ(FormatFixed(-1e300, 10, 6), "-10000000000000001" + std::string(284, '0') + ".000000");
    const double largest = std::numeric_limits<double>::max();
    EXPECT_EQ(FormatFixed(largest, 10, 6), "17976931348623157" + std::string(292, '0') + ".000000");
    EXPECT_EQ(FormatFixed(-largest, 12, 4), "-17976931348623157" + std::string(292, '0') + ".0000");
    // Either side of 2^70 = 1180591620717411303424.
    EXPECT_EQ(FormatFixed(0x1p+70, 10, 6), "1180591620717411300000.000000");
    EXPECT_EQ(FormatFixed(-0x1.fffffffffffffp+69, 10, 6), "-1180591620717411200000.000000");
    // A carry out of the integer digits adds one.
    EXPECT_EQ(FormatFixed(-999.9999995000001, 10, 6), "-1000.000000");
}

TEST(FormatFixed, WritesNoMoreThanTheLongestTextIntoTheCallersBuffer) {
    std::vector<char> buffer(kMaxFixedChars + 10 + 16, '#');
    const size_t length = FormatFixed(buffer.data(), -std::numeric_limits<double>::max(), 10, 9);
    EXPECT_EQ(length, 1 + 309 + 1 + 9u);
    EXPECT_LE(length, kMaxFixedChars);
    EXPECT_EQ(buffer[length], '#');
    EXPECT_EQ(FormatFixed(buffer.data(), 1.5, 40, 2), 40u);
    EXPECT_EQ(std::string(buffer.data(), 40), std::string(36, ' ') + "1.50");
}

TEST(FormatFixed, RoundsDenormalsAndTinyValuesToZero) {
    const double smallest = std::numeric_limits<double>::denorm_min();
    EXPECT_EQ(FormatFixed(smallest, 10, 6), "  0.000000");
    EXPECT_EQ(FormatFixed(-smallest, 10, 6), " -0.000000");
    EXPECT_EQ(FormatFixed(std::numeric_limits<double>::min(), 12, 4), "      0.0000");
    EXPECT_EQ(FormatFixed(static_cast<double>(-std::numeric_limits<float>::denorm_min()), 10, 6),
              " -0.000000");
    EXPECT_EQ(FormatFixed(1e-9, 5, 9), "0.000000001");
}

TEST(FormatFixed, PrintsInfinityAndNanAsTheCLibraryDoes) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(FormatFixed(inf, 10, 6), "       inf");
    EXPECT_EQ(FormatFixed(-inf, 10, 6), "      -inf");
    EXPECT_EQ(FormatFixed(nan, 12, 4), "         nan");
    EXPECT_EQ(FormatFixed(-nan, 10, 6), "      -nan");
    EXPECT_EQ(FormatFixed(static_cast<double>(std::numeric_limits<float>::signaling_NaN()), 10, 6),
              Printf("%10.6f", static_cast<double>(std::numeric_limits<float>::signaling_NaN())));
    EXPECT_EQ(FormatFixed(-inf, 2, 6), "-inf");
    EXPECT_EQ(FormatFixed(-nan, 10, 6), Printf("%10.6f", -nan));
}

TEST(FormatFixed, WritesFourDecimalsAndNoPointForZeroDecimals) {
    EXPECT_EQ(FormatFixed(3.14159, 12, 4), "      3.1416");
    // -99.99995 is -99.99994999999999834...; the next double down is -99.99995000000001255...
    EXPECT_EQ(FormatFixed(-99.99995, 12, 4), "    -99.9999");
    EXPECT_EQ(FormatFixed(std::nextafter(-99.99995, -1e9), 12, 4), "   -100.0000");
    EXPECT_EQ(FormatFixed(0.9999995, 10, 6), "  1.000000");
    EXPECT_EQ(FormatFixed(255.75, 4, 0), " 256");
    EXPECT_EQ(FormatFixed(7.0, 0, 0), "7");
}

TEST(FormatFixed, IgnoresTheProcessLocale) {
    const char* const candidates[] = {"de_DE.UTF-8", "de_DE.utf8",  "fr_FR.UTF-8", "fr_FR.utf8",
                                      "ru_RU.UTF-8", "it_IT.UTF-8", "nl_NL.UTF-8", "es_ES.UTF-8",
                                      "pt_BR.UTF-8", "de_DE",       "fr_FR"};
    const std::string before = FormatFixed(-1234.5678125, 10, 6);
    bool commaLocale = false;
    for (const char* name : candidates) {
        if (std::setlocale(LC_ALL, name) != nullptr &&
            std::strcmp(std::localeconv()->decimal_point, ",") == 0) {
            commaLocale = true;
            break;
        }
    }
    if (!commaLocale) {
        std::setlocale(LC_ALL, "C");
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    }
    const std::string during = FormatFixed(-1234.5678125, 10, 6);
    const std::string small = FormatFixed(0.5, 10, 6);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(during, before);
    EXPECT_EQ(small, "  0.500000");
}

// Values spread over the magnitudes of model files, the ties and their neighbours, and
// arbitrary bit patterns; each checked with "%10.6f" and "%12.4f".
std::vector<double> PropertyValues() {
    std::mt19937_64 random(20240611);
    auto unit = [&random] { return static_cast<double>(random() >> 11) * 0x1p-53; };
    auto spread = [&] {
        const double magnitude = std::pow(10.0, -9.0 + 21.0 * unit());
        return (random() & 1) != 0 ? -magnitude : magnitude;
    };
    std::vector<double> values;
    for (int i = 0; i < 1000000; ++i)
        values.push_back(spread());
    for (int i = 0; i < 500000; ++i)
        values.push_back(static_cast<float>(spread()));
    for (int i = 0; i < 250000; ++i) {
        const uint64_t bits = random();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        values.push_back(value);
    }
    for (int i = 0; i < 250000; ++i) {
        const uint32_t bits = static_cast<uint32_t>(random());
        float value;
        std::memcpy(&value, &bits, sizeof value);
        values.push_back(value);
    }
    for (int i = 0; i < 30000; ++i) {
        // An exact tie at the seventh or the fifth decimal, and both its neighbours.
        const double whole = std::floor(std::pow(10.0, 7.0 * unit()));
        const double step = (i & 1) != 0 ? 0x1p-7 : 0x1p-5;
        const double value = whole + step * static_cast<double>(2 * (random() % 64) + 1);
        for (double v : {value, std::nextafter(value, 0.0), std::nextafter(value, 1e300)}) {
            values.push_back(v);
            values.push_back(-v);
        }
    }
    for (int i = 0; i < 30000; ++i) {
        // The double nearest a decimal tie at the seventh decimal, and its neighbours.
        const double value = std::pow(10.0, -7.0 + 13.0 * unit());
        const std::string text = Printf("%.6e", value);
        const size_t exponent = text.find('e');
        std::string tie = text.substr(0, exponent);
        tie += '5';
        tie += text.substr(exponent);
        const double near = FromText(tie);
        for (double v : {near, std::nextafter(near, 0.0), std::nextafter(near, 1e300)}) {
            values.push_back(v);
            values.push_back(-v);
        }
    }
    return values;
}

TEST(FormatFixed, MatchesTheTwoStageOracleOnManyValues) {
    int failures = 0;
    for (double value : PropertyValues()) {
        const std::string exact = std::isfinite(value) ? ExactExpansion(value) : std::string();
        for (const auto& [width, decimals] : {std::pair{10, 6}, std::pair{12, 4}}) {
            const std::string ours = FormatFixed(value, width, decimals);
            const std::string expected = std::isfinite(value)
                                             ? TwoStage(exact, value < 0, width, decimals)
                                             : Oracle(value, width, decimals);
            if (ours != expected && ++failures <= 20) {
                ADD_FAILURE() << Hex(value) << " with " << decimals << " decimals: got \"" << ours
                              << "\", expected \"" << expected << "\"";
            }
        }
    }
    EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace kesh
