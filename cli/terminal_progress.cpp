#include "cli/terminal_progress.h"

#include <algorithm>

#include "frontend/run_messages.h"

namespace kesh {

namespace {

constexpr int kBarWidth = 30;
constexpr size_t kNameWidth = 36;

}  // namespace

TerminalProgress::TerminalProgress(std::FILE* out, const std::vector<std::string>& files,
                                   int stagesPerFile, bool bar, Verbosity verbosity)
    : out_(out),
      files_(files),
      stagesPerFile_(std::max(stagesPerFile, 1)),
      bar_(bar),
      verbosity_(verbosity) {}

void TerminalProgress::SetRange(uint16_t lower, uint16_t /*upper*/) {
    // The bar counts files from the list itself: the run's range is 16 bits wide.
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
    Clear();
}

void TerminalProgress::FileDone(const FileOutcome& outcome) {
    for (const std::string& failure : FailuresOf(outcome))
        Print(outcome.inputPath + ": " + failure);
    if (verbosity_ != Verbosity::Quiet) {
        for (const std::string& change : outcome.fitChanges)
            Print(outcome.inputPath + ": " + change);
        for (const FileWarning& warning : WarningsOf(outcome))
            Print(outcome.inputPath + ": warning: " + Describe(warning));
    }
    if (verbosity_ == Verbosity::Verbose) {
        for (const std::string& line : DescribeWork(outcome))
            Print(line);
    }
}

void TerminalProgress::Print(const std::string& line) {
    const bool redraw = drawn_;
    Clear();
    std::fprintf(out_, "%s\n", line.c_str());
    if (redraw) Draw();
    std::fflush(out_);
}

void TerminalProgress::Clear() {
    if (!drawn_) return;
    std::fprintf(out_, "\r\033[K");
    std::fflush(out_);
    drawn_ = false;
}

void TerminalProgress::Draw() {
    if (!bar_ || files_.empty()) return;
    const int total = static_cast<int>(files_.size());
    const int done = std::clamp(position_ / stagesPerFile_, 0, total);
    const int filled = static_cast<int>(static_cast<int64_t>(done) * kBarWidth / total);
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kBarWidth - filled), '-');
    std::string name = files_[static_cast<size_t>(std::min(done, total - 1))];
    // A line longer than the terminal would wrap, and '\r' could no longer clear it.
    if (name.size() > kNameWidth) name = "..." + name.substr(name.size() - (kNameWidth - 3));
    std::fprintf(out_, "\r\033[K[%s] %d/%d %s", bar.c_str(), done, total, name.c_str());
    std::fflush(out_);
    drawn_ = true;
}

}  // namespace kesh
