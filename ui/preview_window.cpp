#include "ui/preview_window.h"

#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>
#include <filesystem>
#include <vector>

#include "reader3do/reader3do.h"
#include "render/materials.h"
#include "render/model_view.h"
#include "textures/colour_map.h"

namespace kesh {

namespace {

QString FromLocal(const std::string& text) {
    return QFile::decodeName(QByteArray::fromStdString(text));
}

}  // namespace

PreviewWindow::PreviewWindow(const std::string& modelPath, const std::string& colourMapFile,
                             QWidget* parent)
    : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Preview - %1").arg(FromLocal(modelPath)));

    Model3do model;
    Read3doError error;
    if (Load3do(modelPath.c_str(), model, error)) {
        std::vector<std::string> warnings;
        std::vector<RgbImage> materials;
        ColourMap colourMap;
        if (colourMap.Load(colourMapFile.c_str())) {
            const std::string folder = std::filesystem::path(modelPath).parent_path().string();
            const std::vector<std::string> folders = {folder, ""};
            materials = LoadMaterialImages(model, colourMap, folders, warnings);
        } else if (!model.materials.empty()) {
            warnings.push_back(colourMapFile + ": cannot open colour map; every face is grey");
        }
        const RgbImage sheet = DrawSheet(model, 0, materials, kPictureSize);
        picture_ = QImage(sheet.pixels.data(), sheet.width, sheet.height, sheet.width * 3,
                          QImage::Format_RGB888)
                       .copy();
        for (const std::string& warning : warnings)
            notes_.append(FromLocal(warning));
    } else {
        notes_.append(FromLocal(modelPath + ": " + Describe(error)));
    }

    auto* layout = new QVBoxLayout(this);
    if (!picture_.isNull()) {
        auto* label = new QLabel(this);
        label->setObjectName("picture");
        label->setPixmap(QPixmap::fromImage(picture_));
        layout->addWidget(label);
    }
    if (!notes_.isEmpty()) {
        auto* text = new QLabel(notes_.join('\n'), this);
        text->setObjectName("notes");
        text->setWordWrap(true);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(text);
    }
}

}  // namespace kesh
