// The About box: the icon, the version, two lines of credits, "OK" and a picture.
#pragma once

#include <QDialog>

namespace kesh {

inline constexpr const char* kAboutTitle = "About Kesh";
inline constexpr const char* kVersionLine = "Kesh Version 1.0";

// A fixed-size box laid out in dialog units from its own font. "OK", Escape and the close
// button end it.
class AboutDialog : public QDialog {
    Q_OBJECT

  public:
    explicit AboutDialog(QWidget* parent = nullptr);
};

}  // namespace kesh
