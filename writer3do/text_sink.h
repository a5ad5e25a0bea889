// Assembles text in one large buffer and hands it on in big blocks: to an output file when
// one is given, else kept in memory. Every conversion is locale-independent.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/output_file.h"
#include "core/result.h"

namespace kesh {

class TextSink {
  public:
    // With a file, the buffer is written out whenever it holds a block's worth; without one
    // the whole text stays in memory (see TakeText).
    explicit TextSink(OutputFile* file = nullptr);

    void Put(std::string_view text);
    void PutChar(char c) { Put(std::string_view(&c, 1)); }
    // "%*d": right-aligned in `width` columns, growing when longer.
    void PutInt(int64_t value, int width = 0);
    // "%.Nd": at least `digits` digits, with leading zeros after the sign.
    void PutIntDigits(int64_t value, int digits);
    // "%.NX": at least `digits` upper-case hexadecimal digits.
    void PutHex(uint32_t value, int digits);
    // "%W.Df" with the 3DO rounding rule.
    void PutFixed(double value, int width, int decimals);
    // CR LF, the line end of every 3DO line.
    void EndLine();

    // Writes what is buffered; the first write error sticks and is returned from then on.
    StageResult Flush();
    // The text of an in-memory sink.
    std::string TakeText() { return std::move(buffer_); }

  private:
    char* Grow(size_t extra);

    OutputFile* file_;
    std::string buffer_;
    StageResult error_;
};

}  // namespace kesh
