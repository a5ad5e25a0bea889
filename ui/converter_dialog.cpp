#include "ui/converter_dialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

#include "core/paths.h"
#include "ui/about_dialog.h"
#include "ui/artwork.h"
#include "ui/bar_progress.h"
#include "ui/colour_map_check.h"
#include "ui/dialog_units.h"
#include "ui/dropped_files.h"
#include "ui/preview_window.h"
#include "ui/run_summary.h"
#include "ui/titled_frame.h"

namespace kesh {
namespace {

constexpr int kWidth = 202;
constexpr int kHeight = 178;
constexpr int kFileColumnWidth = 200;
constexpr int kNameColumn = 0;
constexpr int kResultColumn = 1;

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

QString ToQString(const std::string& text) {
    return QFile::decodeName(text.c_str());
}

// The local files and folders of a drop that may hold OPT files.
std::vector<std::string> DroppedPaths(const QMimeData& data) {
    std::vector<std::string> paths;
    for (const QUrl& url : data.urls()) {
        if (!url.isLocalFile()) continue;
        std::string path = FromQString(url.toLocalFile());
        if (MayHoldOptFiles(path)) paths.push_back(std::move(path));
    }
    return paths;
}

std::string CurrentFolder() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    return error ? std::string(".") : folder.string();
}

}  // namespace

std::string DisplayName(const std::string& path) {
    return std::string(BaseName(path));
}

void SetUpMessage(QMessageBox& box, QWidget* parent, const QString& message) {
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(parent != nullptr ? parent->windowTitle()
                                         : QString::fromLatin1(kDialogTitle));
    box.setText(message);
    box.setStandardButtons(QMessageBox::Ok);
}

