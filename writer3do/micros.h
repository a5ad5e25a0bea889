// The float path of the model's usual "%10.6f" field, inline so that the numbers of one line
// are worked out side by side.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "writer3do/fixed_point.h"

namespace kesh {

namespace detail {

// Writes the eight decimal digits of v < 10^8, leading zeros included, at out .. out + 7, in
// one store: the digits are split in parallel within one 64-bit word (halves, then pairs, then
// single digits, each by a multiplication that divides exactly in this range) rather than one
// by one.
inline void PutEightDigits(char* out, uint32_t v) {
    static_assert(std::endian::native == std::endian::little, "digits are stored low byte first");
    const uint64_t high = (uint64_t{v} * 109951163) >> 40;  // v / 10^4
    uint64_t word = high | ((v - high * 10000) << 32);
    const uint64_t hundreds = ((word * 10486) >> 20) & 0x0000007F0000007F;  // / 100 per half
    word = hundreds | ((word - hundreds * 100) << 16);
    const uint64_t tens = ((word * 103) >> 10) & 0x000F000F000F000F;  // / 10 per pair
    word = tens | ((word - tens * 10) << 8);
    word += 0x3030303030303030;  // '0' in every byte
    std::memcpy(out, &word, 8);
}

// "%10.6f" of rounded * 10^-6 when it lies below 1000 (below 100 when negative): the model's
// usual field, with one layout whatever the digits: three columns for blanks, sign and
// integer digits, the point, six decimals. Filled column by column, it needs no branch on the
// number of digits, which varies from value to value and would often be mispredicted.
inline void PutTenColumns(char* out, uint64_t rounded, bool negative) {
    constexpr uint32_t kUnit = 1000000;
    const auto whole = static_cast<uint32_t>(rounded / kUnit);
    // Two leading zeros and the six decimals; the zeros make room for the units digit and
    // the point.
    PutEightDigits(out + 2, static_cast<uint32_t>(rounded - uint64_t{whole} * kUnit));
    out[3] = '.';
    const char sign = negative ? '-' : ' ';
    out[0] = whole >= 100 ? static_cast<char>('0' + whole / 100) : whole >= 10 ? sign : ' ';
    out[1] = whole >= 10 ? static_cast<char>('0' + whole / 10 % 10) : sign;
    out[2] = static_cast<char>('0' + whole % 10);
}

// Whether PutTenColumns lays out rounded * 10^-6.
inline bool FitsTenColumns(uint64_t rounded, bool negative) {
    return rounded < (negative ? uint64_t{100000000} : uint64_t{1000000000});
}

// For a scaled value whole + f with f = (half - gap) / (2 * half) just below one half: whole + 1
// when its 17 significant digits round f up to one half, else whole.
uint64_t RoundNearHalf(uint64_t whole, uint64_t gap, uint64_t half);

}  // namespace detail

// FormatFixed(out, value, 10, 6) for a float, the model's usual field, with a shorter path
// for the magnitudes a model's values have. Needs the same room.
inline size_t FormatMicros(char* out, float value) {
    // A float is m * 2^(b - 150), m of 24 bits, b its biased exponent. From 2^-20 up to 2^10,
    // m * 10^6 fits 44 bits and the binary point lies 14 to 43 bits into it, so the integer
    // part I of value * 10^6 and its fraction f come out of one product, and both roundings
    // are decided as FormatFixed decides them: I + 1 when f >= 1/2; below, I + 1 only when the
    // 17-digit string rounds f up to 1/2. That string keeps at least 8 fraction digits (I has
    // at most 9), so it can only when 1/2 - f <= 10^-8 / 2, which the cheap test below rules
    // out for nearly every value before the exact one.
    constexpr uint32_t kLowestBiased = 127 - 20;
    constexpr uint32_t kBiasedSpan = 29;  // up to 127 + 9: magnitudes below 2^10
    const auto bits = std::bit_cast<uint32_t>(value);
    const uint32_t biased = (bits >> 23) & 0xff;
    if (biased - kLowestBiased <= kBiasedSpan) {
        const uint64_t mantissa = (bits & 0x7fffff) | 0x800000;
        const auto shift = static_cast<int>(150 - biased);
        const uint64_t scaled = mantissa * 1000000;
        const uint64_t whole = scaled >> shift;
        const uint64_t fraction = scaled & ((uint64_t{1} << shift) - 1);
        const uint64_t half = uint64_t{1} << (shift - 1);
        uint64_t rounded = whole + (fraction >= half ? 1 : 0);
        const uint64_t gap = half - fraction;
        // 10^8 > 2^26: a gap that passes the exact test passes this one.
        if (fraction < half && gap <= (half >> 26)) [[unlikely]] {
            rounded = detail::RoundNearHalf(whole, gap, half);
        }
        const bool negative = (bits >> 31) != 0;
        if (detail::FitsTenColumns(rounded, negative)) {
            detail::PutTenColumns(out, rounded, negative);
            return 10;
        }
    }
    return FormatFixed(out, static_cast<double>(value), 10, 6);
}

}  // namespace kesh
