// The desktop dialog: the command-line switch, the layout and initial state, adding and
// removing files, "Convert" with its settings, progress, results and messages, the About box,
// and the program's start and end.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "frontend/run_messages.h"
#include "support/scratch_dir.h"
#include "support/test_models.h"
#include "ui/about_dialog.h"
#include "ui/artwork.h"
#include "ui/bar_progress.h"
#include "ui/command_line.h"
#include "ui/converter_dialog.h"
#include "ui/dialog_units.h"
#include "ui/titled_frame.h"

namespace kesh {
namespace {

using test::CurrentDir;
using test::ScratchDir;

template <typename Widget = QWidget>
Widget* Control(const QWidget& dialog, int id) {
    for (Widget* widget : dialog.findChildren<Widget*>()) {
        if (widget->property("controlId").toInt() == id) return widget;
    }
    return nullptr;
}

// The ids of the dialog's controls in focus-chain order, starting from "Add...".
std::vector<int> FocusChainIds(QWidget& dialog) {
    std::vector<int> ids;
    QWidget* start = Control(dialog, kIdAdd);
    QWidget* widget = start;
    do {
        const QVariant id = widget->property("controlId");
        if (id.isValid()) ids.push_back(id.toInt());
        widget = widget->nextInFocusChain();
    } while (widget != start && widget != nullptr && ids.size() < 50);
    return ids;
}

std::vector<std::string> ListItems(const QWidget& dialog) {
    auto* list = Control<QTreeWidget>(dialog, kIdFileList);
    std::vector<std::string> items;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        items.push_back(list->topLevelItem(i)->text(0).toStdString());
    }
    return items;
}

std::vector<std::string> Results(const QWidget& dialog) {
    auto* list = Control<QTreeWidget>(dialog, kIdFileList);
    std::vector<std::string> results;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        results.push_back(list->topLevelItem(i)->text(1).toStdString());
    }
    return results;
}

std::string Tip(const QWidget& dialog, int item) {
    return Control<QTreeWidget>(dialog, kIdFileList)->topLevelItem(item)->toolTip(1).toStdString();
}

// The failure of a file as the command line words it, without the file's path.
std::string FailureWords(const FileOutcome& file) {
    std::string words;
    for (const std::string& line : DescribeFile(file)) {
        const std::string text = line.substr(file.inputPath.size() + 2);
        if (text.starts_with("warning: ")) continue;
        words += (words.empty() ? "" : "; ") + text;
    }
    return words;
}

// A whole CMP colour map: a 64-byte header and 256 grey entries.
void WriteColourMap(const std::string& path, size_t bytes = 832) {
    std::vector<uint8_t> cmp(bytes, 0);
    for (size_t i = 64; i < bytes; ++i)
        cmp[i] = static_cast<uint8_t>((i - 64) / 3);
    test::WriteFileBytes(path, cmp);
}

// Every test ends with no window of its own left open or undeleted.
class DialogTest : public testing::Test {
  protected:
    void TearDown() override {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty())
            << QApplication::topLevelWidgets().size() << " top-level widgets left";
    }
};

TEST(CommandLine, JoinsTheArgumentsAfterTheProgramNameWithSingleBlanks) {
    const char* none[] = {"kesh"};
    EXPECT_EQ(JoinArguments(1, none), "");
    const char* some[] = {"kesh", "allow", "textures", "a b"};
    EXPECT_EQ(JoinArguments(4, some), "allow textures a b");
}

TEST(CommandLine, FindsTheSwitchAsACaseSensitiveSubstring) {
    EXPECT_FALSE(HasTextureSwitch(""));
    EXPECT_TRUE(HasTextureSwitch("allow_textures"));
    EXPECT_TRUE(HasTextureSwitch("-allow_textures"));
    EXPECT_TRUE(HasTextureSwitch("/allow_textures"));
    EXPECT_TRUE(HasTextureSwitch("xallow_texturesx"));
    EXPECT_TRUE(HasTextureSwitch("ship.opt allow_textures other.opt"));
    EXPECT_FALSE(HasTextureSwitch("ALLOW_TEXTURES"));
    EXPECT_FALSE(HasTextureSwitch("Allow_Textures"));
    EXPECT_FALSE(HasTextureSwitch("allow textures"));
    EXPECT_FALSE(HasTextureSwitch("allow_texture"));
    // Joined arguments never glue two words into the switch.
    const char* split[] = {"kesh", "allow_", "textures"};
    EXPECT_FALSE(HasTextureSwitch(JoinArguments(3, split)));
}

TEST(CommandLine, VersionAndHelpAreWholeArgumentsAndTheFirstOneCounts) {
    const char* none[] = {"kesh", "allow_textures", "-version", "--versions", "help"};
    EXPECT_EQ(FindInfoRequest(5, none), InfoRequest::None);
    const char* version[] = {"kesh", "ship.opt", "--version", "--help"};
    EXPECT_EQ(FindInfoRequest(4, version), InfoRequest::Version);
    const char* help[] = {"kesh", "--help", "--version"};
    EXPECT_EQ(FindInfoRequest(3, help), InfoRequest::Help);
    EXPECT_EQ(InfoText(InfoRequest::Version), "Kesh Version 1.0\n");
    const std::string usage = InfoText(InfoRequest::Help);
    EXPECT_TRUE(usage.starts_with("Usage: kesh [allow_textures]\n"));
    EXPECT_TRUE(usage.ends_with("\n"));
}

TEST(DialogUnits, ConvertsEachEdgeAndRoundsToTheNearestPixel) {
    const DialogUnits du{6, 13};
    EXPECT_EQ(du.X(164), 246);
    EXPECT_EQ(du.X(3), 5);  // 4.5 rounds up
    EXPECT_EQ(du.Y(66), 107);
    EXPECT_EQ(du.Rect(164, 66, 35, 14), QRect(246, 107, 53, 23));
    EXPECT_EQ(du.Size(202, 178), QSize(303, 289));
}

