// The text sink: its integer field against the C library's printf, and its text, whole,
// however it outgrows its buffer or is handed to a file.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "support/fixed_point_oracle.h"
#include "support/scratch_dir.h"
#include "writer3do/text_sink.h"

namespace kesh {
namespace {

std::string Printf(const char* format, int a, int64_t b) {
    char text[128];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

TEST(TextSink, PutIntMatchesPrintfForEveryDigitCountAndWidth) {
    for (int64_t value : test::IntBoundaryValues()) {
        for (int width = 0; width <= 24; ++width) {
            TextSink sink;
            sink.Put("[");
            sink.PutInt(value, width);
            sink.Put("]");
            EXPECT_EQ(sink.TakeText(), Printf("[%*" PRId64 "]", width, value))
                << value << " in " << width;
        }
    }
}

TEST(TextSink, KeepsEveryLineWhenTheTextOutgrowsItsBuffer) {
    TextSink sink;
    std::string expected;
    for (int i = 0; i < 200000; ++i) {
        sink.PutInt(i, 6);
        sink.EndLine();
        expected += Printf("%*" PRId64 "\r\n", 6, i);
    }
    EXPECT_EQ(sink.TakeText(), expected);
}

TEST(TextSink, HandsAFileItsTextInBlocks) {
    test::ScratchDir dir;
    const std::string path = dir / "long.3do";
    OutputFile file;
    ASSERT_TRUE(file.Open(path));
    TextSink sink(&file);
    std::string expected;
    for (int i = 0; i < 300000; ++i) {
        sink.PutInt(i, 7);
        sink.PutFixed(i * 0.125, 10, 6);
        sink.EndLine();
        expected += Printf("%*" PRId64, 7, i) + FormatFixed(i * 0.125, 10, 6) + "\r\n";
    }
    ASSERT_TRUE(sink.Flush());
    ASSERT_TRUE(file.Commit());
    EXPECT_GT(expected.size(), size_t{3} << 20);
    EXPECT_EQ(test::ReadFileText(path), expected);
}

}  // namespace
}  // namespace kesh
