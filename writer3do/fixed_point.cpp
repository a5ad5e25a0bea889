// Exact fixed-point formatting with the two-stage, ties-away rounding of the 3DO text.
//
// A finite value is a = M * 2^E (M an integer of up to 53 bits). a * 10^D = I + f is computed
// exactly (I the integer, f = R / 2^s the fraction), and the two roundings are decided from I,
// R and s without ever forming the 17-digit string: both stages round half away from zero, so
// the result is I or I + 1. A model's values are floats widened to double, whose mantissas
// have at most 24 significant bits; with M stripped of its trailing zero bits, M * 10^D and
// the decision fit 64-bit arithmetic, and the digits go straight to their final place in the
// caller's buffer. Other magnitudes below 2^70 take the same decision in 128 bits; magnitudes
// of 2^70 and more are integers and go through a small base-1e9 big number; magnitudes far
// below one unit of the last decimal round to zero.
#include "writer3do/fixed_point.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "writer3do/decimal_digits.h"
#include "writer3do/micros.h"

namespace kesh {
namespace {

__extension__ typedef unsigned __int128 Uint128;

constexpr int kMaxDecimals = 9;
// The first rounding keeps this many significant decimal digits.
constexpr int kKeptDigits = 17;
// From 2^70 on, a * 10^9 no longer fits the 128-bit fast path comfortably; such values are
// integers (E >= 17) and take the big-number path.
constexpr int kFastExponentLimit = 70;

constexpr const std::array<uint64_t, 20>& kPow10 = kPowersOfTen;

// Below these magnitudes a * 10^D < 0.1, so the value rounds to zero in both stages. The
// constants need not be exact: they only have to stay below 0.1 * 10^-D.
constexpr std::array<double, kMaxDecimals + 1> kRoundsToZeroBelow = {
    0.09, 0.009, 0.9e-3, 0.9e-4, 0.9e-5, 0.9e-6, 0.9e-7, 0.9e-8, 0.9e-9, 0.9e-10};

constexpr const std::array<char, 200>& kDigitPairs = kDecimalPairs;

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

// A double as mantissa * 2^exponent, the mantissa an integer of up to 53 bits.
struct Decoded {
    uint64_t mantissa;
    int exponent;
    bool negative;  // below zero; -0.0 prints without a sign
    bool finite;
};

Decoded Decode(double value) {
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    const int biasedExponent = static_cast<int>((bits >> 52) & 0x7ff);
    // Subnormals lack the leading bit and share the exponent of the smallest normals.
    const bool normal = biasedExponent != 0;
    const uint64_t mantissa = (bits & ((uint64_t{1} << 52) - 1)) | (uint64_t{normal} << 52);
    return {mantissa, biasedExponent + (normal ? 0 : 1) - 1075, (bits >> 63) != 0 && mantissa != 0,
            biasedExponent != 0x7ff};
}

// a * 10^decimals rounded by both stages into `rounded`, for a = mantissa * 2^exponent, when
// 64-bit arithmetic decides it; returns false otherwise. With the mantissa stripped of its
// trailing zero bits, that is when mantissa * 10^decimals fits 64 bits, the binary point lies
// within them, and the integer part I has at most 16 digits, so that at least one of the 17
// kept digits is a fraction digit (the decision below needs one). Integers qualify when
// a * 10^decimals has at most 17 digits: the first stage keeps them all.
bool RoundScaled64(uint64_t mantissa, int exponent, uint64_t unit, uint64_t& rounded) {
    if (mantissa == 0) {
        rounded = 0;
        return true;
    }
    const int zeros = std::countr_zero(mantissa);
    mantissa >>= zeros;
    exponent += zeros;
    uint64_t scaled;
    if (exponent >= 0) {
        // 10^17 < 2^57, so a wider integer has too many digits; the bound also keeps the shift
        // from overflowing.
        if (std::bit_width(mantissa) + exponent > 57) return false;
        if (__builtin_mul_overflow(mantissa << exponent, unit, &scaled)) return false;
        if (scaled >= kPow10[kKeptDigits]) return false;
        rounded = scaled;
        return true;
    }
    const int shift = -exponent;
    if (shift >= 64 || __builtin_mul_overflow(mantissa, unit, &scaled)) return false;
    const uint64_t whole = scaled >> shift;
    if (whole >= kPow10[kKeptDigits - 1]) return false;
    const uint64_t fraction = scaled & ((uint64_t{1} << shift) - 1);
    const uint64_t half = uint64_t{1} << (shift - 1);
    // f >= 1/2 rounds up in the first stage, and the carried digit string then in the second;
    // a flag rather than a branch, as that half of the values follows no pattern.
    rounded = whole + (fraction >= half ? 1 : 0);
    // Below 1/2, the first stage keeps t >= 1 fraction digits (when I is 0 and f is near 1/2,
    // the first fraction digit is the first significant one, so t = 17 holds there too);
    // rounding those to none gives I + 1 exactly when f >= 1/2 - 10^-t / 2, that is when
    // (half - fraction) * 10^t <= half. The product needs at most 63 + 57 bits. It is rarely
    // that small: 10^t >= 10, so only a gap of at most an eighth of half needs it.
    const uint64_t gap = half - fraction;
    if (fraction < half && gap <= half / 8) [[unlikely]] {
        rounded = detail::RoundNearHalf(whole, gap, half);
    }
    return true;
}

// Writes `count` blanks at `out`, where `room` >= count characters may be written. The usual
// field needs at most a few; instead of a library call, one fixed-size store of 8 or 16
// blanks covers them when the room allows (even when none are needed, which spares a branch),
// and the text written afterwards overwrites the surplus.
void PutBlanks(char* out, size_t count, size_t room) {
    static constexpr char kBlanks[16] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                         ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    if (count <= 8 && room >= 8) {
        std::memcpy(out, kBlanks, 8);
    } else if (count <= 16 && room >= 16) {
        std::memcpy(out, kBlanks, 16);
    } else {
        std::memset(out, ' ', count);
    }
}

// Writes the `count` (0..9) low digits of v < 10^9, leading zeros included, so that they end
// just before `end`. 32-bit arithmetic, and each pair computed from v directly rather than
// from the previous quotient, keep the chain of dependent multiplications short.
template <int kCount>
void PutFixedDigits(char* end, uint32_t v) {
    if constexpr (kCount >= 2) std::memcpy(end - 2, &kDigitPairs[2 * (v % 100)], 2);
    if constexpr (kCount >= 4) std::memcpy(end - 4, &kDigitPairs[2 * (v / 100 % 100)], 2);
    if constexpr (kCount >= 6) std::memcpy(end - 6, &kDigitPairs[2 * (v / 10000 % 100)], 2);
    if constexpr (kCount >= 8) std::memcpy(end - 8, &kDigitPairs[2 * (v / 1000000 % 100)], 2);
    if constexpr (kCount % 2 == 1) end[-kCount] = static_cast<char>('0' + v / kPow10[kCount - 1]);
}

// Writes the field for the value rounded * 10^-kDecimals (rounded holding both roundings);
// returns its length. A constant number of decimals turns the divisions into multiplications.
// The layout is known before any character is written: the blanks go first, then the sign at
// the start of the text (overwritten by the first digit when there is no sign, so that no
// branch depends on it), then the digits backward from the end.
template <int kDecimals>
size_t PutScaledAs(char* out, uint64_t rounded, bool negative, int width) {
    constexpr uint64_t kUnit = kPow10[kDecimals];
    const uint64_t whole = rounded / kUnit;
    // whole | 1 has the digits of whole (an odd number below a power of ten is no power of
    // ten), and one for 0.
    const int wholeDigits = DigitCount(whole | 1);
    const int length = (negative ? 1 : 0) + wholeDigits + (kDecimals > 0 ? kDecimals + 1 : 0);
    const int padding = std::max(width - length, 0);
    PutBlanks(out, static_cast<size_t>(padding), static_cast<size_t>(padding + length));
    out[padding] = '-';
    char* const end = out + padding + length;
    char* begin = end;
    if constexpr (kDecimals > 0) {
        PutFixedDigits<kDecimals>(end, static_cast<uint32_t>(rounded - whole * kUnit));
        begin -= kDecimals + 1;
        *begin = '.';
    }
    PutDigitsBackward(begin, whole, wholeDigits);
    return static_cast<size_t>(padding + length);
}

// Writes `count` (1..10) digits of v, ending just before `end`, with 32-bit arithmetic.
void PutDigitsBackward32(char* end, uint32_t v, int count) {
    while (count >= 2) {
        end -= 2;
        std::memcpy(end, &kDigitPairs[2 * (v % 100)], 2);
        v /= 100;
        count -= 2;
    }
    if (count > 0) end[-1] = static_cast<char>('0' + v);
}

// PutScaledAs<6>, the model's format, for fields of at most 16 columns and integer parts
// that fit 32 bits, as a model's values have: the blanks are one store of 8, whatever their
// number (the text has at least 8 characters), and 32-bit arithmetic serves for all digits.
size_t PutMicros(char* out, uint64_t rounded, bool negative, int width) {
    constexpr uint32_t kUnit = 1000000;
    if (width == 10 && detail::FitsTenColumns(rounded, negative)) {
        detail::PutTenColumns(out, rounded, negative);
        return 10;
    }
    const uint64_t wide = rounded / kUnit;
    if (wide > UINT32_MAX || width > 16) return PutScaledAs<6>(out, rounded, negative, width);
    const uint32_t whole = static_cast<uint32_t>(wide);
    const uint32_t fraction = static_cast<uint32_t>(rounded - wide * kUnit);
    const int wholeDigits = DigitCount(uint64_t{whole | 1});  // one for 0, as above
    const int length = (negative ? 1 : 0) + wholeDigits + 7;
    const int padding = std::max(width - length, 0);
    std::memcpy(out, "        ", 8);
    out[padding] = '-';
    char* const end = out + padding + length;
    PutFixedDigits<6>(end, fraction);
    end[-7] = '.';
    PutDigitsBackward32(end - 7, whole, wholeDigits);
    return static_cast<size_t>(padding + length);
}

// The general writer, for any number of decimals; out of line, so that the usual path stays
// small.
[[gnu::noinline]] size_t PutScaled(char* out, uint64_t rounded, bool negative, int width,
                                   int decimals) {
    switch (decimals) {
        case 0:
            return PutScaledAs<0>(out, rounded, negative, width);
        case 1:
            return PutScaledAs<1>(out, rounded, negative, width);
        case 2:
            return PutScaledAs<2>(out, rounded, negative, width);
        case 3:
            return PutScaledAs<3>(out, rounded, negative, width);
        case 4:
            return PutScaledAs<4>(out, rounded, negative, width);
        case 5:
            return PutScaledAs<5>(out, rounded, negative, width);
        case 6:
            return PutScaledAs<6>(out, rounded, negative, width);
        case 7:
            return PutScaledAs<7>(out, rounded, negative, width);
        case 8:
            return PutScaledAs<8>(out, rounded, negative, width);
        default:
            return PutScaledAs<9>(out, rounded, negative, width);
    }
}

size_t PutRounded(char* out, uint64_t rounded, bool negative, int width, int decimals) {
    return decimals == 6 ? PutMicros(out, rounded, negative, width)
                         : PutScaled(out, rounded, negative, width, decimals);
}

// Copies the finished text [begin, end) into the field.
size_t PutText(char* out, const char* begin, const char* end, int width) {
    const size_t length = static_cast<size_t>(end - begin);
    const size_t padding =
        width > 0 && static_cast<size_t>(width) > length ? static_cast<size_t>(width) - length : 0;
    PutBlanks(out, padding, padding + length);
    std::memcpy(out + padding, begin, length);
    return padding + length;
}

// "inf" or "nan", with glibc's sign.
size_t PutNonFinite(char* out, bool signBit, bool nan, int width) {
    char text[4] = {'-'};
    std::memcpy(text + 1, nan ? "nan" : "inf", 3);
    return PutText(out, signBit ? text : text + 1, text + 4, width);
}

// What 64-bit arithmetic does not decide: infinities and NaNs, magnitudes below 2^70 in 128
// bits, larger ones with the big number.
[[gnu::noinline]] size_t FormatRare(char* out, double value, int width, int decimals) {
    const Decoded decoded = Decode(value);
    if (!decoded.finite) return PutNonFinite(out, std::signbit(value), std::isnan(value), width);
    const uint64_t mantissa = decoded.mantissa;
    const int exponent = decoded.exponent;
    const bool negative = decoded.negative;
    char text[kMaxFixedChars];
    if (exponent + 52 >= kFastExponentLimit) {
        // Normal, since 2^70 is: the mantissa has its leading bit 52.
        char* end = PutLargeInteger(text + 1, mantissa, exponent);
        if (decimals > 0) {
            *end++ = '.';
            std::memset(end, '0', static_cast<size_t>(decimals));
            end += decimals;
        }
        text[0] = '-';
        return PutText(out, negative ? text : text + 1, end, width);
    }
    const Uint128 rounded = std::fabs(value) < kRoundsToZeroBelow[decimals]
                                ? 0
                                : RoundScaled(mantissa, exponent, decimals);
    if ((rounded >> 64) == 0) {
        return PutRounded(out, static_cast<uint64_t>(rounded), negative, width, decimals);
    }
    char* const end = text + kMaxFixedChars;
    char* begin = end;
    Uint128 whole = rounded;
    if (decimals > 0) {
        const uint64_t unit = kPow10[decimals];
        whole = rounded / unit;
        begin = PutDigitsBackward(begin, static_cast<uint64_t>(rounded % unit), decimals);
        *--begin = '.';
    }
    begin = PutIntegerBackward(begin, whole);
    if (negative) *--begin = '-';
    return PutText(out, begin, end, width);
}

}  // namespace

uint64_t detail::RoundNearHalf(uint64_t whole, uint64_t gap, uint64_t half) {
    const int keptFractionDigits = kKeptDigits - DigitCount(whole);
    return static_cast<Uint128>(gap) * kPow10[keptFractionDigits] <= half ? whole + 1 : whole;
}

size_t FormatFixed(char* out, double value, int width, int decimals) {
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    const Decoded decoded = Decode(value);
    uint64_t rounded = 0;
    if (decoded.finite &&
        RoundScaled64(decoded.mantissa, decoded.exponent, kPow10[decimals], rounded)) {
        return PutRounded(out, rounded, decoded.negative, width, decimals);
    }
    return FormatRare(out, value, width, decimals);
}

size_t FormatInt(char* out, int64_t value, int width) {
    const bool negative = value < 0;
    const uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    const size_t length = static_cast<size_t>(DecimalDigits(magnitude)) + (negative ? 1 : 0);
    const size_t columns =
        width > 0 && static_cast<size_t>(width) > length ? static_cast<size_t>(width) : length;
    std::memset(out, ' ', columns - length);
    char* start = PutDecimalBackward(out + columns, magnitude);
    if (negative) start[-1] = '-';
    return columns;
}

std::string FormatFixed(double value, int width, int decimals) {
    std::string text(kMaxFixedChars + static_cast<size_t>(std::max(width, 0)), ' ');
    text.resize(FormatFixed(text.data(), value, width, decimals));
    return text;
}

}  // namespace kesh
