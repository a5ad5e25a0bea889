// What kesh-convert shows while a run goes on: each file's messages as soon as the file is
// done and, on a terminal, a one-line progress bar below them, redrawn after every stage.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "core/run.h"

namespace kesh {

enum class Verbosity {
    Quiet,    // failures only
    Normal,   // failures and warnings
    Verbose,  // also what was read and written for each file
};

class TerminalProgress final : public Progress {
  public:
    // Writes to `out`; draws the bar only when `bar` is set (for a terminal). `files` names
    // the current file on the bar.
    TerminalProgress(std::FILE* out, const std::vector<std::string>& files, int stagesPerFile,
                     bool bar, Verbosity verbosity);

    void SetStep(int step) override { step_ = step; }
    void SetRange(uint16_t lower, uint16_t upper) override;
    void Step() override;
    void SetPosition(int position) override;
    void FileDone(const FileOutcome& outcome) override;

    // Prints one line above the bar.
    void Print(const std::string& line);

  private:
    void Draw();
    void Clear();

    std::FILE* out_;
    const std::vector<std::string>& files_;
    int stagesPerFile_;
    bool bar_;
    Verbosity verbosity_;
    int step_ = 1;
    int position_ = 0;
    bool drawn_ = false;
};

}  // namespace kesh
