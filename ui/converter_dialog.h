// The main dialog: the list of OPT files, the settings of a batch, "Convert" with its
// progress bar, and "Done". It converts nothing itself: "Convert" reads the fields into a
// RunSettings and hands it, with the files, to the conversion run, then shows each file's
// result in the list and sums up a run that went wrong in one message.
#pragma once

#include <QDialog>
#include <QIcon>
#include <functional>
#include <string>
#include <vector>

#include "core/run.h"
#include "core/settings.h"

class QAction;
class QCheckBox;
class QMessageBox;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kesh {

inline constexpr const char* kDialogTitle = "Kesh - OPT to 3DO Converter";
inline constexpr const char* kTextureTitleSuffix = " - Tex Support";

// Control ids of the dialog, kept on every control as the property "controlId".
enum ControlId : int {
    kIdDone = 2,
    kIdFileList = 1000,
    kIdAdd = 1003,
    kIdScale = 1004,
    kIdGroup = 1005,
    kIdMaxGeo = 1006,
    kIdXwaCheck = 1007,
    kIdConvert = 1008,
    kIdProgress = 1009,
    kIdColourMap = 1010,
};

// The file name shown for a path: the text after its last '/' or '\', the whole path when
// it has neither.
std::string DisplayName(const std::string& path);

// The desktop's file-open picker: several files, the filter "OPT Files (*.opt)", default
// suffix "opt". Returns the chosen full paths in the picker's order, none when cancelled.
std::vector<std::string> PickOptFiles(QWidget* parent);

// Makes `box` the dialog's message: a warning with `message` and "OK", titled like `parent`.
void SetUpMessage(QMessageBox& box, QWidget* parent, const QString& message);

// Shows `message` in a modal message box over `parent` until it is closed.
void ShowMessage(QWidget* parent, const QString& message);

class ConverterDialog : public QDialog {
    Q_OBJECT

  public:
    // Chooses files for "Add...": full paths, or none when the choice was cancelled.
    using FilePicker = std::function<std::vector<std::string>(QWidget* parent)>;
    // Converts a batch; RunConversion unless a test puts something else in its place.
    using Runner =
        std::function<RunReport(const RunSettings&, const std::vector<std::string>&, Progress&)>;
    // Tells the user something; ShowMessage unless a test puts something else in its place.
    using Notifier = std::function<void(QWidget* parent, const QString& message)>;

    // `allowTextures` shows the colour map field and the palette check box and names the
    // texture support in the title; it holds for the dialog's whole life.
    explicit ConverterDialog(bool allowTextures, QWidget* parent = nullptr);

    void SetFilePicker(FilePicker picker) { picker_ = std::move(picker); }
    void SetRunner(Runner runner) { runner_ = std::move(runner); }
    void SetNotifier(Notifier notifier) { notifier_ = std::move(notifier); }

    // Every path added so far, in the order added; item n of the list shows entry n.
    const std::vector<std::string>& inputFiles() const { return inputFiles_; }
    bool allowTextures() const { return allowTextures_; }
    // The entry "&About Kesh..." of the context menu, also on F1.
    QAction* aboutAction() const { return aboutAction_; }
    // The list's context-menu entries "Preview" (one converted file selected), "Remove" (also
    // the Delete key) and "Remove all".
    QAction* previewAction() const { return previewAction_; }
    QAction* removeAction() const { return removeAction_; }
    QAction* removeAllAction() const { return removeAllAction_; }

    // The settings that "Convert" would hand to the run now: Group by position, MaxGeo and
    // Scale as atoi and atof read them, palette 3584 when "OPTs are XW-Alliance" is checked
    // and 7680 when not, the colour map file only with texture support, and whether "Fit
    // engine limits" is checked.
    RunSettings ReadSettings() const;

    // Appends each path to the list and to inputFiles, with an empty result. The current
    // directory becomes the folder of the first, where the run's MAT files land.
    void AddFiles(const std::vector<std::string>& paths);

    // "Add...": asks the picker for files and adds them; a cancelled choice adds nothing.
    void OnAdd();
    // "Convert": with texture support, first makes sure the colour map opens and is whole,
    // and otherwise says so and converts nothing. Then runs the batch to the end under the
    // wait cursor, stepping the progress bar, shows each file's result and tooltip, and sums
    // up a run with failures, or with warnings about the colour map or MAT names that
    // collide, in one message.
    void OnConvert();
    // Removes the selected files from the list and from inputFiles.
    void OnRemove();
    // Empties the list and inputFiles.
    void OnRemoveAll();
    // Shows the About box modally.
    void OnAbout();
    // Double-click on a file: shows its converted 3DO in a preview window, when there is one.
    void OnPreview(QTreeWidgetItem* item);
    // "Preview" in the list's context menu: the same for the selected file.
    void OnPreviewSelected();

  protected:
    // Folders and OPT files dropped on the dialog are added as "Add..." adds them.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Keeps the list's columns filling its width and the colour map's tooltip current.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void CreateControls();
    void CreateListActions();
    void FitColumns();
    void UpdateColourMapTip();
    void UpdateRemoveActions();

    bool allowTextures_ = false;
    QIcon icon_;
    QLineEdit* colourMapEdit_ = nullptr;
    QLineEdit* maxGeoEdit_ = nullptr;
    QCheckBox* xwaCheck_ = nullptr;
    QComboBox* groupBox_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QTreeWidget* fileList_ = nullptr;
    QLineEdit* scaleEdit_ = nullptr;
    QCheckBox* fitEngineCheck_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QAction* previewAction_ = nullptr;
    QAction* removeAction_ = nullptr;
    QAction* removeAllAction_ = nullptr;
    std::vector<std::string> inputFiles_;
    FilePicker picker_;
    Runner runner_;
    Notifier notifier_;
};

}  // namespace kesh