TEST_F(DialogTest, StartsWithoutTextureSupportShowingTheTemplatesValues) {
    ConverterDialog dialog(false);
    EXPECT_EQ(dialog.windowTitle(), "Kesh - OPT to 3DO Converter");
    EXPECT_TRUE(Control(dialog, kIdColourMap)->isHidden());
    EXPECT_TRUE(Control(dialog, kIdXwaCheck)->isHidden());
    EXPECT_TRUE(Control<QCheckBox>(dialog, kIdXwaCheck)->isChecked());
    EXPECT_EQ(Control<QCheckBox>(dialog, kIdXwaCheck)->text(), "OPTs are XW-Alliance");
    EXPECT_EQ(Control<QLineEdit>(dialog, kIdScale)->text(), "0.00243902");
    EXPECT_EQ(Control<QLineEdit>(dialog, kIdMaxGeo)->text(), "1");
    EXPECT_EQ(Control<QLineEdit>(dialog, kIdColourMap)->text(), "uicolorm.cmp");

    auto* group = Control<QComboBox>(dialog, kIdGroup);
    ASSERT_EQ(group->count(), 4);
    EXPECT_FALSE(group->isEditable());
    EXPECT_EQ(group->currentIndex(), 0);
    EXPECT_EQ(group->itemText(0), "Red (default)");
    EXPECT_EQ(group->itemText(1), "Gold");
    EXPECT_EQ(group->itemText(2), "Blue");
    EXPECT_EQ(group->itemText(3), "Green");

    auto* list = Control<QTreeWidget>(dialog, kIdFileList);
    EXPECT_EQ(list->columnCount(), 2);
    EXPECT_EQ(list->headerItem()->text(0), "Filename");
    EXPECT_EQ(list->headerItem()->text(1), "Result");
    EXPECT_EQ(list->columnWidth(0), 200);
    EXPECT_FALSE(list->header()->sectionsClickable());
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_TRUE(dialog.inputFiles().empty());

    auto* add = Control<QPushButton>(dialog, kIdAdd);
    EXPECT_EQ(add->text(), "Add...");
    EXPECT_TRUE(add->isDefault());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.focusWidget(), add);  // the first control in tab order
    dialog.reject();
    EXPECT_EQ(Control<QPushButton>(dialog, kIdConvert)->text(), "Convert");
    EXPECT_EQ(Control<QPushButton>(dialog, kIdDone)->text(), "Done");
    EXPECT_EQ(Control<QProgressBar>(dialog, kIdProgress)->value(), 0);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);
    // "Fit engine limits" shows with and without texture support, unchecked.
    auto* fit = dialog.findChild<QCheckBox*>("fitEngineCheck");
    ASSERT_NE(fit, nullptr);
    EXPECT_EQ(fit->text(), "Fit engine limits");
    EXPECT_FALSE(fit->isHidden());
    EXPECT_FALSE(fit->isChecked());
}

TEST_F(DialogTest, StartsWithTextureSupportShowingTheColourMapAndTheCheckBox) {
    ConverterDialog dialog(true);
    EXPECT_EQ(dialog.windowTitle(), "Kesh - OPT to 3DO Converter - Tex Support");
    EXPECT_FALSE(Control(dialog, kIdColourMap)->isHidden());
    EXPECT_FALSE(Control(dialog, kIdXwaCheck)->isHidden());
    EXPECT_TRUE(Control<QCheckBox>(dialog, kIdXwaCheck)->isChecked());
    EXPECT_EQ(Control<QLineEdit>(dialog, kIdColourMap)->text(), "uicolorm.cmp");
    EXPECT_EQ(Control<QComboBox>(dialog, kIdGroup)->currentIndex(), 0);
    EXPECT_EQ(Control<QLineEdit>(dialog, kIdScale)->text(), "0.00243902");
    EXPECT_EQ(Control<QLineEdit>(dialog, kIdMaxGeo)->text(), "1");
}

TEST_F(DialogTest, LaysOutTheTemplateInDialogUnitsOfItsFontInTabOrder) {
    ConverterDialog dialog(true);
    const DialogUnits du = DialogUnits::ForFont(dialog.font());
    EXPECT_EQ(dialog.minimumSize(), du.Size(202, 178));
    EXPECT_EQ(dialog.maximumSize(), du.Size(202, 178));
    EXPECT_EQ(Control(dialog, kIdAdd)->geometry(), du.Rect(164, 66, 35, 14));
    EXPECT_EQ(Control(dialog, kIdFileList)->geometry(), du.Rect(40, 3, 159, 60));
    EXPECT_EQ(Control(dialog, kIdXwaCheck)->geometry(), du.Rect(106, 116, 87, 10));
    EXPECT_EQ(Control(dialog, kIdProgress)->geometry(), du.Rect(3, 163, 78, 10));
    EXPECT_EQ(Control(dialog, kIdDone)->geometry(), du.Rect(149, 161, 50, 14));
    auto* fit = dialog.findChild<QCheckBox*>("fitEngineCheck");
    EXPECT_EQ(fit->geometry(), du.Rect(106, 133, 87, 10));
    EXPECT_LE(fit->sizeHint().width(), fit->width());
    EXPECT_FALSE(fit->isHidden());
    EXPECT_EQ(FocusChainIds(dialog),
              (std::vector<int>{kIdAdd, kIdFileList, kIdScale, kIdGroup, kIdMaxGeo, kIdColourMap,
                                kIdXwaCheck, kIdConvert, kIdDone, kIdProgress}));
    // Every label and the check box show their whole text in their template size.
    for (const char* name : {"filesLabel", "scaleLabel", "groupLabel", "maxGeoLabel"}) {
        auto* label = dialog.findChild<QLabel*>(name);
        ASSERT_NE(label, nullptr) << name;
        EXPECT_LE(label->fontMetrics().boundingRect(label->text()).width(), label->width()) << name;
        EXPECT_LT(label->geometry().right(), Control(dialog, kIdScale)->x()) << name;
    }
    auto* check = Control<QCheckBox>(dialog, kIdXwaCheck);
    EXPECT_LE(check->sizeHint().width(), check->width());
    // The Options frame lies below the fields, so a click on a field reaches the field.
    const QPoint scaleCentre = Control(dialog, kIdScale)->geometry().center();
    EXPECT_EQ(dialog.childAt(scaleCentre), Control(dialog, kIdScale));
}

