// The text sink's integer writers against the C library's printf on the same values.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "writer3do/decimal_digits.h"
#include "writer3do/text_sink.h"

namespace kesh {
namespace {

// Every power of ten and its neighbours, both signs, and the ends of the range.
std::vector<int64_t> BoundaryValues() {
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

std::string Printf(const char* format, int a, int64_t b) {
    char text[128];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

TEST(TextSink, PutIntMatchesPrintfForEveryDigitCountAndWidth) {
    for (int64_t value : BoundaryValues()) {
        for (int width = 0; width <= 24; ++width) {
            TextSink sink;
            sink.PutChar('[');
            sink.PutInt(value, width);
            sink.PutChar(']');
            EXPECT_EQ(sink.TakeText(), Printf("[%*" PRId64 "]", width, value))
                << value << " in " << width;
        }
    }
}

TEST(TextSink, PutIntDigitsAndPutHexMatchPrintf) {
    for (int64_t value : BoundaryValues()) {
        for (int digits : {1, 3, 5, 21}) {
            TextSink sink;
            sink.PutIntDigits(value, digits);
            EXPECT_EQ(sink.TakeText(), Printf("%.*" PRId64, digits, value));
        }
    }
    for (uint32_t value : {0u, 2u, 0xABCDu, 0xFFFFFFFFu}) {
        TextSink sink;
        sink.PutHex(value, 4);
        char text[16];
        std::snprintf(text, sizeof text, "%.4X", value);
        EXPECT_EQ(sink.TakeText(), text);
    }
}

TEST(TextSink, KeepsEveryLineWhenTheTextOutgrowsItsBuffer) {
    TextSink sink;
    std::string expected;
    for (int i = 0; i < 50000; ++i) {
        sink.PutInt(i, 6);
        sink.EndLine();
        expected += Printf("%*" PRId64 "\r\n", 6, i);
    }
    EXPECT_EQ(sink.TakeText(), expected);
}

TEST(DecimalDigits, CountsTheDigitsAtEveryPowerOfTen) {
    EXPECT_EQ(DecimalDigits(0), 1);
    EXPECT_EQ(DecimalDigits(std::numeric_limits<uint64_t>::max()), 20);
    uint64_t p = 1;
    for (int digits = 1; digits <= 19; ++digits, p *= 10) {
        EXPECT_EQ(DecimalDigits(p), digits);
        EXPECT_EQ(DecimalDigits(10 * p - 1), digits);
    }
}

}  // namespace
}  // namespace kesh
