// Decimal digits of unsigned integers, for the number writers of the 3DO text.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace kesh {

inline constexpr std::array<uint64_t, 20> kPowersOfTen = [] {
    std::array<uint64_t, 20> table{};
    uint64_t p = 1;
    for (uint64_t& entry : table) {
        entry = p;
        p *= 10;
    }
    return table;
}();

inline constexpr std::array<char, 200> kDecimalPairs = [] {
    std::array<char, 200> table{};
    for (int i = 0; i < 100; ++i) {
        table[2 * i] = static_cast<char>('0' + i / 10);
        table[2 * i + 1] = static_cast<char>('0' + i % 10);
    }
    return table;
}();

// Number of decimal digits of `value`, at least 1.
inline int DecimalDigits(uint64_t value) {
    // bit_width * log10(2), then one correction against the table. Setting the low bit
    // changes no digit count (powers of ten are even) and makes 0 count as one digit.
    const uint64_t odd = value | 1;
    const int guess = (static_cast<int>(std::bit_width(odd)) * 1233) >> 12;
    return guess + (odd >= kPowersOfTen[static_cast<size_t>(guess)] ? 1 : 0);
}

// Writes the decimal digits of `value` so that they end just before `end`; returns where
// they start.
inline char* PutDecimalBackward(char* end, uint64_t value) {
    while (value >= 100) {
        end -= 2;
        std::memcpy(end, &kDecimalPairs[2 * (value % 100)], 2);
        value /= 100;
    }
    if (value >= 10) {
        end -= 2;
        std::memcpy(end, &kDecimalPairs[2 * value], 2);
    } else {
        *--end = static_cast<char>('0' + value);
    }
    return end;
}

}  // namespace kesh