TEST(DisplayName, IsTheTextAfterTheLastSlashOrBackslash) {
    EXPECT_EQ(DisplayName("/home/me/ships/shuttle.opt"), "shuttle.opt");
    EXPECT_EQ(DisplayName("C:\\ships\\probe.opt"), "probe.opt");
    EXPECT_EQ(DisplayName("mixed\\dir/name.opt"), "name.opt");
    EXPECT_EQ(DisplayName("bare.opt"), "bare.opt");
    EXPECT_EQ(DisplayName("folder/"), "");
}

TEST_F(DialogTest, AddingKeepsTheListAndTheFilesInStepWithDuplicates) {
    ScratchDir dir;
    const CurrentDir restore(std::filesystem::current_path().string());
    ConverterDialog dialog(false);
    std::vector<std::vector<std::string>> choices = {
        {dir / "shuttle.opt", dir / "probe.opt"}, {}, {dir / "shuttle.opt"}};
    int calls = 0;
    dialog.SetFilePicker([&](QWidget* parent) {
        EXPECT_EQ(parent, &dialog);
        return choices.at(calls++);
    });

    Control<QPushButton>(dialog, kIdAdd)->click();
    EXPECT_EQ(ListItems(dialog), (std::vector<std::string>{"shuttle.opt", "probe.opt"}));
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(dir.path()));

    std::filesystem::current_path("/");
    dialog.OnAdd();  // cancelled: nothing added, the current directory stays
    EXPECT_EQ(ListItems(dialog).size(), 2u);
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path("/"));

    dialog.OnAdd();
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(ListItems(dialog),
              (std::vector<std::string>{"shuttle.opt", "probe.opt", "shuttle.opt"}));
    EXPECT_EQ(dialog.inputFiles(), (std::vector<std::string>{dir / "shuttle.opt", dir / "probe.opt",
                                                             dir / "shuttle.opt"}));
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(dir.path()));
}

TEST_F(DialogTest, ShowsWindowsStylePathsByTheirFileName) {
    ConverterDialog dialog(false);
    dialog.SetFilePicker([](QWidget*) {
        return std::vector<std::string>{"C:\\ships\\shuttle.opt", "probe.opt"};
    });
    dialog.OnAdd();
    EXPECT_EQ(ListItems(dialog), (std::vector<std::string>{"shuttle.opt", "probe.opt"}));
    EXPECT_EQ(dialog.inputFiles(),
              (std::vector<std::string>{"C:\\ships\\shuttle.opt", "probe.opt"}));
}

TEST_F(DialogTest, EnterInAFieldPressesAddAndEscapeEndsTheDialog) {
    ConverterDialog dialog(false);
    int picks = 0;
    dialog.SetFilePicker([&](QWidget*) {
        ++picks;
        return std::vector<std::string>{};
    });
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClick(Control(dialog, kIdScale), Qt::Key_Return);
    EXPECT_EQ(picks, 1);
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(DialogTest, DoneAndTheCloseButtonEndTheDialogAsCancel) {
    ConverterDialog dialog(false);
    dialog.show();
    Control<QPushButton>(dialog, kIdDone)->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);

    dialog.setResult(QDialog::Accepted);
    dialog.show();
    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(DialogTest, ReadsTheFieldsAsTheRunTakesThem) {
    ConverterDialog plain(false);
    const RunSettings defaults = plain.ReadSettings();
    EXPECT_FALSE(defaults.allowTextures);
    EXPECT_EQ(defaults.textureGroup, 0);
    EXPECT_EQ(defaults.maxGeo, 1);
    EXPECT_EQ(defaults.scale, 0.00243902f);
    EXPECT_EQ(defaults.paletteOffset, 3584);
    EXPECT_FALSE(defaults.fitEngine);
    plain.findChild<QCheckBox*>("fitEngineCheck")->click();
    EXPECT_TRUE(plain.ReadSettings().fitEngine);

    // Without texture support the colour map field is not read.
    Control<QLineEdit>(plain, kIdColourMap)->setText("other.cmp");
    EXPECT_EQ(plain.ReadSettings().colourMapFile, "uicolorm.cmp");

    ConverterDialog dialog(true);
    Control<QComboBox>(dialog, kIdGroup)->setCurrentIndex(3);
    Control<QLineEdit>(dialog, kIdMaxGeo)->setText("  -2x");
    Control<QLineEdit>(dialog, kIdScale)->setText("0,5");
    Control<QLineEdit>(dialog, kIdColourMap)->setText("maps/alt.cmp");
    Control<QCheckBox>(dialog, kIdXwaCheck)->setChecked(false);
    const RunSettings settings = dialog.ReadSettings();
    EXPECT_TRUE(settings.allowTextures);
    EXPECT_EQ(settings.textureGroup, 3);
    EXPECT_EQ(settings.maxGeo, -2);
    EXPECT_EQ(settings.scale, 0.0f);  // a comma ends the number, whatever the user's locale
    EXPECT_EQ(settings.colourMapFile, "maps/alt.cmp");
    EXPECT_EQ(settings.paletteOffset, 7680);

    Control<QLineEdit>(dialog, kIdScale)->setText("not a number");
    Control<QLineEdit>(dialog, kIdMaxGeo)->setText("none");
    EXPECT_EQ(dialog.ReadSettings().scale, 0.0f);
    EXPECT_EQ(dialog.ReadSettings().maxGeo, 0);
}

TEST_F(DialogTest, ConvertHandsTheFilesAndTheCheckBoxChoiceToTheRun) {
    ScratchDir dir;
    const CurrentDir here(dir.path());
    WriteColourMap(dir / "uicolorm.cmp");
    ConverterDialog dialog(true);
    dialog.SetFilePicker([](QWidget*) {
        return std::vector<std::string>{"/none/a.opt", "/none/b.opt"};
    });
    dialog.OnAdd();
    std::vector<RunSettings> runs;
    dialog.SetRunner(
        [&](const RunSettings& settings, const std::vector<std::string>& files, Progress&) {
            EXPECT_EQ(files, dialog.inputFiles());
            EXPECT_NE(QApplication::overrideCursor(), nullptr);
            if (QApplication::overrideCursor() != nullptr) {
                EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
            }
            runs.push_back(settings);
            return RunReport{};
        });
    auto* convert = Control<QPushButton>(dialog, kIdConvert);
    convert->click();
    Control<QCheckBox>(dialog, kIdXwaCheck)->click();
    convert->click();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].paletteOffset, 3584);
    EXPECT_EQ(runs[1].paletteOffset, 7680);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(dialog.inputFiles().size(), 2u);  // a run leaves the list as it was
}

