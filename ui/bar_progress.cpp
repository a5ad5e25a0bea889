#include "ui/bar_progress.h"

#include <QProgressBar>
#include <algorithm>

namespace kesh {

BarProgress::BarProgress(QProgressBar& bar) : bar_(bar) {
    lower_ = bar.minimum();
    upper_ = bar.maximum();
}

void BarProgress::SetStep(int step) {
    step_ = step;
}

void BarProgress::SetRange(uint16_t lower, uint16_t upper) {
    lower_ = lower;
    upper_ = upper;
    // An empty range would make QProgressBar show a busy animation; a standard progress
    // control shows an empty bar instead.
    bar_.setRange(lower_, std::max(upper_, lower_ + 1));
    Show(std::clamp(bar_.value(), lower_, std::max(upper_, lower_)));
}

void BarProgress::Step() {
    Show(std::min(bar_.value() + step_, std::max(upper_, lower_)));
}

void BarProgress::SetPosition(int position) {
    Show(std::clamp(position, lower_, std::max(upper_, lower_)));
}

void BarProgress::Show(int position) {
    bar_.setValue(position);
    bar_.repaint();
}

}  // namespace kesh
