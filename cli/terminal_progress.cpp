#include "cli/terminal_progress.h"

#include <algorithm>

namespace kesh {

namespace {

constexpr int kBarWidth = 30;

}  // namespace

TerminalProgress::TerminalProgress(std::FILE* out, const std::vector<std::string>& files,
                                   int stagesPerFile)
    : out_(out), files_(files), stagesPerFile_(stagesPerFile) {}

void TerminalProgress::SetRange(uint16_t lower, uint16_t upper) {
    lower_ = lower;
    upper_ = upper;
    position_ = lower;
    Draw();
}

void TerminalProgress::Step() {
    position_ += step_;
    Draw();
}

void TerminalProgress::SetPosition(int position) {
    position_ = position;
    // The run ends by emptying the bar: clear the line instead of drawing an empty bar.
    std::fprintf(out_, "\r\033[K");
    std::fflush(out_);
}

void TerminalProgress::Draw() {
    const int span = std::max(upper_ - lower_, 1);
    const int done = std::clamp(position_ - lower_, 0, span);
    const int filled = done * kBarWidth / span;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kBarWidth - filled), '-');
    const size_t file = static_cast<size_t>(
        std::min(done / std::max(stagesPerFile_, 1), static_cast<int>(files_.size()) - 1));
    const char* name = files_.empty() ? "" : files_[file].c_str();
    std::fprintf(out_, "\r\033[K[%s] %d/%d %s", bar.c_str(), done, span, name);
    std::fflush(out_);
}

}  // namespace kesh
