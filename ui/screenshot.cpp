#include "ui/screenshot.h"

#include <QFile>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <string>
#include <vector>

#include "ui/about_dialog.h"
#include "ui/converter_dialog.h"

namespace kesh {
namespace {

// Time for the window system to map and paint a window before it is grabbed.
constexpr int kSettleMilliseconds = 500;

void Save(const QPixmap& picture, const QString& path) {
    if (!picture.save(path, "PNG")) {
        std::fprintf(stderr, "kesh: cannot write %s\n", path.toLocal8Bit().constData());
    }
}

// The dialog with the message box over it, where the window system put them, and a line
// around the box: without a window manager (as under Xvfb) nothing else would part it from
// the dialog below it.
QPixmap PictureWithMessage(ConverterDialog& dialog, QMessageBox& box) {
    const QRect area = dialog.geometry().united(box.geometry());
    QPixmap picture(area.size());
    picture.fill(dialog.palette().window().color());
    QPainter painter(&picture);
    painter.drawPixmap(dialog.geometry().topLeft() - area.topLeft(), dialog.grab());
    const QRect boxArea = box.geometry().translated(-area.topLeft());
    painter.drawPixmap(boxArea.topLeft(), box.grab());
    painter.setPen(box.palette().shadow().color());
    painter.drawRect(boxArea.adjusted(0, 0, -1, -1));
    return picture;
}

// Adds the files, presses "Convert" and, once the results and the message are painted,
// pictures them and closes the dialog. The message box stays open without blocking, so
// that the hook goes on while it is shown.
void ShootRun(ConverterDialog& dialog, const QStringList& files, const QString& resultsPath,
              const QString& messagePath) {
    std::vector<std::string> paths;
    for (const QString& file : files)
        paths.push_back(QFile::encodeName(file).toStdString());
    dialog.AddFiles(paths);
    auto* box = new QMessageBox(&dialog);
    dialog.SetNotifier([box](QWidget* parent, const QString& message) {
        SetUpMessage(*box, parent, message);
        box->setModal(false);
        box->show();
    });
    if (auto* convert = dialog.findChild<QPushButton*>(QStringLiteral("convertButton"))) {
        convert->click();
    }
    QTimer::singleShot(kSettleMilliseconds, &dialog, [&dialog, box, resultsPath, messagePath] {
        if (!resultsPath.isEmpty()) Save(dialog.grab(), resultsPath);
        if (!messagePath.isEmpty()) {
            if (box->isVisible()) {
                Save(PictureWithMessage(dialog, *box), messagePath);
            } else {
                std::fprintf(stderr, "kesh: the run showed no message to picture\n");
            }
        }
        dialog.reject();
    });
}

}  // namespace

void ScheduleScreenshots(ConverterDialog& dialog) {
    const QString dialogPath = qEnvironmentVariable("KESH_SCREENSHOT");
    const QString aboutPath = qEnvironmentVariable("KESH_SCREENSHOT_ABOUT");
    const QString resultsPath = qEnvironmentVariable("KESH_SCREENSHOT_RESULTS");
    const QString messagePath = qEnvironmentVariable("KESH_SCREENSHOT_MESSAGE");
    const QStringList files =
        qEnvironmentVariable("KESH_SCREENSHOT_FILES").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (dialogPath.isEmpty() && aboutPath.isEmpty() && resultsPath.isEmpty() &&
        messagePath.isEmpty()) {
        return;
    }
    QTimer::singleShot(kSettleMilliseconds, &dialog, [=, &dialog] {
        if (!dialogPath.isEmpty()) Save(dialog.grab(), dialogPath);
        if (!aboutPath.isEmpty()) {
            AboutDialog about(&dialog);
            about.show();
            Save(about.grab(), aboutPath);
        }
        if (resultsPath.isEmpty() && messagePath.isEmpty()) {
            dialog.reject();
        } else {
            ShootRun(dialog, files, resultsPath, messagePath);
        }
    });
}

}  // namespace kesh
