#include "writer3do/text_sink.h"

namespace kesh {

TextSink::TextSink(OutputFile* file)
    : file_(file),
      buffer_(std::make_unique_for_overwrite<char[]>(kBlockBytes + 64 * 1024)),
      capacity_(kBlockBytes + 64 * 1024) {}

void TextSink::Grow(size_t size) {
    const size_t capacity = std::max(2 * capacity_, used_ + size);
    auto grown = std::make_unique_for_overwrite<char[]>(capacity);
    std::memcpy(grown.get(), buffer_.get(), used_);
    buffer_ = std::move(grown);
    capacity_ = capacity;
}

StageResult TextSink::Flush() {
    if (file_ == nullptr) return error_;
    // After a failed write the rest of the text is dropped rather than kept in memory.
    if (error_.ok() && used_ != 0) error_ = file_->Write(buffer_.get(), used_);
    used_ = 0;
    return error_;
}

}  // namespace kesh
