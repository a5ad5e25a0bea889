// The desktop dialog: the command-line switch, the layout and initial state, adding files,
// "Convert" with its settings and progress, the About box, and the program's start and end.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/scratch_dir.h"
#include "support/test_models.h"
#include "ui/about_dialog.h"
#include "ui/artwork.h"
#include "ui/bar_progress.h"
#include "ui/command_line.h"
#include "ui/converter_dialog.h"
#include "ui/dialog_units.h"

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
    EXPECT_EQ(list->columnCount(), 1);
    EXPECT_EQ(list->headerItem()->text(0), "Filename");
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
    ConverterDialog dialog(true);
    // The picker's folder becomes the current directory, so the MAT files land beside the
    // models; the colour map is looked for there too, and its absence stops nothing.
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
                                        "bravo.3do", "bravo.opt"}));
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

}  // namespace
}  // namespace kesh

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    return RUN_ALL_TESTS();
}
