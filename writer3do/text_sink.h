// Assembles text in one large buffer and hands it on in big blocks: to an output file when
// one is given, else kept in memory. Every conversion is locale-independent.
//
// The per-value operations are inline and write straight into the buffer: the 3DO text of a
// large model is tens of megabytes, and its cost is the cost of these few functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "core/output_file.h"
#include "core/result.h"
#include "writer3do/decimal_digits.h"
#include "writer3do/fixed_point.h"
#include "writer3do/micros.h"

namespace kesh {

// Writers on a raw position in a buffer, for lines whose room was reserved at once (see
// TextSink::StartLine): the position stays in a register instead of being stored back into
// the sink after every number. Each returns the position after what it wrote.
namespace raw {

// Bytes a number writer may touch beyond its field: blanks go in one fixed-size store.
inline constexpr size_t kSlack = 16;

inline char* Text(char* out, std::string_view text) {
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

inline char* Char(char* out, char c) {
    *out = c;
    return out + 1;
}

// "%*d": right-aligned in `width` columns, growing when longer; needs max(width, 20) + kSlack
// bytes of room.
inline char* Int(char* out, int64_t value, int width) {
    const bool negative = value < 0;
    const uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    const size_t length = static_cast<size_t>(DecimalDigits(magnitude)) + (negative ? 1 : 0);
    const size_t columns =
        width > 0 && static_cast<size_t>(width) > length ? static_cast<size_t>(width) : length;
    if (columns <= kSlack) {
        std::memset(out, ' ', kSlack);  // one fixed-size store instead of a loop
    } else {
        std::memset(out, ' ', columns - length);
    }
    char* start = PutDecimalBackward(out + columns, magnitude);
    if (negative) start[-1] = '-';
    return out + columns;
}

// "%W.Df" with the 3DO rounding rule; needs kMaxFixedChars + width bytes of room.
inline char* Fixed(char* out, double value, int width, int decimals) {
    return out + FormatFixed(out, value, width, decimals);
}

// "%10.6f" of a float with the 3DO rounding rule; needs kMaxFixedChars + 10 bytes of room.
inline char* Micros(char* out, float value) {
    return out + FormatMicros(out, value);
}

}  // namespace raw

class TextSink {
  public:
    // With a file, the buffer is written out whenever it holds a block's worth; without one
    // the whole text stays in memory (see TakeText).
    explicit TextSink(OutputFile* file = nullptr);

    void Put(std::string_view text) {
        char* out = Reserve(text.size());
        std::memcpy(out, text.data(), text.size());
        cursor_ = out + text.size();
    }
    void PutChar(char c) {
        char* out = Reserve(1);
        *out = c;
        cursor_ = out + 1;
    }
    // "%*d": right-aligned in `width` columns, growing when longer. Writes blanks and digits
    // in place: the digit count is known before anything is written.
    void PutInt(int64_t value, int width = 0) {
        const size_t columns = width > 20 ? static_cast<size_t>(width) : 20;
        cursor_ = raw::Int(Reserve(columns + raw::kSlack), value, width);
    }
    // "%.Nd": at least `digits` digits, with leading zeros after the sign.
    void PutIntDigits(int64_t value, int digits);
    // "%.NX": at least `digits` upper-case hexadecimal digits.
    void PutHex(uint32_t value, int digits);
    // "%W.Df" with the 3DO rounding rule.
    void PutFixed(double value, int width, int decimals) {
        char* out = Reserve(kMaxFixedChars + static_cast<size_t>(width > 0 ? width : 0));
        cursor_ = out + FormatFixed(out, value, width, decimals);
    }
    // Room for a whole line of at most `bytes` characters, its line end included, to be
    // written with the raw writers; FinishLine takes the position where the line ends.
    char* StartLine(size_t bytes) { return Reserve(bytes); }
    void FinishLine(char* end) {
        cursor_ = end;
        EndLine();
    }

    // CR LF, the line end of every 3DO line; hands a full block to the file.
    void EndLine() {
        char* out = Reserve(2);
        out[0] = '\r';
        out[1] = '\n';
        cursor_ = out + 2;
        const size_t length = lineCarry_ + static_cast<size_t>(cursor_ - lineStart_);
        if (length > longestLine_) longestLine_ = length;
        lineStart_ = cursor_;
        lineCarry_ = 0;
        if (file_ != nullptr && static_cast<size_t>(cursor_ - begin_) >= kBlockBytes) Flush();
    }

    // Length, CR LF included, of the longest line ended since the last call; starts again
    // from zero.
    size_t TakeLongestLine() {
        const size_t longest = longestLine_;
        longestLine_ = 0;
        return longest;
    }

    // Writes what is buffered; the first write error sticks and is returned from then on.
    StageResult Flush();
    // The text of an in-memory sink.
    std::string TakeText() { return std::string(begin_, cursor_); }
    std::string_view View() const {
        return std::string_view(begin_, static_cast<size_t>(cursor_ - begin_));
    }
    // Forgets the text of an in-memory sink, keeping its memory for the next text.
    void Clear() {
        cursor_ = lineStart_ = begin_;
        lineCarry_ = 0;
        longestLine_ = 0;
    }

  private:
    static constexpr size_t kBlockBytes = 1 << 20;

    // Room for `size` more bytes at the cursor.
    char* Reserve(size_t size) {
        if (static_cast<size_t>(end_ - cursor_) < size) MakeRoom(size);
        return cursor_;
    }
    void MakeRoom(size_t size);

    OutputFile* file_;
    std::unique_ptr<char[]> storage_;
    char* begin_ = nullptr;
    char* cursor_ = nullptr;
    char* end_ = nullptr;
    char* lineStart_ = nullptr;  // where the line being written starts in the buffer
    size_t lineCarry_ = 0;       // bytes of that line already handed to the file
    size_t longestLine_ = 0;
    StageResult error_;
};

}  // namespace kesh