// The values the progress bar takes, in order, while the dialog lives.
void WatchProgress(const ConverterDialog& dialog, std::vector<int>& values) {
    auto* bar = Control<QProgressBar>(dialog, kIdProgress);
    QObject::connect(bar, &QProgressBar::valueChanged, bar,
                     [&values](int value) { values.push_back(value); });
}

TEST_F(DialogTest, ConvertWritesEach3doBesideItsInputAndStepsThreeTimesPerFile) {
    ScratchDir dir;
    const CurrentDir restore(std::filesystem::current_path().string());
    test::WriteFileBytes(dir / "alfa.opt", test::SmallShipOpt());
    test::WriteFileBytes(dir / "bravo.opt", test::SmallShipOpt());
    ConverterDialog dialog(false);
    dialog.SetFilePicker([&](QWidget*) {
        return std::vector<std::string>{dir / "alfa.opt", dir / "bravo.opt"};
    });
    dialog.OnAdd();
    std::vector<int> values;
    WatchProgress(dialog, values);

    Control<QPushButton>(dialog, kIdConvert)->click();
    EXPECT_EQ(values, (std::vector<int>{1, 2, 3, 4, 5, 6, 0}));
    EXPECT_EQ(Control<QProgressBar>(dialog, kIdProgress)->maximum(), 6);
    EXPECT_EQ(test::ListDir(dir.path()),
              (std::vector<std::string>{"alfa.3do", "alfa.opt", "bravo.3do", "bravo.opt"}));
    EXPECT_NE(test::ReadFileText(dir / "alfa.3do").find("3DO 2.2\r\n"), std::string::npos);
}

TEST_F(DialogTest, ConvertWithTexturesWritesMatFilesInThePickedFolder) {
    ScratchDir dir;
    const CurrentDir restore(std::filesystem::current_path().string());
    test::WriteFileBytes(dir / "alfa.opt", test::SmallShipOpt());
    test::WriteFileBytes(dir / "bravo.opt", test::SmallShipOpt());
    WriteColourMap(dir / "uicolorm.cmp");
    ConverterDialog dialog(true);
    // The picker's folder becomes the current directory, so the MAT files land beside the
    // models; the colour map is looked for there too.
    dialog.SetFilePicker([&](QWidget*) {
        return std::vector<std::string>{dir / "alfa.opt", dir / "bravo.opt"};
    });
    dialog.OnAdd();
    std::vector<int> values;
    WatchProgress(dialog, values);

    Control<QPushButton>(dialog, kIdConvert)->click();
    EXPECT_EQ(values, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 0}));
    EXPECT_EQ(Control<QProgressBar>(dialog, kIdProgress)->maximum(), 8);
    EXPECT_EQ(test::ListDir(dir.path()),
              (std::vector<std::string>{"alfa.3do", "alfa.opt", "alfa_00000.mat", "brav_00000.mat",
                                        "bravo.3do", "bravo.opt", "uicolorm.cmp"}));
}

// Converts through the real run and keeps its report; counts the messages shown.
struct RunWatch {
    explicit RunWatch(ConverterDialog& dialog) {
        dialog.SetRunner([this](const RunSettings& settings, const std::vector<std::string>& files,
                                Progress& progress) {
            report = RunConversion(settings, files, progress);
            ++runs;
            return report;
        });
        dialog.SetNotifier([this, &dialog](QWidget* parent, const QString& message) {
            EXPECT_EQ(parent, &dialog);
            messages.push_back(message.toStdString());
        });
    }

    RunReport report;
    int runs = 0;
    std::vector<std::string> messages;
};