void ShowMessage(QWidget* parent, const QString& message) {
    QMessageBox box(parent);
    SetUpMessage(box, parent, message);
    box.exec();
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
      runner_(RunConversion),
      notifier_(ShowMessage) {
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
    CreateListActions();
    setAcceptDrops(true);

    setWindowIcon(icon_);
    fileList_->setHeaderLabels({tr("Filename"), tr("Result")});
    fileList_->setColumnWidth(kNameColumn, kFileColumnWidth);
    groupBox_->setCurrentIndex(0);
    maxGeoEdit_->setText(QString::fromLatin1(kDefaultMaxGeoText));
    scaleEdit_->setText(QString::fromLatin1(kDefaultScaleText));
    colourMapEdit_->setText(QString::fromLatin1(kDefaultColourMapFile));
    xwaCheck_->setChecked(true);
    fitEngineCheck_->setChecked(false);
    if (allowTextures_) {
        colourMapEdit_->show();
        xwaCheck_->show();
        setWindowTitle(QString::fromLatin1(kDialogTitle) +
                       QString::fromLatin1(kTextureTitleSuffix));
    }
    addButton_->setFocus();

    UpdateColourMapTip();
    connect(colourMapEdit_, &QLineEdit::textChanged, this, &ConverterDialog::UpdateColourMapTip);
    colourMapEdit_->installEventFilter(this);
    fileList_->viewport()->installEventFilter(this);
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
    fileList_->setColumnCount(2);
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

    fitEngineCheck_ = Place(new QCheckBox(tr("Fit engine limits"), this), "fitEngineCheck", 0,
                            du.Rect(106, 133, 87, 10));

    // A drop anywhere on the dialog adds files, also over a text field.
    for (QLineEdit* edit : {scaleEdit_, maxGeoEdit_, colourMapEdit_})
        edit->setAcceptDrops(false);

    auto* convert = Place(new QPushButton(tr("Convert"), this), "convertButton", kIdConvert,
                          du.Rect(86, 161, 60, 14));
    connect(convert, &QPushButton::clicked, this, &ConverterDialog::OnConvert);

    auto* done =
        Place(new QPushButton(tr("Done"), this), "doneButton", kIdDone, du.Rect(149, 161, 50, 14));
    connect(done, &QPushButton::clicked, this, &QDialog::reject);

    Label(this, tr("OPT Files:"), "filesLabel", du.Rect(3, 3, 34, 8));
    auto* options =
        Place(new TitledFrame(tr("Options"), this), "optionsFrame", 0, du.Rect(3, 84, 196, 68));
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
    settings.fitEngine = fitEngineCheck_->isChecked();
    return settings;
}

void ConverterDialog::CreateListActions() {
    previewAction_ = new QAction(tr("Preview"), fileList_);
    previewAction_->setObjectName(QStringLiteral("previewAction"));
    connect(previewAction_, &QAction::triggered, this, &ConverterDialog::OnPreviewSelected);

    removeAction_ = new QAction(tr("Remove"), fileList_);
    removeAction_->setObjectName(QStringLiteral("removeAction"));
    removeAction_->setShortcut(QKeySequence::Delete);
    removeAction_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(removeAction_, &QAction::triggered, this, &ConverterDialog::OnRemove);

    removeAllAction_ = new QAction(tr("Remove all"), fileList_);
    removeAllAction_->setObjectName(QStringLiteral("removeAllAction"));
    connect(removeAllAction_, &QAction::triggered, this, &ConverterDialog::OnRemoveAll);

    auto* separator = new QAction(fileList_);
    separator->setSeparator(true);
    fileList_->addActions(
        {previewAction_, removeAction_, removeAllAction_, separator, aboutAction_});
    fileList_->setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(fileList_, &QTreeWidget::itemSelectionChanged, this,
            &ConverterDialog::UpdateRemoveActions);
    UpdateRemoveActions();
}

void ConverterDialog::AddFiles(const std::vector<std::string>& paths) {
    if (paths.empty()) return;
    int n = fileList_->topLevelItemCount();
    for (const std::string& path : paths) {
        auto* item = new QTreeWidgetItem(QStringList{ToQString(DisplayName(path))});
        item->setToolTip(kNameColumn, ToQString(path));
        fileList_->insertTopLevelItem(n, item);
        inputFiles_.push_back(path);
        ++n;
    }
    // A picker leaves the current directory in the folder of the chosen files; the MAT files
    // of the next run are created there, beside the models.
    const std::filesystem::path folder = std::filesystem::path(paths.front()).parent_path();
    if (!folder.empty()) {
        std::error_code error;
        std::filesystem::current_path(folder, error);
    }
    UpdateColourMapTip();
    UpdateRemoveActions();
}

void ConverterDialog::OnAdd() {
    AddFiles(picker_ ? picker_(this) : std::vector<std::string>{});
}

void ConverterDialog::OnConvert() {
    const RunSettings settings = ReadSettings();
    if (settings.allowTextures) {
        // Every MAT file of a batch indexes the colour map: without a whole one they would
        // all come out wrong, so nothing is converted until the field names one.
        UpdateColourMapTip();
        const std::string problem = ColourMapProblem(settings);
        if (!problem.empty()) {
            if (notifier_) notifier_(this, QString::fromStdString(problem));
            return;
        }
    }
    const std::string matFolder = CurrentFolder();
    RunReport report;
    {
        const WaitCursor waitCursor;
        BarProgress progress(*progressBar_);
        if (runner_) report = runner_(settings, inputFiles_, progress);
    }

    const RunSummary summary = SummariseRun(settings, report, matFolder);
    for (int i = 0; i < fileList_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = fileList_->topLevelItem(i);
        const bool known = static_cast<size_t>(i) < summary.files.size();
        const QString result = known ? QString::fromStdString(summary.files[i].result) : QString();
        const QString tip = known ? QString::fromStdString(summary.files[i].tip)
                                  : ToQString(inputFiles_[static_cast<size_t>(i)]);
        item->setText(kResultColumn, result);
        item->setToolTip(kNameColumn, tip);
        item->setToolTip(kResultColumn, tip);
    }
    if (!summary.message.empty() && notifier_) {
        notifier_(this, QString::fromStdString(summary.message));
    }
}

void ConverterDialog::OnRemove() {
    std::vector<int> rows;
    for (QTreeWidgetItem* item : fileList_->selectedItems())
        rows.push_back(fileList_->indexOfTopLevelItem(item));
    // From the last row up, so that the rows still to go keep their numbers.
    std::sort(rows.rbegin(), rows.rend());
    for (const int row : rows) {
        if (row < 0) continue;
        const std::unique_ptr<QTreeWidgetItem> item(fileList_->takeTopLevelItem(row));
        inputFiles_.erase(inputFiles_.begin() + row);
    }
    UpdateRemoveActions();
}

void ConverterDialog::OnRemoveAll() {
    fileList_->clear();
    inputFiles_.clear();
    UpdateRemoveActions();
}

void ConverterDialog::UpdateRemoveActions() {
    previewAction_->setEnabled(fileList_->selectedItems().size() == 1);
    removeAction_->setEnabled(!fileList_->selectedItems().isEmpty());
    removeAllAction_->setEnabled(fileList_->topLevelItemCount() > 0);
}

void ConverterDialog::FitColumns() {
    // "Filename" keeps its width and "Result" takes the rest of the list's; a longer result is
    // cut short with an ellipsis, and its tooltip holds it whole. (The header's own stretch
    // never makes a section narrower than its default width.)
    const int rest = fileList_->viewport()->width() - fileList_->columnWidth(kNameColumn);
    fileList_->setColumnWidth(kResultColumn,
                              std::max(rest, fileList_->header()->minimumSectionSize()));
}

void ConverterDialog::UpdateColourMapTip() {
    const ColourMapCheck check = LookUpColourMap(FromQString(colourMapEdit_->text()));
    colourMapEdit_->setToolTip(QString::fromStdString(ColourMapTip(check)));
}

void ConverterDialog::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData() != nullptr && !DroppedPaths(*event->mimeData()).empty())
        event->acceptProposedAction();
}

void ConverterDialog::dropEvent(QDropEvent* event) {
    if (event->mimeData() == nullptr) return;
    const std::vector<std::string> files = OptFilesIn(DroppedPaths(*event->mimeData()));
    if (files.empty()) return;
    event->acceptProposedAction();
    AddFiles(files);
}

bool ConverterDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == fileList_->viewport() && event->type() == QEvent::Resize) FitColumns();
    // The current directory, and the file in it, may have changed since the tip was made.
    if (watched == colourMapEdit_ && event->type() == QEvent::ToolTip) UpdateColourMapTip();
    return QDialog::eventFilter(watched, event);
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

void ConverterDialog::OnPreviewSelected() {
    const QList<QTreeWidgetItem*> selected = fileList_->selectedItems();
    if (selected.size() == 1) OnPreview(selected.front());
}

}  // namespace kesh
