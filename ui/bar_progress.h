// The run's progress operations carried out on a QProgressBar.
#pragma once

#include <cstdint>

#include "core/run.h"

class QProgressBar;

namespace kesh {

// Drives `bar` like a standard progress control: the position starts at the lower bound,
// a step adds the step increment (never beyond the upper bound), and the bar is repainted
// at once after every change so that it advances while a batch holds the only thread.
class BarProgress final : public Progress {
  public:
    explicit BarProgress(QProgressBar& bar);

    void SetStep(int step) override;
    void SetRange(uint16_t lower, uint16_t upper) override;
    void Step() override;
    void SetPosition(int position) override;

  private:
    void Show(int position);

    QProgressBar& bar_;
    int step_ = 10;
    int lower_ = 0;
    int upper_ = 100;
};

}  // namespace kesh
