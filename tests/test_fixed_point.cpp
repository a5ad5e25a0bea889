// Fixed-point formatting of the 3DO text: exact strings for the rounding rule, the signed
// zeros, growing widths and the special values, the field layout at every integer length, and
// property tests against an independent oracle that applies the two-stage, ties-away rounding
// to the C library's exact expansion (tests/support/fixed_point_oracle.h). The value sets reach
// both sides of every limit of the formatter's arithmetic (mantissa widths, binary exponents,
// integer sizes); FormatInt is held to printf's "%*d".
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "support/fixed_point_oracle.h"
#include "writer3do/fixed_point.h"

namespace kesh {
namespace {

using test::ExactExpansion;
using test::IntBoundaryValues;
using test::RoundInTwoStages;

std::string Printf(const char* format, double value) {
    return test::PrintfInCLocale(format, value);
}

std::string Oracle(double value, int width, int decimals) {
    return test::FixedPointOracle(value, width, decimals);
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

float FloatFromBits(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A model's values are floats widened to double, printed with "%10.6f": every binary exponent
// from tiny values that print as zero to magnitudes beyond the ten columns, at the ends of the
// mantissa range and in between.
TEST(FormatFixed, MatchesTheOracleOnFloatsOfEveryExponentInTheModelFormat) {
    std::mt19937 random(23);
    for (uint32_t biased = 100; biased <= 142; ++biased) {
        std::vector<uint32_t> mantissas = {0, 1, 2, 0x400000, 0x7ffffe, 0x7fffff};
        for (int i = 0; i < 200; ++i)
            mantissas.push_back(random() & 0x7fffff);
        for (uint32_t mantissa : mantissas) {
            for (uint32_t sign : {0u, 0x80000000u}) {
                const float value = FloatFromBits(sign | biased << 23 | mantissa);
                ASSERT_EQ(FormatFixed(value, 10, 6), Oracle(value, 10, 6)) << Hex(value);
            }
        }
    }
    for (float special :
         {0.0f, -0.0f, 1e-30f, -1e-30f, 999.9999f, 1000.0f, -99.99999f, -100.0f,
          std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
          std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
          std::numeric_limits<float>::denorm_min()}) {
        EXPECT_EQ(FormatFixed(special, 10, 6), Oracle(special, 10, 6)) << Hex(special);
    }
}

// Where the first stage decides, the float is within a few units of its last place of a
// decimal tie x.xxxxxx5: the floats nearest such ties, and their neighbours.
TEST(FormatFixed, MatchesTheOracleOnFloatsNextToEveryKindOfTie) {
    std::mt19937 random(29);
    for (double scale : {1e-6, 1e-3, 1.0, 10.0, 100.0}) {
        for (int i = 0; i < 600; ++i) {
            const double whole = std::floor(scale * (random() % 1000));
            const double tie = whole + ((random() % 1000000) + 0.5) * 1e-6;
            float value = static_cast<float>(tie);
            for (int step = 0; step < 2; ++step)
                value = std::nextafter(value, 0.0f);
            for (int step = 0; step < 5; ++step) {
                for (float signed_ : {value, -value}) {
                    ASSERT_EQ(FormatFixed(signed_, 10, 6), Oracle(signed_, 10, 6)) << Hex(signed_);
                }
                value = std::nextafter(value, 2048.0f);
            }
        }
    }
}

TEST(FormatFixed, MatchesTheOracleOnRandomFloatsInTheModelFormat) {
    std::mt19937 random(31);
    char field[kMaxFixedChars + 10];
    for (int i = 0; i < 2000000; ++i) {
        const float value = FloatFromBits(static_cast<uint32_t>(random()));
        const size_t length = FormatFixed(field, value, 10, 6);
        ASSERT_EQ(std::string(field, length), Oracle(value, 10, 6)) << Hex(value);
    }
}

// The formatter takes a * 10^D (a = m * 2^e, m odd) in 64-bit arithmetic while m * 10^D
// * 2^max(e + 1, 0) fits 64 bits and -e < 64, in 128 bits below 2^63, with a big number from
// 2^63 on, and prints zero when a * 10^D < 1/4: every mantissa width at every binary exponent
// around those limits, with every number of decimals, reaches both sides of each.
TEST(FormatFixed, MatchesTheOracleOnBothSidesOfEveryArithmeticLimit) {
    int failures = 0;
    for (int bits = 1; bits <= 53; ++bits) {
        const uint64_t top = uint64_t{1} << (bits - 1);
        for (uint64_t mantissa : {top | 1, (top << 1) - 1, top | (top >> 1) | 1}) {
            for (int exponent = -100 - bits; exponent <= 72 - bits; ++exponent) {
                const double value = std::ldexp(static_cast<double>(mantissa), exponent);
                for (int decimals = 0; decimals <= 9; ++decimals) {
                    const double signedValue = (exponent & 1) != 0 ? -value : value;
                    const std::string ours = FormatFixed(signedValue, 10, decimals);
                    const std::string expected = Oracle(signedValue, 10, decimals);
                    if (ours != expected && ++failures <= 20) {
                        ADD_FAILURE()
                            << Hex(signedValue) << " with " << decimals << " decimals: got \""
                            << ours << "\", expected \"" << expected << "\"";
                    }
                }
            }
        }
    }
    EXPECT_EQ(failures, 0);
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
    // Either side of 2^63 = 9223372036854775808, where integers take the big number, and of
    // 2^70 = 1180591620717411303424.
    EXPECT_EQ(FormatFixed(0x1p+63, 10, 6), "9223372036854775800.000000");
    EXPECT_EQ(FormatFixed(-0x1.fffffffffffffp+62, 10, 6), "-9223372036854774800.000000");
    EXPECT_EQ(FormatFixed(0x1p+70, 10, 6), "1180591620717411300000.000000");
    EXPECT_EQ(FormatFixed(-0x1.fffffffffffffp+69, 10, 6), "-1180591620717411200000.000000");
    // A carry out of the integer digits adds one.
    EXPECT_EQ(FormatFixed(-999.9999995000001, 10, 6), "-1000.000000");
}

TEST(FormatFixed, WritesOnlyTheCharactersItReturns) {
    constexpr size_t kGuard = 16;
    std::vector<char> buffer(kMaxFixedChars + 10 + kGuard, '#');
    const size_t length = FormatFixed(buffer.data(), -std::numeric_limits<double>::max(), 10, 9);
    EXPECT_EQ(length, 1 + 309 + 1 + 9u);
    EXPECT_LE(length, kMaxFixedChars);
    EXPECT_EQ(buffer[length], '#');
    EXPECT_EQ(FormatFixed(buffer.data(), 1.5, 40, 2), 40u);
    EXPECT_EQ(std::string(buffer.data(), 40), std::string(36, ' ') + "1.50");
    // Nothing may reach past the text, whatever the lengths of the padding, the sign and the
    // integer part, and whichever arithmetic the value takes.
    for (double magnitude : {0.0, 0.25, 7.5, 12.125, 999.0, 1234.5, 99999.75, 1234567.0, 12345678.5,
                             123456789.0, 1e15, 0x1p-30}) {
        for (double value : {magnitude, -magnitude}) {
            for (int width = -1; width <= 20; ++width) {
                for (int decimals = 0; decimals <= 9; ++decimals) {
                    std::fill(buffer.begin(), buffer.end(), '#');
                    const size_t written = FormatFixed(buffer.data(), value, width, decimals);
                    ASSERT_EQ(std::string(buffer.data(), written), Oracle(value, width, decimals))
                        << value << " " << width << " " << decimals;
                    ASSERT_EQ(std::count(buffer.begin() + static_cast<std::ptrdiff_t>(written),
                                         buffer.end(), '#'),
                              static_cast<std::ptrdiff_t>(buffer.size() - written))
                        << value << " " << width << " " << decimals;
                }
            }
        }
    }
}

TEST(FormatFixed, AlignsEveryIntegerLengthAndSignInTheModelFormat) {
    // Integer parts of 1 to 10 digits, with and without a sign, in fields narrower, as wide
    // as and wider than the text.
    EXPECT_EQ(FormatFixed(-1.5, 10, 6), " -1.500000");
    EXPECT_EQ(FormatFixed(-12.5, 10, 6), "-12.500000");
    EXPECT_EQ(FormatFixed(-123.5, 10, 6), "-123.500000");
    EXPECT_EQ(FormatFixed(12345678.5, 10, 6), "12345678.500000");
    EXPECT_EQ(FormatFixed(-1234567.5, 10, 6), "-1234567.500000");
    EXPECT_EQ(FormatFixed(-12345678.5, 10, 6), "-12345678.500000");
    EXPECT_EQ(FormatFixed(123456789.5, 10, 6), "123456789.500000");
    EXPECT_EQ(FormatFixed(-0.25, 15, 6), "      -0.250000");
    EXPECT_EQ(FormatFixed(-0.25, 16, 6), "       -0.250000");
    EXPECT_EQ(FormatFixed(0.25, 0, 6), "0.250000");
    EXPECT_EQ(FormatFixed(-0.25, -3, 6), "-0.250000");
    int64_t whole = 0;
    for (int digits = 1; digits <= 10; ++digits) {
        whole = whole * 10 + digits % 10;
        for (double value :
             {static_cast<double>(whole) + 0.0625, -static_cast<double>(whole) - 0.5}) {
            for (int width : {0, 8, 9, 10, 14, 15, 16, 17, 19}) {
                EXPECT_EQ(FormatFixed(value, width, 6), Oracle(value, width, 6)) << Hex(value);
            }
        }
    }
}

TEST(FormatFixed, WritesEverySixDigitFractionInTheModelFormat) {
    // Every fraction of six decimals, under integer parts of each length and sign that keep
    // the text within ten columns; none of these values lies near a rounding tie. (-0.0 is
    // left out: it prints without its sign.)
    char field[kMaxFixedChars + 10];
    char expected[16];
    const std::pair<int, bool> wholes[] = {{0, false}, {7, false}, {42, false}, {999, false},
                                           {0, true},  {3, true},  {99, true}};
    for (const auto& [whole, negative] : wholes) {
        for (int micros = negative && whole == 0 ? 1 : 0; micros < 1000000; ++micros) {
            const double magnitude = whole + micros / 1e6;
            const double value = negative ? -magnitude : magnitude;
            const size_t length = FormatFixed(field, value, 10, 6);
            // The expected text built from the integers: sign, whole, point, six digits.
            char* end = expected + sizeof expected;
            for (int digit = 0, rest = micros; digit < 6; ++digit, rest /= 10)
                *--end = static_cast<char>('0' + rest % 10);
            *--end = '.';
            int rest = whole;
            do {
                *--end = static_cast<char>('0' + rest % 10);
                rest /= 10;
            } while (rest > 0);
            if (negative) *--end = '-';
            const std::string text(end, expected + sizeof expected);
            ASSERT_EQ(std::string(field, length), std::string(10 - text.size(), ' ') + text)
                << whole << " " << micros;
        }
    }
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
    for (int i = 0; i < 60000; ++i) {
        // The float nearest a decimal tie at the seventh or the fifth decimal, and its float
        // neighbours: what a model holds, next to the rounding boundaries.
        const double value = std::pow(10.0, -7.0 + 12.0 * unit());
        const std::string text = Printf((i & 1) != 0 ? "%.6e" : "%.4e", value);
        const size_t exponent = text.find('e');
        const float near =
            std::strtof((text.substr(0, exponent) + '5' + text.substr(exponent)).c_str(), nullptr);
        for (float v : {near, std::nextafter(near, 0.0f), std::nextafter(near, 1e30f)}) {
            values.push_back(v);
            values.push_back(-v);
        }
    }
    for (int i = 0; i < 200000; ++i) {
        // Mantissas of every width from 1 to 53 bits at binary exponents from -80 to 80: both
        // sides of the limits of the 64-bit arithmetic (product of mantissa and power of ten,
        // shift, integer digits).
        const int bits = 1 + static_cast<int>(random() % 53);
        const uint64_t mantissa = (random() >> (64 - bits)) | (uint64_t{1} << (bits - 1));
        const int exponent = static_cast<int>(random() % 161) - 80 - bits;
        const double value = std::ldexp(static_cast<double>(mantissa), exponent);
        values.push_back((random() & 1) != 0 ? -value : value);
    }
    for (int power = 0; power <= 22; ++power) {
        // Integers and their neighbours around each power of ten: the first stage starts
        // dropping digits at 17.
        const double tenth = std::pow(10.0, power);
        for (double v : {tenth, std::nextafter(tenth, 0.0), std::nextafter(tenth, 1e300), tenth - 1,
                         tenth + 1, tenth - 0.5, tenth + 0.5}) {
            values.push_back(v);
            values.push_back(-v);
        }
    }
    for (int power : {31, 32, 33, 52, 53, 56, 57, 58, 62, 63, 64, 65, 69, 70, 71}) {
        const double two = std::ldexp(1.0, power);
        for (double v : {two, std::nextafter(two, 0.0), std::nextafter(two, 1e300)}) {
            values.push_back(v);
            values.push_back(-v);
        }
    }
    // Zeros, floats that only round to zero, subnormal floats and doubles, the extremes.
    for (double v : {0.0, -0.0, 4e-7, 4.9999e-7, 5e-7, 4e-5, 5e-5, 1e-10, 1e-30, 1e-300}) {
        values.push_back(v);
        values.push_back(-v);
        values.push_back(static_cast<float>(v));
        values.push_back(-static_cast<float>(v));
    }
    for (int i = 0; i < 10000; ++i) {
        const uint32_t fieldBits = static_cast<uint32_t>(random()) & 0x807fffff;
        float subnormal;
        std::memcpy(&subnormal, &fieldBits, sizeof subnormal);
        values.push_back(subnormal);
        values.push_back(std::ldexp(static_cast<double>(random() >> 12), -1074));
    }
    for (double v : {static_cast<double>(std::numeric_limits<float>::max()),
                     static_cast<double>(std::numeric_limits<float>::min()),
                     std::numeric_limits<double>::max(), std::numeric_limits<double>::min()}) {
        values.push_back(v);
        values.push_back(-v);
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

// The expected text for `value` in each (width, decimals), compared; counts the differences
// and reports the first few.
void ExpectOracle(double value, const std::vector<std::pair<int, int>>& formats, int& failures) {
    const std::string exact = std::isfinite(value) ? ExactExpansion(value) : std::string();
    for (const auto& [width, decimals] : formats) {
        const std::string ours = FormatFixed(value, width, decimals);
        const std::string expected = std::isfinite(value)
                                         ? RoundInTwoStages(exact, value < 0, width, decimals)
                                         : Oracle(value, width, decimals);
        if (ours != expected && ++failures <= 20) {
            ADD_FAILURE() << Hex(value) << " with width " << width << " and " << decimals
                          << " decimals: got \"" << ours << "\", expected \"" << expected << "\"";
        }
    }
}

TEST(FormatFixed, MatchesTheTwoStageOracleOnManyValues) {
    int failures = 0;
    for (double value : PropertyValues())
        ExpectOracle(value, {{10, 6}, {12, 4}}, failures);
    EXPECT_EQ(failures, 0);
}

TEST(FormatFixed, MatchesTheTwoStageOracleForEveryNumberOfDecimals) {
    // Every 8th value of the set with each number of decimals from 0 to 9 (and out of range,
    // clamped), in a width that varies from value to value.
    constexpr int kWidths[] = {0, 1, 7, 10, 12, 15, 16, 17, 24};
    const std::vector<double> values = PropertyValues();
    int failures = 0;
    for (size_t i = 0; i < values.size(); i += 8) {
        std::vector<std::pair<int, int>> formats;
        for (int decimals = 0; decimals <= 9; ++decimals)
            formats.emplace_back(kWidths[(i / 8 + static_cast<size_t>(decimals)) % 9], decimals);
        ExpectOracle(values[i], formats, failures);
    }
    for (double value : {0.5, -1.25, 1e-9, 123.456}) {
        EXPECT_EQ(FormatFixed(value, 10, -1), FormatFixed(value, 10, 0));
        EXPECT_EQ(FormatFixed(value, 10, 12), FormatFixed(value, 10, 9));
    }
    EXPECT_EQ(failures, 0);
}

TEST(FormatInt, WritesExamples) {
    EXPECT_EQ(FormatInt(0, 5), "    0");
    EXPECT_EQ(FormatInt(-1, 3), " -1");
    EXPECT_EQ(FormatInt(123456, 5), "123456");
    EXPECT_EQ(FormatInt(-12345, 5), "-12345");
    EXPECT_EQ(FormatInt(42, 0), "42");
    EXPECT_EQ(FormatInt(42, -4), "42");
    EXPECT_EQ(FormatInt(std::numeric_limits<int64_t>::min(), 0), "-9223372036854775808");
    EXPECT_EQ(FormatInt(std::numeric_limits<int64_t>::max(), 25), "      9223372036854775807");
}

TEST(FormatInt, MatchesPrintfForEveryDigitCountSignAndWidth) {
    for (int64_t value : IntBoundaryValues()) {
        for (int width = -2; width <= 24; ++width) {
            char expected[64];
            std::snprintf(expected, sizeof expected, "%*" PRId64, std::max(width, 0), value);
            ASSERT_EQ(FormatInt(value, width), expected) << value << " in " << width;
        }
    }
}

TEST(FormatInt, WritesOnlyTheCharactersItReturns) {
    constexpr size_t kGuard = 16;
    for (int64_t value : IntBoundaryValues()) {
        for (int width : {0, 1, 5, 19, 20, 21, 40}) {
            std::vector<char> buffer(std::max<size_t>(kMaxIntChars, width) + kGuard, '#');
            const size_t written = FormatInt(buffer.data(), value, width);
            ASSERT_EQ(std::string(buffer.data(), written), FormatInt(value, width));
            ASSERT_EQ(std::count(buffer.begin() + static_cast<std::ptrdiff_t>(written),
                                 buffer.end(), '#'),
                      static_cast<std::ptrdiff_t>(buffer.size() - written))
                << value << " in " << width;
        }
    }
}

}  // namespace
}  // namespace kesh
