#include "writer3do/text_sink.h"

#include <algorithm>

namespace kesh {

namespace {

uint64_t Magnitude(int64_t value) {
    return value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
}

}  // namespace

TextSink::TextSink(OutputFile* file) : file_(file) {
    // A file's text passes through one block and its slack; memory text grows from 64 KiB.
    const size_t capacity = file_ != nullptr ? kBlockBytes + 64 * 1024 : 64 * 1024;
    storage_ = std::make_unique_for_overwrite<char[]>(capacity);
    begin_ = cursor_ = lineStart_ = storage_.get();
    end_ = begin_ + capacity;
}

void TextSink::MakeRoom(size_t size) {
    if (file_ != nullptr) {
        Flush();
        if (static_cast<size_t>(end_ - cursor_) >= size) return;
    }
    const size_t used = static_cast<size_t>(cursor_ - begin_);
    const size_t lineStart = static_cast<size_t>(lineStart_ - begin_);
    const size_t capacity = std::max(2 * static_cast<size_t>(end_ - begin_), used + size);
    auto grown = std::make_unique_for_overwrite<char[]>(capacity);
    std::memcpy(grown.get(), begin_, used);
    storage_ = std::move(grown);
    begin_ = storage_.get();
    cursor_ = begin_ + used;
    lineStart_ = begin_ + lineStart;
    end_ = begin_ + capacity;
}

void TextSink::PutIntDigits(int64_t value, int digits) {
    char text[24];
    char* end = text + sizeof text;
    const char* start = PutDecimalBackward(end, Magnitude(value));
    const size_t length = static_cast<size_t>(end - start);
    const size_t zeros = digits > 0 && static_cast<size_t>(digits) > length ? digits - length : 0;
    char* out = Reserve(1 + zeros + length);
    if (value < 0) *out++ = '-';
    std::memset(out, '0', zeros);
    std::memcpy(out + zeros, start, length);
    cursor_ = out + zeros + length;
}

void TextSink::PutHex(uint32_t value, int digits) {
    char text[12];
    size_t length = 0;
    do {
        text[length++] = "0123456789ABCDEF"[value & 15];
        value >>= 4;
    } while (value != 0);
    while (length < static_cast<size_t>(digits) && length < sizeof text)
        text[length++] = '0';
    char* out = Reserve(length);
    for (size_t i = 0; i < length; ++i)
        out[i] = text[length - 1 - i];
    cursor_ = out + length;
}

StageResult TextSink::Flush() {
    if (file_ == nullptr) return error_;
    // After a failed write the rest of the text is dropped rather than kept in memory.
    if (error_.ok() && cursor_ != begin_) {
        error_ = file_->Write(begin_, static_cast<size_t>(cursor_ - begin_));
    }
    lineCarry_ += static_cast<size_t>(cursor_ - lineStart_);
    cursor_ = lineStart_ = begin_;
    return error_;
}

}  // namespace kesh
