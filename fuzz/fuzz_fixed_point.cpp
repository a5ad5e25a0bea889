// Fuzz harness: the fixed-point formatter of the 3DO text against a slow exact reference.
//
// Input: a double's 8 bytes (little-endian), a width byte (taken modulo 64) and a decimals
// byte (modulo 10); when an eleventh byte is odd, the first 4 bytes are a float instead, widened
// to double, as a model's values are. The reference expands the double exactly with the C library
// ("%.1100f" in the C locale gives every digit of any double), rounds that digit string to 17
// significant digits and then to the decimals, each time half away from zero, and applies the
// sign rule: no sign for a zero, '-' for every negative value. The formatted text must equal
// the reference, and must parse back to within half a unit of its last decimal (plus the
// 17-digit rounding) of the value. Nothing past the returned length may be written. A float
// input also goes through the float path of the usual "%10.6f" field, against the reference.
#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "writer3do/fixed_point.h"
#include "writer3do/micros.h"

namespace {

void Require(bool condition, const char* what, double value, const std::string& got,
             const std::string& want) {
    if (condition) return;
    std::fprintf(stderr, "fuzz_fixed_point: %s for %a: got \"%s\", want \"%s\"\n", what, value,
                 got.c_str(), want.c_str());
    std::abort();
}

// Adds one unit at digit position `last` of a string of decimal digits; returns true when
// the carry runs out of the front (the caller prepends a '1').
bool Increment(std::string& digits, size_t last) {
    for (size_t i = last + 1; i-- > 0;) {
        if (digits[i] == '9') {
            digits[i] = '0';
        } else {
            ++digits[i];
            return false;
        }
    }
    return true;
}

// Rounds the exact digits (integer part `integer`, fraction `fraction`) half away from zero
// so that only the first `keep` digits after the point remain (`keep` may be negative:
// rounding within the integer part). The fraction keeps its length; dropped digits become 0.
void RoundAt(std::string& integer, std::string& fraction, long keep) {
    std::string all = integer + fraction;
    const long cut = static_cast<long>(integer.size()) + keep;  // digits [0, cut) are kept
    if (cut >= static_cast<long>(all.size())) return;
    const size_t from = cut < 0 ? 0 : static_cast<size_t>(cut);
    const bool up = cut >= 0 && all[from] >= '5';
    for (size_t i = from; i < all.size(); ++i)
        all[i] = '0';
    if (up && (from == 0 || Increment(all, from - 1))) all.insert(all.begin(), '1');
    const size_t point = all.size() - fraction.size();
    integer = all.substr(0, point);
    fraction = all.substr(point);
}

std::string Reference(double value, int width, int decimals) {
    char buffer[1600];
    if (!std::isfinite(value)) {
        std::snprintf(buffer, sizeof buffer, "%*.*f", width, decimals, value);
        return buffer;
    }
    std::snprintf(buffer, sizeof buffer, "%.1100f", std::fabs(value));
    const char* dot = std::strchr(buffer, '.');
    std::string integer(buffer, static_cast<size_t>(dot - buffer));
    std::string fraction(dot + 1);
    // Stage 1: 17 significant digits.
    const std::string all = integer + fraction;
    const size_t first = all.find_first_not_of('0');
    if (first != std::string::npos) {
        const long keep = static_cast<long>(first) + 17 - static_cast<long>(integer.size());
        RoundAt(integer, fraction, keep);
    }
    // Stage 2: the printed decimals.
    RoundAt(integer, fraction, decimals);
    const size_t lead = integer.find_first_not_of('0');
    integer = lead == std::string::npos ? "0" : integer.substr(lead);
    std::string text = std::signbit(value) && value != 0.0 ? "-" : "";
    text += integer;
    if (decimals > 0) {
        text += '.';
        text.append(fraction, 0, static_cast<size_t>(decimals));
    }
    if (text.size() < static_cast<size_t>(width)) text.insert(0, width - text.size(), ' ');
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 10) return 0;
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | data[i];
    double value;
    std::memcpy(&value, &bits, sizeof value);
    const bool isFloat = size > 10 && (data[10] & 1) != 0;
    float narrow = 0.0f;
    if (isFloat) {
        const uint32_t floatBits = static_cast<uint32_t>(bits);
        std::memcpy(&narrow, &floatBits, sizeof narrow);
        value = narrow;
    }
    const int width = data[8] % 64;
    const int decimals = data[9] % 10;

    std::string buffer(kesh::kMaxFixedChars + 64, '\x7f');
    const size_t length = kesh::FormatFixed(buffer.data(), value, width, decimals);
    const std::string got = buffer.substr(0, length);
    const std::string want = Reference(value, width, decimals);
    Require(got == want, "text differs from the exact reference", value, got, want);
    Require(buffer.find_first_not_of('\x7f', length) == std::string::npos,
            "writes past the returned length", value, got, want);
    Require(kesh::FormatFixed(value, width, decimals) == got, "string form differs", value, got,
            want);
    if (isFloat) {
        // The float path writes the model's usual field as FormatFixed does.
        std::string micros(kesh::kMaxFixedChars + 64, '\x7f');
        const size_t microsLength = kesh::FormatMicros(micros.data(), narrow);
        const std::string usual = Reference(value, 10, 6);
        Require(micros.substr(0, microsLength) == usual, "float path differs from the reference",
                value, micros.substr(0, microsLength), usual);
        Require(micros.find_first_not_of('\x7f', microsLength) == std::string::npos,
                "float path writes past the returned length", value, micros, usual);
    }
    if (std::isfinite(value)) {
        const double parsed = std::strtod(got.c_str(), nullptr);
        const double unit = std::pow(10.0, -decimals);
        const double allowed = 0.5 * unit * (1 + 1e-9) + std::fabs(value) * 1e-15;
        Require(std::fabs(parsed - value) <= allowed, "parses back too far from the value", value,
                got, want);
    }
    return 0;
}