TEST_F(DialogTest, ARunShowsEachFilesResultAndSumsUpAFailureInOneMessage) {
    ScratchDir dir;
    const CurrentDir restore(std::filesystem::current_path().string());
    test::WriteFileBytes(dir / "good.opt", test::SmallShipOpt());
    test::WriteFileText(dir / "broken.opt", "These bytes are no OPT model at all.");
    ConverterDialog dialog(false);
    RunWatch watch(dialog);
    dialog.AddFiles({dir / "good.opt", dir / "broken.opt"});
    EXPECT_EQ(Results(dialog), (std::vector<std::string>{"", ""}));  // nothing run yet

    Control<QPushButton>(dialog, kIdConvert)->click();
    ASSERT_EQ(watch.report.files.size(), 2u);
    const std::string failure = FailureWords(watch.report.files[1]);
    ASSERT_FALSE(failure.empty());
    EXPECT_EQ(Results(dialog), (std::vector<std::string>{"Converted", failure}));
    ASSERT_EQ(watch.messages.size(), 1u);
    EXPECT_EQ(watch.messages[0], "1 of 2 files converted.\nbroken.opt: " + failure + ".");
    // The tooltip names the input in full and what was written from it.
    EXPECT_EQ(Tip(dialog, 0), dir / "good.opt" + "\n3DO file: " + dir / "good.3do");
    EXPECT_EQ(Tip(dialog, 1).substr(0, (dir / "broken.opt").size()), dir / "broken.opt");
    EXPECT_NE(Tip(dialog, 1).find(failure), std::string::npos);
    EXPECT_EQ(Tip(dialog, 1).find("3DO file:"), std::string::npos);  // nothing was written

    // A file added since shows no result until the next run; a run without a failure shows
    // its results and no message.
    dialog.AddFiles({dir / "good.opt"});
    EXPECT_EQ(Results(dialog), (std::vector<std::string>{"Converted", failure, ""}));
    auto* list = Control<QTreeWidget>(dialog, kIdFileList);
    list->topLevelItem(1)->setSelected(true);
    dialog.removeAction()->trigger();
    Control<QPushButton>(dialog, kIdConvert)->click();
    EXPECT_EQ(Results(dialog), (std::vector<std::string>{"Converted", "Converted"}));
    EXPECT_EQ(watch.messages.size(), 1u);
}

TEST_F(DialogTest, ResultsCountWarningsAndTheMessageNamesRunWideOnes) {
    ScratchDir dir;
    const CurrentDir here(dir.path());
    WriteColourMap(dir / "uicolorm.cmp");
    ConverterDialog dialog(true);
    std::vector<std::string> messages;
    dialog.SetNotifier(
        [&](QWidget*, const QString& message) { messages.push_back(message.toStdString()); });
    dialog.AddFiles({"/ships/alfa.opt", "/ships/damaged.opt"});
    RunReport report;
    report.files.resize(2);
    for (size_t i = 0; i < 2; ++i) {
        report.files[i].inputPath = dialog.inputFiles()[i];
        report.files[i].outputPath = OutputPathFor(dialog.inputFiles()[i]);
    }
    report.files[0].materialPrefix = "alfa";
    report.files[0].stats.textures = 2;
    report.files[0].stats.matFiles = 2;
    report.files[1].load.damaged = true;
    report.files[1].limitWarnings = {LimitWarning{}};
    dialog.SetRunner(
        [&](const RunSettings&, const std::vector<std::string>&, Progress&) { return report; });

    // A file's own warnings are counted in its result and listed in its tooltip, without a
    // message.
    Control<QPushButton>(dialog, kIdConvert)->click();
    EXPECT_EQ(Results(dialog), (std::vector<std::string>{"Converted", "Converted, 2 warnings"}));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(Tip(dialog, 0), "/ships/alfa.opt\n3DO file: /ships/alfa.3do\nMAT files: 2 in " +
                                  std::filesystem::current_path().string() +
                                  " (alfa_00000.mat to alfa_00001.mat)");
    for (const std::string& line : DescribeFile(report.files[1])) {
        EXPECT_NE(Tip(dialog, 1).find(line.substr(report.files[1].inputPath.size() + 2)),
                  std::string::npos)
            << line;
    }

    // What fitting to the engine changed shows in the result, and the tooltip says what.
    report.files[0].fitChanges = {"mesh 2 split into 3 parts"};
    Control<QPushButton>(dialog, kIdConvert)->click();
    EXPECT_EQ(Results(dialog),
              (std::vector<std::string>{"Converted, fitted", "Converted, 2 warnings"}));
    EXPECT_NE(Tip(dialog, 0).find(")\nmesh 2 split into 3 parts"), std::string::npos);
    EXPECT_TRUE(messages.empty());

    // A colour map that stopped loading after the check is the run's warning, in the message.
    report.colourMap = Fail(Failure::CannotOpen, ENOENT);
    Control<QPushButton>(dialog, kIdConvert)->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "2 of 2 files converted.\n" +
                               DescribeRun(dialog.ReadSettings(), report).lines.at(0) + ".");
}

TEST_F(DialogTest, MatNamesAnEarlierFileUsedCallForTheMessageButOneFileTwiceDoesNot) {
    ScratchDir dir;
    const CurrentDir restore(std::filesystem::current_path().string());
    test::WriteFileBytes(dir / "alfa.opt", test::SmallShipOpt());
    test::WriteFileBytes(dir / "alfa2.opt", test::SmallShipOpt());
    WriteColourMap(dir / "uicolorm.cmp");
    ConverterDialog dialog(true);
    RunWatch watch(dialog);

    dialog.AddFiles({dir / "alfa.opt", dir / "alfa.opt"});
    Control<QPushButton>(dialog, kIdConvert)->click();
    EXPECT_EQ(Results(dialog), (std::vector<std::string>{"Converted", "Converted"}));
    EXPECT_TRUE(watch.messages.empty());

    // alfa2.3do's MAT files are named alfa_00000.mat too.
    dialog.AddFiles({dir / "alfa2.opt"});
    Control<QPushButton>(dialog, kIdConvert)->click();
    EXPECT_EQ(Results(dialog),
              (std::vector<std::string>{"Converted", "Converted", "Converted, 1 warning"}));
    ASSERT_EQ(watch.messages.size(), 1u);
    const std::vector<FileWarning> warnings = WarningsOf(watch.report.files[2]);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(watch.messages[0],
              "3 of 3 files converted.\nalfa2.opt: warning: " + Describe(warnings[0]) + ".");
}

