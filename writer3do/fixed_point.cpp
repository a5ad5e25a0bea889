// Exact fixed-point formatting with the two-stage, ties-away rounding of the 3DO text.
//
// A finite value is a = M * 2^E (M an integer of up to 53 bits). For the magnitudes a model
// holds, a * 10^D = I + f is computed exactly in 128 bits (I the integer, f = R / 2^s the
// fraction), and the two roundings are decided from I, R and s without ever forming the
// 17-digit string: both stages round half away from zero, so the result is I or I + 1.
// Magnitudes of 2^70 and more are integers and go through a small base-1e9 big number;
// magnitudes far below one unit of the last decimal round to zero.
#include "writer3do/fixed_point.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace kesh {
namespace {

__extension__ typedef unsigned __int128 Uint128;

constexpr int kMaxDecimals = 9;
// The first rounding keeps this many significant decimal digits.
constexpr int kKeptDigits = 17;
// From 2^70 on, a * 10^9 no longer fits the 128-bit fast path comfortably; such values are
// integers (E >= 17) and take the big-number path.
constexpr int kFastExponentLimit = 70;

constexpr std::array<uint64_t, 20> kPow10 = [] {
    std::array<uint64_t, 20> table{};
    uint64_t p = 1;
    for (uint64_t& entry : table) {
        entry = p;
        p *= 10;
    }
    return table;
}();

// Below these magnitudes a * 10^D < 0.1, so the value rounds to zero in both stages. The
// constants need not be exact: they only have to stay below 0.1 * 10^-D.
constexpr std::array<double, kMaxDecimals + 1> kRoundsToZeroBelow = {
    0.09, 0.009, 0.9e-3, 0.9e-4, 0.9e-5, 0.9e-6, 0.9e-7, 0.9e-8, 0.9e-9, 0.9e-10};

constexpr std::array<char, 200> kDigitPairs = [] {
    std::array<char, 200> table{};
    for (int i = 0; i < 100; ++i) {
        table[2 * i] = static_cast<char>('0' + i / 10);
        table[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return table;
}();

// Number of decimal digits of v; 0 for v == 0.
int DigitCount(uint64_t v) {
    const int guess = (std::bit_width(v | 1) * 1233) >> 12;
    return guess + (v >= kPow10[guess] ? 1 : 0);
}

int DigitCount(Uint128 v) {
    const uint64_t high = static_cast<uint64_t>(v >> 64);
    if (high == 0) return DigitCount(static_cast<uint64_t>(v));
    // v >= 2^64 > 10^19.
    int count = 20;
    Uint128 power = static_cast<Uint128>(kPow10[19]) * 10;
    while (count < 39 && v >= power) {
        power *= 10;
        ++count;
    }
    return count;
}

int BitWidth(Uint128 v) {
    const uint64_t high = static_cast<uint64_t>(v >> 64);
    if (high != 0) return 64 + std::bit_width(high);
    return std::bit_width(static_cast<uint64_t>(v));
}

// Writes exactly `count` low digits of v, leading zeros included, so that they end just
// before `end`; returns where they start.
char* PutDigitsBackward(char* end, uint64_t v, int count) {
    while (count >= 2) {
        end -= 2;
        std::memcpy(end, &kDigitPairs[2 * (v % 100)], 2);
        v /= 100;
        count -= 2;
    }
    if (count > 0) *--end = static_cast<char>('0' + v % 10);
    return end;
}

// Writes v (at least one digit) so that it ends just before `end`; returns where it starts.
char* PutIntegerBackward(char* end, Uint128 v) {
    if ((v >> 64) == 0) {
        const uint64_t small = static_cast<uint64_t>(v);
        return PutDigitsBackward(end, small, std::max(1, DigitCount(small)));
    }
    const uint64_t low = static_cast<uint64_t>(v % kPow10[19]);
    const Uint128 high = v / kPow10[19];
    return PutIntegerBackward(PutDigitsBackward(end, low, 19), high);
}

// a * 10^decimals rounded by both stages, for a = mantissa * 2^exponent with
// kRoundsToZeroBelow[decimals] <= a < 2^kFastExponentLimit.
Uint128 RoundScaled(uint64_t mantissa, int exponent, int decimals) {
    const Uint128 scaled = static_cast<Uint128>(mantissa) * kPow10[decimals];
    if (exponent >= 0) {
        // An integer: only the first stage can change it.
        const Uint128 whole = scaled << exponent;
        const int dropped = DigitCount(whole) - kKeptDigits;
        if (dropped <= 0) return whole;
        const uint64_t rest = static_cast<uint64_t>(whole % kPow10[dropped]);
        const Uint128 kept = whole - rest;
        return rest >= 5 * kPow10[dropped - 1] ? kept + kPow10[dropped] : kept;
    }
    // The magnitude bounds keep the shift below 87 bits.
    const int shift = -exponent;
    const Uint128 whole = scaled >> shift;
    const Uint128 fraction = scaled & ((static_cast<Uint128>(1) << shift) - 1);
    const Uint128 half = static_cast<Uint128>(1) << (shift - 1);
    const int wholeDigits = DigitCount(whole);
    if (wholeDigits >= kKeptDigits) {
        // The 17 digits are all in the integer; ties away from zero make the fraction matter
        // only when no integer digit is dropped.
        const int dropped = wholeDigits - kKeptDigits;
        if (dropped == 0) return fraction >= half ? whole + 1 : whole;
        const uint64_t rest = static_cast<uint64_t>(whole % kPow10[dropped]);
        const Uint128 kept = whole - rest;
        return rest >= 5 * kPow10[dropped - 1] ? kept + kPow10[dropped] : kept;
    }
    if (fraction >= half) return whole + 1;
    // The first stage keeps t fraction digits; both stages together round up exactly when
    // f >= 1/2 - 10^-t / 2, that is when (half - fraction) * 10^t <= half.
    const int keptFractionDigits = kKeptDigits - wholeDigits;
    const Uint128 gap = half - fraction;
    const uint64_t scale = kPow10[keptFractionDigits];
    const int productBits = BitWidth(gap) + std::bit_width(scale);
    // The product lies in [2^(productBits - 2), 2^productBits), strictly above the lower end
    // because 10^t is no power of two; only productBits == shift needs the multiplication,
    // and then it fits.
    if (productBits <= shift - 1) return whole + 1;
    if (productBits >= shift + 1) return whole;
    return gap * scale <= half ? whole + 1 : whole;
}

// Writes the integer mantissa * 2^exponent (exponent > 0, up to 309 digits) reduced to its
// 17 leading significant digits, ties away from zero; returns the end of the digits.
char* PutLargeInteger(char* out, uint64_t mantissa, int exponent) {
    constexpr uint32_t kLimbBase = 1000000000;
    constexpr int kMaxLimbs = 36;  // 9 * 36 digits hold any double
    std::array<uint32_t, kMaxLimbs> limbs{};
    int limbCount = 0;
    for (uint64_t rest = mantissa; rest != 0; rest /= kLimbBase) {
        limbs[limbCount++] = static_cast<uint32_t>(rest % kLimbBase);
    }
    for (int left = exponent; left > 0;) {
        const int step = std::min(left, 29);  // a limb shifted by 29 bits still fits 64 bits
        left -= step;
        uint64_t carry = 0;
        for (int i = 0; i < limbCount; ++i) {
            const uint64_t current = (static_cast<uint64_t>(limbs[i]) << step) + carry;
            limbs[i] = static_cast<uint32_t>(current % kLimbBase);
            carry = current / kLimbBase;
        }
        if (carry != 0) limbs[limbCount++] = static_cast<uint32_t>(carry);
    }
    const uint32_t top = limbs[limbCount - 1];
    const int topDigits = DigitCount(uint64_t{top});
    char* end = out + topDigits;
    PutDigitsBackward(end, top, topDigits);
    for (int i = limbCount - 2; i >= 0; --i) {
        PutDigitsBackward(end + 9, limbs[i], 9);
        end += 9;
    }
    // The value is at least 2^70, so there are more than 17 digits.
    const bool roundUp = out[kKeptDigits] >= '5';
    std::fill(out + kKeptDigits, end, '0');
    if (roundUp) {
        int i = kKeptDigits - 1;
        while (i >= 0 && out[i] == '9')
            out[i--] = '0';
        if (i >= 0) {
            ++out[i];
        } else {
            out[0] = '1';
            *end++ = '0';
        }
    }
    return end;
}

}  // namespace

size_t FormatFixed(char* out, double value, int width, int decimals) {
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    const bool signBit = (bits >> 63) != 0;
    const int biasedExponent = static_cast<int>((bits >> 52) & 0x7ff);
    const uint64_t fieldMantissa = bits & ((uint64_t{1} << 52) - 1);

    // The text is built in `text`, then right-aligned into `out`.
    char text[kMaxFixedChars];
    char* begin = nullptr;
    char* end = nullptr;
    if (biasedExponent == 0x7ff) {
        const char* word = fieldMantissa != 0 ? "nan" : "inf";
        begin = text;
        end = text;
        if (signBit) *end++ = '-';
        std::memcpy(end, word, 3);
        end += 3;
    } else {
        const double magnitude = signBit ? -value : value;
        const bool negative = value < 0;  // -0.0 prints without a sign
        const uint64_t mantissa =
            biasedExponent == 0 ? fieldMantissa : fieldMantissa | (uint64_t{1} << 52);
        const int exponent = (biasedExponent == 0 ? 1 : biasedExponent) - 1075;
        if (biasedExponent >= 1023 + kFastExponentLimit) {
            begin = text;
            end = text + 1;
            end = PutLargeInteger(end, mantissa, exponent);
            if (decimals > 0) {
                *end++ = '.';
                std::memset(end, '0', static_cast<size_t>(decimals));
                end += decimals;
            }
            if (negative) {
                text[0] = '-';
            } else {
                ++begin;
            }
        } else {
            const Uint128 rounded = magnitude < kRoundsToZeroBelow[decimals]
                                        ? 0
                                        : RoundScaled(mantissa, exponent, decimals);
            end = text + kMaxFixedChars;
            begin = end;
            Uint128 whole = rounded;
            if (decimals > 0) {
                const uint64_t unit = kPow10[decimals];
                uint64_t fraction;
                if ((rounded >> 64) == 0) {
                    const uint64_t small = static_cast<uint64_t>(rounded);
                    whole = small / unit;
                    fraction = small % unit;
                } else {
                    whole = rounded / unit;
                    fraction = static_cast<uint64_t>(rounded % unit);
                }
                begin = PutDigitsBackward(begin, fraction, decimals);
                *--begin = '.';
            }
            begin = PutIntegerBackward(begin, whole);
            if (negative) *--begin = '-';
        }
    }
    const size_t length = static_cast<size_t>(end - begin);
    const size_t padding =
        width > 0 && static_cast<size_t>(width) > length ? static_cast<size_t>(width) - length : 0;
    std::memset(out, ' ', padding);
    std::memcpy(out + padding, begin, length);
    return padding + length;
}

std::string FormatFixed(double value, int width, int decimals) {
    std::string text(kMaxFixedChars + static_cast<size_t>(std::max(width, 0)), ' ');
    text.resize(FormatFixed(text.data(), value, width, decimals));
    return text;
}

}  // namespace kesh
