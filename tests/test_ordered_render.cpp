// Rendering pieces on several threads: the text arrives whole and in order, and a failed
// write stops the run.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "writer3do/ordered_render.h"

namespace kesh {
namespace {

// Piece i is the number i on a line of its own; some pieces take longer than others.
void RenderNumber(size_t i, TextSink& sink) {
    if (i % 7 == 3) std::this_thread::sleep_for(std::chrono::microseconds(200));
    for (size_t repeat = 0; repeat < i % 5 + 1; ++repeat) {
        sink.PutInt(static_cast<int64_t>(i), 6);
        sink.EndLine();
    }
}

std::string Expected(size_t count) {
    TextSink sink;
    for (size_t i = 0; i < count; ++i)
        RenderNumber(i, sink);
    return sink.TakeText();
}

TEST(RenderInOrder, DeliversEveryPieceInOrderWhateverTheThreads) {
    for (unsigned helpers : {0u, 1u, 3u}) {
        for (size_t count : {size_t{0}, size_t{1}, size_t{5}, size_t{300}}) {
            std::string text;
            size_t nextExpected = 0;
            const StageResult result =
                RenderInOrder(count, helpers, RenderNumber, [&](size_t i, TextSink& sink) {
                    EXPECT_EQ(i, nextExpected++);
                    text += sink.View();
                    return StageResult{};
                });
            EXPECT_TRUE(result.ok());
            EXPECT_EQ(nextExpected, count);
            EXPECT_EQ(text, Expected(count)) << count << " pieces, " << helpers << " helpers";
        }
    }
}

TEST(RenderInOrder, StopsAtTheFirstFailedWriteAndReportsIt) {
    for (unsigned helpers : {0u, 2u}) {
        std::atomic<size_t> rendered = 0;
        size_t consumed = 0;
        const StageResult result = RenderInOrder(
            100000, helpers,
            [&](size_t i, TextSink& sink) {
                ++rendered;
                RenderNumber(i, sink);
            },
            [&](size_t i, TextSink&) {
                ++consumed;
                return i == 10 ? Fail(Failure::CannotWrite, 28) : StageResult{};
            });
        EXPECT_EQ(result.failure, Failure::CannotWrite);
        EXPECT_EQ(result.systemError, 28);
        EXPECT_EQ(consumed, 11u);
        // Only a window of pieces beyond the failed one was ever rendered.
        EXPECT_LT(rendered.load(), 100u);
    }
}

}  // namespace
}  // namespace kesh