// A report in which every file of the dialog's list did what `fill` makes of it.
RunReport ReportFor(const ConverterDialog& dialog, const std::function<void(FileOutcome&)>& fill) {
    RunReport report;
    for (const std::string& input : dialog.inputFiles()) {
        FileOutcome file;
        file.inputPath = input;
        file.outputPath = OutputPathFor(input);
        fill(file);
        report.files.push_back(file);
    }
    return report;
}

TEST_F(DialogTest, ALongMessageListsTenProblemsAndCountsTheRest) {
    ConverterDialog dialog(false);
    std::vector<std::string> messages;
    dialog.SetNotifier(
        [&](QWidget*, const QString& message) { messages.push_back(message.toStdString()); });
    std::vector<std::string> files;
    for (int i = 0; i < 12; ++i)
        files.push_back("/s/gone" + std::to_string(i) + ".opt");
    dialog.AddFiles(files);
    const RunReport report =
        ReportFor(dialog, [](FileOutcome& file) { file.load = Fail(Failure::CannotOpen); });
    dialog.SetRunner(
        [&](const RunSettings&, const std::vector<std::string>&, Progress&) { return report; });
    Control<QPushButton>(dialog, kIdConvert)->click();
    ASSERT_EQ(messages.size(), 1u);
    const std::string& message = messages[0];
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 11);
    EXPECT_TRUE(message.starts_with("0 of 12 files converted.\ngone0.opt: "));
    EXPECT_NE(message.find("gone9.opt"), std::string::npos);
    EXPECT_EQ(message.find("gone10.opt"), std::string::npos);
    EXPECT_TRUE(message.ends_with("\nAnd 2 more: the tooltips of the list say which."));
}

TEST_F(DialogTest, AColourMapThatIsMissingOrShortIsReportedAndNothingIsConverted) {
    ScratchDir dir;
    const CurrentDir here(dir.path());
    test::WriteFileBytes(dir / "ship.opt", test::SmallShipOpt());
    ConverterDialog dialog(true);
    RunWatch watch(dialog);
    dialog.AddFiles({dir / "ship.opt"});
    std::vector<int> values;
    WatchProgress(dialog, values);

    Control<QPushButton>(dialog, kIdConvert)->click();
    EXPECT_EQ(watch.runs, 0);
    ASSERT_EQ(watch.messages.size(), 1u);
    const RunSettings settings = dialog.ReadSettings();
    EXPECT_TRUE(
        watch.messages[0].starts_with(DescribeColourMap(settings, CheckColourMap(settings)) +
                                      ".\nThe name stands for " + dir / "uicolorm.cmp" + "."));
    EXPECT_NE(watch.messages[0].find("Nothing was converted"), std::string::npos);
    EXPECT_EQ(Results(dialog), (std::vector<std::string>{""}));

    WriteColourMap(dir / "uicolorm.cmp", 831);
    Control<QPushButton>(dialog, kIdConvert)->click();
    EXPECT_EQ(watch.runs, 0);
    ASSERT_EQ(watch.messages.size(), 2u);
    EXPECT_TRUE(
        watch.messages[1].starts_with(DescribeColourMap(settings, CheckColourMap(settings)) + "."));
    EXPECT_NE(watch.messages[1].find("832 bytes"), std::string::npos);
    EXPECT_EQ(test::ListDir(dir.path()), (std::vector<std::string>{"ship.opt", "uicolorm.cmp"}));
    EXPECT_TRUE(values.empty());

    WriteColourMap(dir / "uicolorm.cmp");
    Control<QPushButton>(dialog, kIdConvert)->click();
    EXPECT_EQ(watch.runs, 1);
    EXPECT_EQ(watch.messages.size(), 2u);
    EXPECT_EQ(Results(dialog), (std::vector<std::string>{"Converted"}));
}

TEST_F(DialogTest, TheColourMapTipSaysWhichFileTheNameResolvesToNow) {
    ScratchDir empty;
    ScratchDir ships;
    const CurrentDir here(empty.path());
    WriteColourMap(ships / "uicolorm.cmp");
    WriteColourMap(ships / "short.cmp", 100);
    ConverterDialog dialog(true);
    auto* field = Control<QLineEdit>(dialog, kIdColourMap);
    EXPECT_EQ(field->toolTip().toStdString(),
              "uicolorm.cmp \u2192 " + empty / "uicolorm.cmp" + ", not found");

    // The picker moves the current directory, and the name with it.
    dialog.SetFilePicker([&](QWidget*) { return std::vector<std::string>{ships / "a.opt"}; });
    dialog.OnAdd();
    EXPECT_EQ(field->toolTip().toStdString(), "uicolorm.cmp \u2192 " + ships / "uicolorm.cmp");
    field->setText("short.cmp");
    EXPECT_EQ(field->toolTip().toStdString(),
              "short.cmp \u2192 " + ships / "short.cmp" + ", too short: 100 of 832 bytes");
    field->setText("../" + QString::fromStdString(std::filesystem::path(empty.path()).filename()) +
                   "/x.cmp");
    EXPECT_EQ(field->toolTip().toStdString().substr(field->text().size()),
              " \u2192 " + empty / "x.cmp" + ", not found");
}

// A drop of local files and folders, as a file manager hands them over.
void Drop(QWidget& target, const std::vector<std::string>& paths, bool* accepted = nullptr) {
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& path : paths)
        urls.push_back(QUrl::fromLocalFile(path.c_str()));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &enter);
    if (accepted != nullptr) *accepted = enter.isAccepted();
    if (!enter.isAccepted()) return;
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&target, &drop);
}

