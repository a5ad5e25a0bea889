// A group frame whose title sits on its top line, the way the dialog templates' home
// platform draws one, whatever the style draws for a QGroupBox.
#pragma once

#include <QGroupBox>

namespace kesh {

class TitledFrame : public QGroupBox {
  public:
    using QGroupBox::QGroupBox;

    // The top of the frame's line: half the title's height below the widget's top edge.
    int LineTop() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace kesh
