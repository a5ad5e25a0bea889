// A window of its own showing a converted 3DO model from the front, the side, the top and at
// three quarters, drawn by the preview renderer from the 3DO file and its MAT files.
#pragma once

#include <QImage>
#include <QStringList>
#include <QWidget>
#include <string>

class QLabel;

namespace kesh {

class PreviewWindow : public QWidget {
    Q_OBJECT

  public:
    // Side of the four-view picture, in pixels.
    static constexpr int kPictureSize = 640;

    // Reads the 3DO file at `modelPath` and draws its first geometry set, its MAT files looked
    // up beside it and then in the current folder and coloured through `colourMapFile`. A
    // model that cannot be read is shown as the reason, with no picture. The window deletes
    // itself when closed.
    PreviewWindow(const std::string& modelPath, const std::string& colourMapFile,
                  QWidget* parent = nullptr);

    // The picture shown; null when the model could not be read.
    const QImage& picture() const { return picture_; }
    // The lines under the picture: what could not be read, each missing MAT file.
    QStringList notes() const { return notes_; }

  private:
    QImage picture_;
    QStringList notes_;
};

}  // namespace kesh
