// Text assembled in a buffer and handed on in blocks: to an output file when one is given,
// else kept in memory. Every conversion is locale-independent.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "core/output_file.h"
#include "core/result.h"
#include "writer3do/fixed_point.h"

namespace kesh {

class TextSink {
  public:
    // With a file, the buffer is written out whenever it holds a block's worth, so a large
    // model's text never stands whole in memory; without one the whole text stays in memory
    // (see TakeText).
    explicit TextSink(OutputFile* file = nullptr);

    void Put(std::string_view text) {
        std::memcpy(Room(text.size()), text.data(), text.size());
        used_ += text.size();
    }
    // "%*d": right-aligned in `width` columns, growing when longer.
    void PutInt(int64_t value, int width = 0) {
        char* out = Room(std::max<size_t>(static_cast<size_t>(std::max(width, 0)), kMaxIntChars));
        used_ += FormatInt(out, value, width);
    }
    // "%W.Df" with the 3DO rounding rule.
    void PutFixed(double value, int width, int decimals) {
        char* out = Room(kMaxFixedChars + static_cast<size_t>(std::max(width, 0)));
        used_ += FormatFixed(out, value, width, decimals);
    }
    // CR LF, the line end of every 3DO line; hands a full block to the file.
    void EndLine() {
        Put("\r\n");
        if (file_ != nullptr && used_ >= kBlockBytes) Flush();
    }

    // Writes what is buffered; the first write error sticks and is returned from then on.
    StageResult Flush();
    // The text of an in-memory sink.
    std::string TakeText() { return std::string(buffer_.get(), used_); }

  private:
    static constexpr size_t kBlockBytes = size_t{1} << 20;

    // Room for `size` more bytes at the end of the text.
    char* Room(size_t size) {
        if (capacity_ - used_ < size) Grow(size);
        return buffer_.get() + used_;
    }
    void Grow(size_t size);

    OutputFile* file_;
    // Not cleared before use: every byte up to used_ has been written.
    std::unique_ptr<char[]> buffer_;
    size_t capacity_;
    size_t used_ = 0;
    StageResult error_;
};

}  // namespace kesh
