#include "writer3do/text_sink.h"

#include <charconv>
#include <cstring>

#include "writer3do/fixed_point.h"

namespace kesh {

namespace {

// Block size of file writes; large enough that the system calls cost nothing noticeable.
constexpr size_t kBlockBytes = 1 << 20;

}  // namespace

TextSink::TextSink(OutputFile* file) : file_(file) {
    if (file_ != nullptr) buffer_.reserve(kBlockBytes + 4096);
}

char* TextSink::Grow(size_t extra) {
    const size_t size = buffer_.size();
    buffer_.resize(size + extra);
    return buffer_.data() + size;
}

void TextSink::Put(std::string_view text) {
    buffer_.append(text.data(), text.size());
}

void TextSink::PutInt(int64_t value, int width) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    const size_t length = static_cast<size_t>(result.ptr - digits);
    const size_t pad = width > 0 && static_cast<size_t>(width) > length ? width - length : 0;
    char* out = Grow(pad + length);
    std::memset(out, ' ', pad);
    std::memcpy(out + pad, digits, length);
}

void TextSink::PutIntDigits(int64_t value, int digits) {
    char text[24];
    const bool negative = value < 0;
    const uint64_t magnitude =
        negative ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    const auto result = std::to_chars(text, text + sizeof text, magnitude);
    const size_t length = static_cast<size_t>(result.ptr - text);
    const size_t zeros = static_cast<size_t>(digits) > length ? digits - length : 0;
    char* out = Grow((negative ? 1 : 0) + zeros + length);
    if (negative) *out++ = '-';
    std::memset(out, '0', zeros);
    std::memcpy(out + zeros, text, length);
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
    char* out = Grow(length);
    for (size_t i = 0; i < length; ++i)
        out[i] = text[length - 1 - i];
}

void TextSink::PutFixed(double value, int width, int decimals) {
    const size_t size = buffer_.size();
    buffer_.resize(size + kMaxFixedChars + static_cast<size_t>(width));
    const size_t length = FormatFixed(buffer_.data() + size, value, width, decimals);
    buffer_.resize(size + length);
}

void TextSink::EndLine() {
    buffer_.append("\r\n", 2);
    if (file_ != nullptr && buffer_.size() >= kBlockBytes) Flush();
}

StageResult TextSink::Flush() {
    if (file_ == nullptr || !error_.ok()) return error_;
    if (!buffer_.empty()) {
        error_ = file_->Write(buffer_.data(), buffer_.size());
        buffer_.clear();
    }
    return error_;
}

}  // namespace kesh
