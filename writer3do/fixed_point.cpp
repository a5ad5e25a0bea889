// Fixed-point and integer formatting for the 3DO text.
//
// A finite double is a = mantissa * 2^exponent. With D decimals, the text shows N * 10^-D, N
// being a * 10^D rounded by both stages. a * 10^D is formed exactly as whole + fraction /
// 2^shift, in 64-bit arithmetic when it fits (a model's floats widened to double, with six
// decimals), else in 128 bits, and RoundTwoStages decides N. Integers of 2^63 and more go
// through a small base-10^9 big number; values far below half a unit of the last decimal are 0.
#include "writer3do/fixed_point.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string_view>

namespace kesh {
namespace {

__extension__ typedef unsigned __int128 Uint128;

constexpr int kMaxDecimals = 9;
// The first stage keeps this many significant digits.
constexpr int kKeptDigits = 17;

// 10^0 .. 10^38: every power of ten below 2^128.
constexpr std::array<Uint128, 39> kPow10 = [] {
    std::array<Uint128, 39> table{};
    Uint128 power = 1;
    for (Uint128& entry : table) {
        entry = power;
        power *= 10;
    }
    return table;
}();

// "00", "01", .. "99": the digits are written two at a time.
constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> table{};
    for (int i = 0; i < 100; ++i) {
        table[2 * i] = static_cast<char>('0' + i / 10);
        table[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return table;
}();

int BitWidth(uint64_t v) {
    return static_cast<int>(std::bit_width(v));
}

int BitWidth(Uint128 v) {
    const auto high = static_cast<uint64_t>(v >> 64);
    return high != 0 ? 64 + BitWidth(high) : BitWidth(static_cast<uint64_t>(v));
}

// Number of decimal digits of v (uint64_t or Uint128); 1 for 0.
template <typename U>
int DigitCount(U v) {
    // The bit width times log10(2) gives the count or one less; the table tells which. Setting
    // the lowest bit changes no count (powers of ten above 1 are even) and makes 0 count one.
    const U odd = v | 1;
    const int guess = (BitWidth(odd) * 1233) >> 12;
    return guess + (odd >= kPow10[guess] ? 1 : 0);
}

// Writes the `count` lowest decimal digits of v, leading zeros included, so that they end
// just before `end`.
[[gnu::always_inline]] inline void PutDigits(char* end, uint64_t v, int count) {
    // Most numbers fit 32 bits, whose divisions are cheaper.
    if (v <= UINT32_MAX) {
        auto small = static_cast<uint32_t>(v);
        for (; count >= 2; count -= 2) {
            end -= 2;
            std::memcpy(end, &kDigitPairs[2 * (small % 100)], 2);
            small /= 100;
        }
        if (count == 1) end[-1] = static_cast<char>('0' + small % 10);
        return;
    }
    for (; count >= 2; count -= 2) {
        end -= 2;
        std::memcpy(end, &kDigitPairs[2 * (v % 100)], 2);
        v /= 100;
    }
    if (count == 1) end[-1] = static_cast<char>('0' + v % 10);
}

// Whether (1/2 - f) * 10^t <= 1/2, as (half - fraction) * 10^t <= half, for the t fraction
// digits that the first stage keeps of whole + f: see RoundTwoStages. Rarely needed, so out
// of the way of the usual path.
template <typename U>
[[gnu::noinline, gnu::cold]] bool GapRoundsUp(U whole, U gap, U half) {
    const int t = kKeptDigits - (whole == 0 ? 0 : DigitCount(whole));
    U product;
    // A product too large for U is above half.
    return !__builtin_mul_overflow(gap, static_cast<U>(kPow10[t]), &product) && product <= half;
}

// Rounds x = whole + fraction / (2 * half), fraction < 2 * half, to an integer in two stages:
// first to 17 significant digits, then that digit string to no decimals, each time half away
// from zero.
template <typename U>
[[gnu::always_inline]] inline U RoundTwoStages(U whole, U fraction, U half) {
    if (whole >= kPow10[kKeptDigits - 1]) {
        // The 17 digits all lie in whole. The fraction only counts when none of whole's digits
        // is dropped; otherwise the first dropped digit decides.
        const int dropped = DigitCount(whole) - kKeptDigits;
        const auto unit = static_cast<U>(kPow10[dropped]);
        const U rest = whole % unit;
        const bool up = dropped == 0 ? fraction >= half : rest >= unit / 2;
        return whole - rest + (up ? unit : 0);
    }
    // The first stage keeps t = 17 - digits(whole) fraction digits (17 when whole is 0: where
    // the outcome is in doubt, f is near 1/2 and its first digit is its first significant one).
    // The result is whole + 1 when f >= 1/2, or when those t digits round f up to 1/2, that is
    // when (1/2 - f) * 10^t <= 1/2: (half - fraction) * 10^t <= half.
    bool up = fraction >= half;
    // 10^t >= 10, so only a gap of at most half / 10 can pass the exact test.
    if (!up && half - fraction <= half / 10) [[unlikely]] {
        up = GapRoundsUp<U>(whole, half - fraction, half);
    }
    return whole + (up ? 1 : 0);
}

[[gnu::noinline]] void PutManyBlanks(char* out, size_t count) {
    std::memset(out, ' ', count);
}

// Writes the blanks that right-align `length` characters in `width` columns; returns how many.
[[gnu::always_inline]] inline size_t PutPadding(char* out, int width, size_t length) {
    const size_t columns = static_cast<size_t>(std::max(width, 0));
    const size_t padding = columns > length ? columns - length : 0;
    // A field's few blanks as two overlapping stores rather than a library call.
    if (padding >= 4 && padding <= 8) {
        std::memcpy(out, "    ", 4);
        std::memcpy(out + padding - 4, "    ", 4);
    } else if (padding >= 2 && padding <= 3) {
        std::memcpy(out, "  ", 2);
        std::memcpy(out + padding - 2, "  ", 2);
    } else if (padding == 1) {
        *out = ' ';
    } else if (padding > 8) [[unlikely]] {
        PutManyBlanks(out, padding);
    }
    return padding;
}

// Writes "-" when negative, whole, `zeros` zeros and, when decimals > 0, the point and the
// `decimals` lowest digits of fraction, right-aligned in `width` columns; returns the length.
// The length is known beforehand, so the digits go straight to their place, back to front.
size_t PutNumber(char* out, bool negative, uint64_t whole, int zeros, uint64_t fraction,
                 int decimals, int width) {
    const int wholeDigits = DigitCount(whole);
    const size_t length = static_cast<size_t>((negative ? 1 : 0) + wholeDigits + zeros +
                                              (decimals > 0 ? decimals + 1 : 0));
    char* const begin = out + PutPadding(out, width, length);
    char* end = begin + length;
    if (decimals > 0) {
        PutDigits(end, fraction, decimals);
        end -= decimals + 1;
        *end = '.';
    }
    if (zeros > 0) {
        end -= zeros;
        std::memset(end, '0', static_cast<size_t>(zeros));
    }
    PutDigits(end, whole, wholeDigits);
    if (negative) *begin = '-';
    return static_cast<size_t>(begin + length - out);
}

// "%10.6f" of rounded * 10^-6 when that is below 1000 (below 100 when negative), the field
// of nearly every number of a model: three columns for blanks, the sign and the integer
// digits, then the point and six decimals, filled without counting digits.
size_t PutUsualField(char* out, bool negative, uint64_t rounded) {
    // Below 10^9: 32-bit arithmetic, each pair of decimals from the value itself, in short,
    // independent steps.
    const auto value = static_cast<uint32_t>(rounded);
    const uint32_t whole = value / 1000000;
    const uint32_t micros = value - whole * 1000000;
    std::memcpy(out + 4, &kDigitPairs[2 * (micros / 10000)], 2);
    std::memcpy(out + 6, &kDigitPairs[2 * (micros / 100 % 100)], 2);
    std::memcpy(out + 8, &kDigitPairs[2 * (micros % 100)], 2);
    out[3] = '.';
    const char sign = negative ? '-' : ' ';
    out[0] = whole >= 100 ? static_cast<char>('0' + whole / 100) : whole >= 10 ? sign : ' ';
    out[1] = whole >= 10 ? static_cast<char>('0' + whole / 10 % 10) : sign;
    out[2] = static_cast<char>('0' + whole % 10);
    return 10;
}

[[gnu::noinline, gnu::cold]] size_t PutNonFinite(char* out, bool negative, bool nan, int width) {
    const std::string_view text = nan ? (negative ? "-nan" : "nan") : (negative ? "-inf" : "inf");
    const size_t padding = PutPadding(out, width, text.size());
    std::memcpy(out + padding, text.data(), text.size());
    return padding + text.size();
}

// Writes a = mantissa * 2^exponent (below 2^63) with `decimals` decimals, as PutNumber does,
// working out a * 10^decimals in the arithmetic of U, which must hold mantissa * 10^decimals *
// 2^(exponent + 1) and have more than -exponent bits.
template <typename U>
size_t PutScaled(char* out, bool negative, uint64_t mantissa, int exponent, int decimals,
                 int width) {
    // An integer gets one fraction bit, zero, so that every value has a half.
    const int shift = exponent < 0 ? -exponent : 1;
    const auto unit = static_cast<U>(kPow10[decimals]);
    const U scaled = static_cast<U>(mantissa) * unit << (exponent < 0 ? 0 : exponent + 1);
    const U half = U{1} << (shift - 1);
    const U rounded = RoundTwoStages<U>(scaled >> shift, scaled & (2 * half - 1), half);
    // Below 2^63, the integer part fits 64 bits even after rounding up.
    return PutNumber(out, negative, static_cast<uint64_t>(rounded / unit), 0,
                     static_cast<uint64_t>(rounded % unit), decimals, width);
}

// Writes the integer mantissa * 2^exponent, of 2^63 or more, reduced to its 17 significant
// digits and followed by zeros, as PutNumber does. The digits come from a big number in base
// 10^9, exact up to the largest double.
size_t PutLargeInteger(char* out, bool negative, uint64_t mantissa, int exponent, int decimals,
                       int width) {
    constexpr uint32_t kLimbBase = 1000000000;
    std::array<uint32_t, 36> limbs{};  // 36 limbs of 9 digits hold the 309 digits of any double
    int count = 0;
    for (; mantissa != 0; mantissa /= kLimbBase)
        limbs[count++] = static_cast<uint32_t>(mantissa % kLimbBase);
    while (exponent > 0) {
        // Shifted by at most 29 bits, a limb and the carry fit 64 bits and the next carry
        // stays below one limb.
        const int step = std::min(exponent, 29);
        exponent -= step;
        uint64_t carry = 0;
        for (int i = 0; i < count; ++i) {
            const uint64_t current = (uint64_t{limbs[i]} << step) + carry;
            limbs[i] = static_cast<uint32_t>(current % kLimbBase);
            carry = current / kLimbBase;
        }
        if (carry != 0) limbs[count++] = static_cast<uint32_t>(carry);
    }
    // The leading limbs, until they hold more than 17 digits (at most three limbs, below
    // 10^27), decide the first stage; the limbs after them only add zeros.
    Uint128 lead = 0;
    int next = count - 1;
    while (lead < kPow10[kKeptDigits])
        lead = lead * kLimbBase + limbs[next--];
    const int dropped = DigitCount(lead) - kKeptDigits;
    const auto kept = static_cast<uint64_t>(RoundTwoStages<Uint128>(lead, 0, 1) / kPow10[dropped]);
    return PutNumber(out, negative, kept, 9 * (next + 1) + dropped, 0, decimals, width);
}

// a * 10^6 rounded by both stages, for a = mantissa * 2^exponent, when 64-bit arithmetic
// decides it; else all ones. Without its trailing zero bits, a float's mantissa has at most 24
// bits, so mantissa * 10^6 fits 64 bits with the binary point within them. Zeros and small
// integers (texel coordinates often are) need no rounding.
uint64_t UsualFieldValue(uint64_t mantissa, int exponent) {
    if (mantissa == 0) return 0;
    const int zeros = std::countr_zero(mantissa);
    const uint64_t odd = mantissa >> zeros;
    const int shift = -(exponent + zeros);
    if (shift <= 0) {
        return BitWidth(odd) - shift <= 10 ? (odd << -shift) * 1000000 : ~uint64_t{0};
    }
    if (shift >= 64 || BitWidth(odd) > 44) return ~uint64_t{0};
    const uint64_t scaled = odd * 1000000;
    const uint64_t half = uint64_t{1} << (shift - 1);
    return RoundTwoStages<uint64_t>(scaled >> shift, scaled & (2 * half - 1), half);
}

// Any finite value a = mantissa * 2^exponent in any field; out of line, so that the usual
// field's path stays short.
[[gnu::noinline]] size_t PutAnyField(char* out, bool negative, uint64_t mantissa, int exponent,
                                     int width, int decimals) {
    const int scaleBits = BitWidth(kPow10[decimals]);
    if (BitWidth(mantissa) + exponent + scaleBits <= -2) {
        // a * 10^D < 1/4, which neither stage can raise to 1/2.
        return PutNumber(out, negative, 0, 0, 0, decimals, width);
    }
    // Without its trailing zero bits, a float's mantissa has at most 24 bits, and a * 10^D
    // often fits 64-bit arithmetic.
    const int trailingZeros = std::countr_zero(mantissa);
    mantissa >>= trailingZeros;
    exponent += trailingZeros;
    const int magnitudeBits = BitWidth(mantissa) + exponent;  // a < 2^magnitudeBits
    if (magnitudeBits > 63) {
        return PutLargeInteger(out, negative, mantissa, exponent, decimals, width);
    }
    const int scaledBits = BitWidth(mantissa) + scaleBits + std::max(exponent + 1, 0);
    if (scaledBits <= 64 && exponent > -64) {
        return PutScaled<uint64_t>(out, negative, mantissa, exponent, decimals, width);
    }
    // Here mantissa * 10^D * 2^(exponent + 1) has at most 94 bits and -exponent is at most 84.
    return PutScaled<Uint128>(out, negative, mantissa, exponent, decimals, width);
}

}  // namespace

size_t FormatFixed(char* out, double value, int width, int decimals) {
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    const auto bits = std::bit_cast<uint64_t>(value);
    const bool signBit = (bits >> 63) != 0;
    const int biasedExponent = static_cast<int>((bits >> 52) & 0x7ff);
    uint64_t mantissa = bits & ((uint64_t{1} << 52) - 1);
    if (biasedExponent == 0x7ff) return PutNonFinite(out, signBit, mantissa != 0, width);
    // A normal value has a hidden leading bit; a subnormal shares the smallest normal exponent.
    if (biasedExponent != 0) mantissa |= uint64_t{1} << 52;
    const int exponent = std::max(biasedExponent, 1) - 1075;
    const bool negative = signBit && mantissa != 0;  // a zero prints without a sign
    if (width == 10 && decimals == 6) [[likely]] {
        const uint64_t rounded = UsualFieldValue(mantissa, exponent);
        if (rounded < (negative ? 100000000u : 1000000000u)) [[likely]] {
            return PutUsualField(out, negative, rounded);
        }
    }
    return PutAnyField(out, negative, mantissa, exponent, width, decimals);
}

std::string FormatFixed(double value, int width, int decimals) {
    std::string text(kMaxFixedChars + static_cast<size_t>(std::max(width, 0)), ' ');
    text.resize(FormatFixed(text.data(), value, width, decimals));
    return text;
}

size_t FormatInt(char* out, int64_t value, int width) {
    // Unsigned negation, which also holds the magnitude of INT64_MIN.
    const uint64_t magnitude =
        value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    const int digits = DigitCount(magnitude);
    const size_t length = static_cast<size_t>(digits) + (value < 0 ? 1 : 0);
    const size_t padding = PutPadding(out, width, length);
    PutDigits(out + padding + length, magnitude, digits);
    if (value < 0) out[padding] = '-';
    return padding + length;
}

std::string FormatInt(int64_t value, int width) {
    std::string text(std::max(kMaxIntChars, static_cast<size_t>(std::max(width, 0))), ' ');
    text.resize(FormatInt(text.data(), value, width));
    return text;
}

}  // namespace kesh
