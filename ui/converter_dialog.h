// The main dialog: the list of OPT files, the settings of a batch, "Convert" with its
// progress bar, and "Done". It converts nothing itself: "Convert" reads the fields into a
// RunSettings and hands it, with the files, to the conversion run.
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

class ConverterDialog : public QDialog {
    Q_OBJECT

  public:
    // Chooses files for "Add...": full paths, or none when the choice was cancelled.
    using FilePicker = std::function<std::vector<std::string>(QWidget* parent)>;
    // Converts a batch; RunConversion unless a test puts something else in its place.
    using Runner =
        std::function<RunReport(const RunSettings&, const std::vector<std::string>&, Progress&)>;

    // `allowTextures` shows the colour map field and the palette check box and names the
    // texture support in the title; it holds for the dialog's whole life.
    explicit ConverterDialog(bool allowTextures, QWidget* parent = nullptr);

    void SetFilePicker(FilePicker picker) { picker_ = std::move(picker); }
    void SetRunner(Runner runner) { runner_ = std::move(runner); }

    // Every path added so far, in the order added; item n of the list shows entry n.
    const std::vector<std::string>& inputFiles() const { return inputFiles_; }
    bool allowTextures() const { return allowTextures_; }
    // The entry "&About Kesh..." of the context menu, also on F1.
    QAction* aboutAction() const { return aboutAction_; }

    // The settings that "Convert" would hand to the run now: Group by position, MaxGeo and
    // Scale as atoi and atof read them, palette 3584 when "OPTs are XW-Alliance" is checked
    // and 7680 when not, the colour map file only with texture support.
    RunSettings ReadSettings() const;

    // "Add...": asks the picker for files and appends each to the list and to inputFiles.
    // After a confirmed choice the current directory is the chosen files' folder, where the
    // run's MAT files land.
    void OnAdd();
    // "Convert": runs the batch to the end under the wait cursor, stepping the progress bar.
    void OnConvert();
    // Shows the About box modally.
    void OnAbout();
    // Double-click on a file: shows its converted 3DO in a preview window, when there is one.
    void OnPreview(QTreeWidgetItem* item);

  private:
    void CreateControls();

    bool allowTextures_ = false;
    QIcon icon_;
    QLineEdit* colourMapEdit_ = nullptr;
    QLineEdit* maxGeoEdit_ = nullptr;
    QCheckBox* xwaCheck_ = nullptr;
    QComboBox* groupBox_ = nullptr;
    QProgressBar* progressBar_ = nullptr;
    QTreeWidget* fileList_ = nullptr;
    QLineEdit* scaleEdit_ = nullptr;
    QPushButton* addButton_ = nullptr;
    QAction* aboutAction_ = nullptr;
    std::vector<std::string> inputFiles_;
    FilePicker picker_;
    Runner runner_;
};

}  // namespace kesh