TEST_F(DialogTest, DroppedFilesAndFoldersAreAddedInOrderWithEveryOptBelowAFolder) {
    ScratchDir dir;
    const CurrentDir restore(std::filesystem::current_path().string());
    std::filesystem::create_directories(dir / "fleet/deeper");
    for (const char* name : {"b.opt", "a.opt", "notes.txt", "fleet/y.opt", "fleet/Z.OPT",
                             "fleet/deeper/x.Opt", "fleet/readme.txt"}) {
        test::WriteFileText(dir / name, "");
    }
    ConverterDialog dialog(false);
    EXPECT_TRUE(dialog.acceptDrops());
    Drop(dialog, {dir / "b.opt", dir / "a.opt", dir / "fleet"});
    EXPECT_EQ(dialog.inputFiles(),
              (std::vector<std::string>{dir / "b.opt", dir / "a.opt", dir / "fleet/Z.OPT",
                                        dir / "fleet/deeper/x.Opt", dir / "fleet/y.opt"}));
    EXPECT_EQ(ListItems(dialog),
              (std::vector<std::string>{"b.opt", "a.opt", "Z.OPT", "x.Opt", "y.opt"}));
    // As after "Add...", the MAT files of the next run land beside the first file.
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(dir.path()));

    // A drop of anything else is refused, also over a text field.
    bool accepted = true;
    Drop(dialog, {dir / "notes.txt"}, &accepted);
    EXPECT_FALSE(accepted);
    EXPECT_FALSE(Control(dialog, kIdScale)->acceptDrops());
    EXPECT_EQ(dialog.inputFiles().size(), 5u);
}

TEST_F(DialogTest, DeleteAndRemoveTakeTheSelectedFilesAndRemoveAllEmptiesTheList) {
    ConverterDialog dialog(false);
    dialog.AddFiles({"/s/a.opt", "/s/b.opt", "/s/c.opt", "/s/d.opt"});
    auto* list = Control<QTreeWidget>(dialog, kIdFileList);
    EXPECT_EQ(list->contextMenuPolicy(), Qt::ActionsContextMenu);
    EXPECT_TRUE(list->actions().contains(dialog.removeAction()));
    EXPECT_TRUE(list->actions().contains(dialog.removeAllAction()));
    EXPECT_EQ(dialog.removeAction()->text(), "Remove");
    EXPECT_EQ(dialog.removeAllAction()->text(), "Remove all");
    EXPECT_FALSE(dialog.removeAction()->isEnabled());  // nothing selected yet

    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(1));
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(ListItems(dialog), (std::vector<std::string>{"a.opt", "c.opt", "d.opt"}));
    EXPECT_EQ(dialog.inputFiles(), (std::vector<std::string>{"/s/a.opt", "/s/c.opt", "/s/d.opt"}));

    list->clearSelection();
    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(2)->setSelected(true);
    dialog.removeAction()->trigger();
    EXPECT_EQ(ListItems(dialog), (std::vector<std::string>{"c.opt"}));
    EXPECT_EQ(dialog.inputFiles(), (std::vector<std::string>{"/s/c.opt"}));

    dialog.removeAllAction()->trigger();
    EXPECT_TRUE(ListItems(dialog).empty());
    EXPECT_TRUE(dialog.inputFiles().empty());
    EXPECT_FALSE(dialog.removeAllAction()->isEnabled());
    dialog.reject();
}

TEST_F(DialogTest, TheColumnsFillTheListWidthAndALongResultIsWholeInItsTooltip) {
    ConverterDialog dialog(false);
    dialog.AddFiles({"/s/a.opt"});
    RunReport report;
    report.files.resize(1);
    report.files[0].inputPath = "/s/a.opt";
    report.files[0].load = Fail(Failure::CannotOpen, ENOENT);
    dialog.SetRunner(
        [&](const RunSettings&, const std::vector<std::string>&, Progress&) { return report; });
    dialog.SetNotifier([](QWidget*, const QString&) {});
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.OnConvert();
    QCoreApplication::processEvents();
    auto* list = Control<QTreeWidget>(dialog, kIdFileList);
    EXPECT_EQ(list->columnWidth(0), 200);
    EXPECT_EQ(list->columnWidth(0) + list->columnWidth(1), list->viewport()->width());
    EXPECT_NE(Tip(dialog, 0).find(FailureWords(report.files[0])), std::string::npos);
    dialog.reject();
}

TEST_F(DialogTest, TheOptionsTitleInterruptsTheFramesTopLine) {
    ConverterDialog dialog(false);
    auto* frame = dialog.findChild<TitledFrame*>("optionsFrame");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->title(), "Options");
    EXPECT_EQ(frame->LineTop(), frame->fontMetrics().height() / 2);
    const QImage picture = frame->grab().toImage();
    const QRgb background = frame->palette().window().color().rgb();
    const int line = frame->LineTop();
    // The line runs along the top right of the title, and stops before it.
    EXPECT_NE(picture.pixel(frame->width() - 10, line), background);
    EXPECT_EQ(picture.pixel(frame->fontMetrics().averageCharWidth() + 1, line), background);
    EXPECT_NE(picture.pixel(1, frame->height() / 2), background);  // the left side
}

TEST_F(DialogTest, BarProgressBehavesLikeAStandardProgressControl) {
    QProgressBar bar;
    bar.setRange(0, 100);
    bar.setValue(0);
    BarProgress progress(bar);
    progress.SetStep(1);
    progress.SetRange(0, 0);
    // An empty range shows an empty bar, not a busy animation.
    EXPECT_EQ(bar.minimum(), 0);
    EXPECT_EQ(bar.maximum(), 1);
    EXPECT_EQ(bar.value(), 0);

    progress.SetRange(0, 2);
    EXPECT_EQ(bar.maximum(), 2);
    progress.Step();
    EXPECT_EQ(bar.value(), 1);
    progress.Step();
    progress.Step();
    EXPECT_EQ(bar.value(), 2);  // never beyond the upper bound
    progress.SetPosition(0);
    EXPECT_EQ(bar.value(), 0);
}

