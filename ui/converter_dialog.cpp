#include "ui/converter_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "core/paths.h"
#include "ui/about_dialog.h"
#include "ui/artwork.h"
#include "ui/bar_progress.h"
#include "ui/dialog_units.h"
#include "ui/preview_window.h"

namespace kesh {
namespace {

constexpr int kWidth = 202;
constexpr int kHeight = 178;
constexpr int kFileColumnWidth = 200;

// Shows the wait cursor for as long as it lives, so that it is restored on every way out.
class WaitCursor {
  public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

template <typename Widget>
Widget* Place(Widget* widget, const char* name, int id, const QRect& rect) {
    widget->setObjectName(QString::fromLatin1(name));
    if (id != 0) widget->setProperty("controlId", id);
    widget->setGeometry(rect);
    return widget;
}

// A label starts where the template puts it; a font wider than the template's may widen it
// to its text, which still ends before the fields that follow it.
QLabel* Label(QWidget* parent, const QString& text, const char* name, QRect rect) {
    auto* label = new QLabel(text, parent);
    rect.setWidth(std::max(rect.width(), label->fontMetrics().boundingRect(text).width() + 1));
    Place(label, name, 0, rect);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

std::string FromQString(const QString& text) {
    return QFile::encodeName(text).toStdString();
}

}  // namespace

std::string DisplayName(const std::string& path) {
    return std::string(BaseName(path));
}

std::vector<std::string> PickOptFiles(QWidget* parent) {
    QFileDialog picker(parent);
    picker.setAcceptMode(QFileDialog::AcceptOpen);
    picker.setFileMode(QFileDialog::ExistingFiles);
    picker.setNameFilter(QStringLiteral("OPT Files (*.opt)"));
    picker.setDefaultSuffix(QStringLiteral("opt"));
    if (picker.exec() != QDialog::Accepted) return {};
    std::vector<std::string> paths;
    for (const QString& file : picker.selectedFiles())
        paths.push_back(FromQString(file));
    return paths;
}

ConverterDialog::ConverterDialog(bool allowTextures, QWidget* parent)
    : QDialog(parent),
      allowTextures_(allowTextures),
      icon_(AppIcon()),
      picker_(PickOptFiles),
      runner_(RunConversion) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QString::fromLatin1(kDialogTitle));
    CreateControls();

    // Linux window managers keep the window menu to themselves, so the About entry lives
    // in the dialog's context menu and on F1.
    aboutAction_ = new QAction(tr("&About Kesh..."), this);
    aboutAction_->setObjectName(QStringLiteral("aboutAction"));
    aboutAction_->setShortcut(QKeySequence(Qt::Key_F1));
    connect(aboutAction_, &QAction::triggered, this, &ConverterDialog::OnAbout);
    addAction(aboutAction_);
    setContextMenuPolicy(Qt::ActionsContextMenu);

