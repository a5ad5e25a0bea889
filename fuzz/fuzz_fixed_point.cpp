// Fuzz harness: the fixed-point formatter of the 3DO text against the exact oracle of its tests.
//
// Input: a double's 8 bytes (little-endian), a width byte (taken modulo 64) and a decimals
// byte (modulo 10); when an eleventh byte is odd, the first 4 bytes are a float instead, widened
// to double, as a model's values are. The oracle (tests/support/fixed_point_oracle.h) rounds
// the C library's exact expansion of the double in two stages, as a digit string. The
// formatted text must equal it, both forms of FormatFixed must agree, nothing past the
// returned length may be written, and the text must parse back to within half a unit of its
// last decimal (plus the 17-digit rounding) of the value.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/fixed_point_oracle.h"
#include "writer3do/fixed_point.h"

namespace {

void Require(bool condition, const char* what, double value, const std::string& got,
             const std::string& want) {
    if (condition) return;
    std::fprintf(stderr, "fuzz_fixed_point: %s for %a: got \"%s\", want \"%s\"\n", what, value,
                 got.c_str(), want.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 10) return 0;
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = bits << 8 | data[i];
    double value;
    std::memcpy(&value, &bits, sizeof value);
    if (size > 10 && (data[10] & 1) != 0) {
        const uint32_t floatBits = static_cast<uint32_t>(bits);
        float narrow;
        std::memcpy(&narrow, &floatBits, sizeof narrow);
        value = narrow;
    }
    const int width = data[8] % 64;
    const int decimals = data[9] % 10;

    std::string buffer(kesh::kMaxFixedChars + 64, '\x7f');
    const size_t length = kesh::FormatFixed(buffer.data(), value, width, decimals);
    const std::string got = buffer.substr(0, length);
    const std::string want = kesh::test::FixedPointOracle(value, width, decimals);
    Require(got == want, "text differs from the exact oracle", value, got, want);
    Require(buffer.find_first_not_of('\x7f', length) == std::string::npos,
            "writes past the returned length", value, got, want);
    Require(kesh::FormatFixed(value, width, decimals) == got, "string form differs", value, got,
            want);
    if (std::isfinite(value)) {
        const double parsed = std::strtod(got.c_str(), nullptr);
        const double unit = std::pow(10.0, -decimals);
        const double allowed = 0.5 * unit * (1 + 1e-9) + std::fabs(value) * 1e-15;
        Require(std::fabs(parsed - value) <= allowed, "parses back too far from the value", value,
                got, want);
    }
    return 0;
}
