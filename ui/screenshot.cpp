#include "ui/screenshot.h"

#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "ui/about_dialog.h"
#include "ui/converter_dialog.h"

namespace kesh {
namespace {

// Time for the window system to map and paint the dialog before it is grabbed.
constexpr int kSettleMilliseconds = 500;

void Save(QWidget& widget, const QString& path) {
    if (!widget.grab().save(path, "PNG")) {
        std::fprintf(stderr, "kesh: cannot write %s\n", path.toLocal8Bit().constData());
    }
}

}  // namespace

void ScheduleScreenshots(ConverterDialog& dialog) {
    const QString dialogPath = qEnvironmentVariable("KESH_SCREENSHOT");
    const QString aboutPath = qEnvironmentVariable("KESH_SCREENSHOT_ABOUT");
    if (dialogPath.isEmpty() && aboutPath.isEmpty()) return;
    QTimer::singleShot(kSettleMilliseconds, &dialog, [&dialog, dialogPath, aboutPath] {
        if (!dialogPath.isEmpty()) Save(dialog, dialogPath);
        if (!aboutPath.isEmpty()) {
            AboutDialog about(&dialog);
            about.show();
            Save(about, aboutPath);
        }
        dialog.reject();
    });
}

}  // namespace kesh