    setWindowIcon(icon_);
    fileList_->setHeaderLabels({tr("Filename")});
    fileList_->setColumnWidth(0, kFileColumnWidth);
    groupBox_->setCurrentIndex(0);
    maxGeoEdit_->setText(QString::fromLatin1(kDefaultMaxGeoText));
    scaleEdit_->setText(QString::fromLatin1(kDefaultScaleText));
    colourMapEdit_->setText(QString::fromLatin1(kDefaultColourMapFile));
    xwaCheck_->setChecked(true);
    if (allowTextures_) {
        colourMapEdit_->show();
        xwaCheck_->show();
        setWindowTitle(QString::fromLatin1(kDialogTitle) +
                       QString::fromLatin1(kTextureTitleSuffix));
    }
    addButton_->setFocus();
}

void ConverterDialog::CreateControls() {
    const DialogUnits du = DialogUnits::ForFont(font());
    setFixedSize(du.Size(kWidth, kHeight));

    // Created in tab order, so the focus chain is the template's.
    addButton_ =
        Place(new QPushButton(tr("Add..."), this), "addButton", kIdAdd, du.Rect(164, 66, 35, 14));
    addButton_->setDefault(true);
    connect(addButton_, &QPushButton::clicked, this, &ConverterDialog::OnAdd);

    fileList_ = Place(new QTreeWidget(this), "fileList", kIdFileList, du.Rect(40, 3, 159, 60));
    fileList_->setColumnCount(1);
    fileList_->setRootIsDecorated(false);
    fileList_->setItemsExpandable(false);
    fileList_->setUniformRowHeights(true);
    fileList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    fileList_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    fileList_->header()->setSectionsClickable(false);
    fileList_->header()->setSectionsMovable(false);
    fileList_->header()->setStretchLastSection(false);
    fileList_->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(fileList_, &QTreeWidget::itemDoubleClicked, this, &ConverterDialog::OnPreview);

    scaleEdit_ = Place(new QLineEdit(this), "scaleEdit", kIdScale, du.Rect(40, 98, 60, 14));

    groupBox_ = Place(new QComboBox(this), "groupBox", kIdGroup, du.Rect(40, 116, 60, 14));
    groupBox_->addItems({tr("Red (default)"), tr("Gold"), tr("Blue"), tr("Green")});

    maxGeoEdit_ = Place(new QLineEdit(this), "maxGeoEdit", kIdMaxGeo, du.Rect(40, 133, 60, 14));

    colourMapEdit_ =
        Place(new QLineEdit(this), "colourMapEdit", kIdColourMap, du.Rect(106, 98, 87, 14));
    colourMapEdit_->hide();

    xwaCheck_ = Place(new QCheckBox(tr("OPTs are XW-Alliance"), this), "xwaCheck", kIdXwaCheck,
                      du.Rect(106, 116, 87, 10));
    xwaCheck_->hide();

    auto* convert = Place(new QPushButton(tr("Convert"), this), "convertButton", kIdConvert,
                          du.Rect(86, 161, 60, 14));
    connect(convert, &QPushButton::clicked, this, &ConverterDialog::OnConvert);

    auto* done =
        Place(new QPushButton(tr("Done"), this), "doneButton", kIdDone, du.Rect(149, 161, 50, 14));
    connect(done, &QPushButton::clicked, this, &QDialog::reject);

    Label(this, tr("OPT Files:"), "filesLabel", du.Rect(3, 3, 34, 8));
    auto* options =
        Place(new QGroupBox(tr("Options"), this), "optionsFrame", 0, du.Rect(3, 84, 196, 68));
    // The frame only surrounds the fields: below them, it must not take their clicks.
    options->lower();
    Label(this, tr("Scale:"), "scaleLabel", du.Rect(9, 98, 21, 8));
    Label(this, tr("Group:"), "groupLabel", du.Rect(9, 116, 22, 8));
    Label(this, tr("MaxGeo:"), "maxGeoLabel", du.Rect(9, 133, 30, 8));

    progressBar_ =
        Place(new QProgressBar(this), "progressBar", kIdProgress, du.Rect(3, 163, 78, 10));
    progressBar_->setTextVisible(false);
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
}

RunSettings ConverterDialog::ReadSettings() const {
    RunSettings settings;
    settings.allowTextures = allowTextures_;
    if (allowTextures_) settings.colourMapFile = FromQString(colourMapEdit_->text());
    settings.textureGroup = groupBox_->currentIndex();
    settings.maxGeo = TextToInt(maxGeoEdit_->text().toStdString());
    settings.scale = ScaleFromText(scaleEdit_->text().toStdString());
    settings.paletteOffset = xwaCheck_->isChecked() ? kXwaPaletteOffset : kPlainPaletteOffset;
    return settings;
}

void ConverterDialog::OnAdd() {
    const std::vector<std::string> chosen = picker_ ? picker_(this) : std::vector<std::string>{};
    if (chosen.empty()) return;
    int n = fileList_->topLevelItemCount();
    for (const std::string& path : chosen) {
        auto* item = new QTreeWidgetItem(QStringList{QFile::decodeName(DisplayName(path).c_str())});
        fileList_->insertTopLevelItem(n, item);
        inputFiles_.push_back(path);
        ++n;
    }
    // A picker leaves the current directory in the folder of the chosen files; the MAT files
    // of the next run are created there, beside the models.
    const std::filesystem::path folder = std::filesystem::path(chosen.front()).parent_path();
    if (!folder.empty()) {
        std::error_code error;
        std::filesystem::current_path(folder, error);
    }
}

void ConverterDialog::OnConvert() {
    const WaitCursor waitCursor;
    BarProgress progress(*progressBar_);
    if (runner_) runner_(ReadSettings(), inputFiles_, progress);
}

void ConverterDialog::OnAbout() {
    AboutDialog about(this);
    about.exec();
}

void ConverterDialog::OnPreview(QTreeWidgetItem* item) {
    const int row = fileList_->indexOfTopLevelItem(item);
    if (row < 0 || static_cast<size_t>(row) >= inputFiles_.size()) return;
    const std::string modelPath = OutputPathFor(inputFiles_[static_cast<size_t>(row)]);
    std::error_code error;
    if (!std::filesystem::is_regular_file(modelPath, error)) return;  // not converted yet
    auto* window = new PreviewWindow(modelPath, ReadSettings().colourMapFile, this);
    window->show();
}

}  // namespace kesh
