// A one-line progress bar on a terminal, redrawn after every stage.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "core/run.h"

namespace kesh {

class TerminalProgress final : public Progress {
  public:
    // Draws on `out` (a terminal); `files` names the stage's file as the bar advances.
    TerminalProgress(std::FILE* out, const std::vector<std::string>& files, int stagesPerFile);

    void SetStep(int step) override { step_ = step; }
    void SetRange(uint16_t lower, uint16_t upper) override;
    void Step() override;
    void SetPosition(int position) override;

  private:
    void Draw();

    std::FILE* out_;
    const std::vector<std::string>& files_;
    int stagesPerFile_;
    int step_ = 1;
    int lower_ = 0;
    int upper_ = 0;
    int position_ = 0;
};

}  // namespace kesh