// Closes the next modal window from the event loop it runs, noting its title.
class ModalCloser {
  public:
    explicit ModalCloser(std::function<void(QWidget&)> close) : close_(std::move(close)) {
        timer_.setSingleShot(true);
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr) return;
            title = modal->windowTitle().toStdString();
            close_(*modal);
        });
        timer_.start();
    }

    std::string title;

  private:
    std::function<void(QWidget&)> close_;
    QTimer timer_;  // stops with the closer, so a box that never opened leaves no timer
};

TEST_F(DialogTest, TheContextMenuEntryOpensTheAboutBoxUntilOk) {
    ConverterDialog dialog(false);
    EXPECT_EQ(dialog.contextMenuPolicy(), Qt::ActionsContextMenu);
    ASSERT_TRUE(dialog.actions().contains(dialog.aboutAction()));
    EXPECT_EQ(dialog.aboutAction()->text(), "&About Kesh...");
    EXPECT_EQ(dialog.aboutAction()->shortcut(), QKeySequence(Qt::Key_F1));

    dialog.show();
    std::string version;
    ModalCloser closer([&](QWidget& about) {
        auto* line = about.findChild<QLabel*>("versionLine");
        if (line != nullptr) version = line->text().toStdString();
        auto* ok = about.findChild<QPushButton*>("okButton");
        ASSERT_NE(ok, nullptr);
        EXPECT_EQ(ok->text(), "OK");
        ok->click();
    });
    dialog.aboutAction()->trigger();
    EXPECT_EQ(closer.title, "About Kesh");
    EXPECT_EQ(version, "Kesh Version 1.0");
    EXPECT_TRUE(dialog.isVisible());  // back to the main dialog
    dialog.reject();
}

TEST_F(DialogTest, F1OpensTheAboutBoxUntilEscape) {
    ConverterDialog dialog(true);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    ModalCloser closer([](QWidget& about) { QTest::keyClick(&about, Qt::Key_Escape); });
    QTest::keyClick(&dialog, Qt::Key_F1);
    EXPECT_EQ(closer.title, "About Kesh");
    EXPECT_TRUE(dialog.isVisible());
    dialog.reject();
}

TEST_F(DialogTest, TheAboutBoxShowsTheIconVersionCreditsAndPicture) {
    AboutDialog about;
    EXPECT_EQ(about.windowTitle(), "About Kesh");
    const DialogUnits du = DialogUnits::ForFont(about.font());
    EXPECT_EQ(about.minimumSize(), du.Size(235, 70));
    auto* picture = about.findChild<QLabel*>("aboutPicture");
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->pixmap().size(), QSize(64, 44));
    EXPECT_EQ(picture->frameShape(), QFrame::Box);
    EXPECT_EQ(picture->midLineWidth(), 1);  // the inner line of the double border
    auto* icon = about.findChild<QLabel*>("aboutIcon");
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->pixmap().size(), QSize(32, 32));
    // Each text fits its place without being cut.
    for (const char* name : {"versionLine", "creditLine", "creditText"}) {
        auto* label = about.findChild<QLabel*>(name);
        ASSERT_NE(label, nullptr) << name;
        EXPECT_FALSE(label->text().isEmpty()) << name;
        const QRect needed = label->fontMetrics().boundingRect(QRect(0, 0, 10000, 10000),
                                                               Qt::AlignLeft, label->text());
        EXPECT_LE(needed.width(), label->width()) << name;
        EXPECT_LE(needed.height(), label->height()) << name;
    }
}

TEST(Artwork, PaintsTheIconInBothSizesAndThePicture) {
    for (const int size : {16, 32}) {
        const QImage icon = PaintAppIcon(size);
        EXPECT_EQ(icon.size(), QSize(size, size));
        EXPECT_NE(icon.pixel(size / 2, size / 2), icon.pixel(1, size / 2));
    }
    const QImage picture = PaintAboutPicture();
    EXPECT_EQ(picture.size(), QSize(64, 44));
    EXPECT_NE(picture.pixel(0, 0), picture.pixel(32, 43));
    const QList<QSize> sizes = AppIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    EXPECT_TRUE(sizes.contains(QSize(32, 32)));
}

// The program itself: started with the switch and other words, it shows the dialog and ends
// with status 0 once the dialog is closed (here by its screenshot hook).
TEST(Program, EndsWhenItsDialogCloses) {
    ScratchDir dir;
    const std::string command = "QT_QPA_PLATFORM=offscreen KESH_SCREENSHOT='" + (dir / "d.png") +
                                "' KESH_SCREENSHOT_ABOUT='" + (dir / "a.png") + "' '" + KESH_PATH +
                                "' ship.opt -allow_textures >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_TRUE(test::FileExists(dir / "d.png"));
    EXPECT_TRUE(test::FileExists(dir / "a.png"));
    // Nothing but the pictures is written.
    EXPECT_EQ(test::ListDir(dir.path()), (std::vector<std::string>{"a.png", "d.png"}));
}

// What a command prints on standard output, and its exit status.
std::pair<std::string, int> Output(const std::string& command) {
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {"", -1};
    std::string text;
    char buffer[256];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        text.append(buffer, n);
    return {text, pclose(pipe)};
}

// --version and --help answer without a display: no window is opened.
TEST(Program, PrintsItsVersionOrUsageAndEndsWithoutADialog) {
    const std::string kesh =
        std::string("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb '") + KESH_PATH + "'";
    EXPECT_EQ(Output(kesh + " allow_textures --version 2>/dev/null"),
              (std::pair<std::string, int>{"Kesh Version 1.0\n", 0}));
    const auto [usage, status] = Output(kesh + " --help 2>/dev/null");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(usage, InfoText(InfoRequest::Help));
}

}  // namespace
}  // namespace kesh

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    return RUN_ALL_TESTS();
}
