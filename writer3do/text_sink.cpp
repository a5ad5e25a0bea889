#include "writer3do/text_sink.h"

namespace kesh {

TextSink::TextSink(OutputFile* file) : file_(file), buffer_(kBlockBytes + 64 * 1024) {}

StageResult TextSink::Flush() {
    if (file_ == nullptr) return error_;
    // After a failed write the rest of the text is dropped rather than kept in memory.
    if (error_.ok() && used_ != 0) error_ = file_->Write(buffer_.data(), used_);
    used_ = 0;
    return error_;
}

}  // namespace kesh
