// The preview window: the four views of a converted model, what it says when it cannot show
// them, and double-clicking a converted file in the dialog's list.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "support/scratch_dir.h"
#include "support/test_models.h"
#include "ui/converter_dialog.h"
#include "ui/preview_window.h"

namespace kesh {
namespace {

using test::CurrentDir;
using test::ScratchDir;

const std::string kSourceDir = KESH_SOURCE_DIR;

// Every test ends with no window of its own left open or undeleted.
class PreviewTest : public testing::Test {
  protected:
    void TearDown() override {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty())
            << QApplication::topLevelWidgets().size() << " top-level widgets left";
    }
};

// The converted sample with its MAT files in `dir`.
void CopySample(const ScratchDir& dir) {
    test::WriteFileBytes(dir / "sample.3do",
                         test::ReadFileBytes(kSourceDir + "/tests/data/sample-blue.3do"));
    for (int i = 0; i < 5; ++i) {
        const std::string name = "samp_0000" + std::to_string(i) + ".mat";
        test::WriteFileBytes(dir / name,
                             test::ReadFileBytes(kSourceDir + "/tests/data/sample-mat/" + name));
    }
}

int DrawnPixels(const QImage& picture) {
    int drawn = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            drawn += picture.pixel(x, y) != picture.pixel(0, 0);
    return drawn;
}

TEST_F(PreviewTest, ShowsTheFourViewsOfAConvertedModelAndNamesEachMissingMat) {
    ScratchDir dir;
    CopySample(dir);
    const std::string colourMap = kSourceDir + "/samples/uicolorm.cmp";
    {
        PreviewWindow window(dir / "sample.3do", colourMap);
        EXPECT_EQ(window.picture().width(), PreviewWindow::kPictureSize);
        EXPECT_GT(DrawnPixels(window.picture()), 10000);
        EXPECT_TRUE(window.notes().isEmpty()) << window.notes().join('\n').toStdString();
    }
    std::remove((dir / "samp_00002.mat").c_str());
    PreviewWindow window(dir / "sample.3do", colourMap);
    EXPECT_FALSE(window.picture().isNull());
    ASSERT_EQ(window.notes().size(), 1);
    EXPECT_TRUE(window.notes()[0].startsWith("samp_00002.mat: MAT file not found"))
        << window.notes()[0].toStdString();
}

TEST_F(PreviewTest, SaysWhyAModelCannotBeShown) {
    ScratchDir dir;
    test::WriteFileText(dir / "broken.3do", "# MODEL 'broken.3do' converted from an OPT\r\n");
    PreviewWindow window(dir / "broken.3do", "none.cmp");
    EXPECT_TRUE(window.picture().isNull());
    ASSERT_EQ(window.notes().size(), 1);
    EXPECT_TRUE(window.notes()[0].contains("broken.3do: line 1: expected"))
        << window.notes()[0].toStdString();
}

TEST_F(PreviewTest, DoubleClickingAConvertedFileOpensItsPreview) {
    ScratchDir dir;
    const CurrentDir restore(std::filesystem::current_path().string());
    test::WriteFileBytes(dir / "alfa.opt", test::SmallShipOpt());
    ConverterDialog dialog(false);
    dialog.SetFilePicker([&](QWidget*) { return std::vector<std::string>{dir / "alfa.opt"}; });
    dialog.OnAdd();
    dialog.show();
    auto* list = dialog.findChild<QTreeWidget*>("fileList");
    ASSERT_NE(list, nullptr);
    const QPoint at = list->visualItemRect(list->topLevelItem(0)).center();

    // Not converted yet: nothing to show.
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    EXPECT_TRUE(dialog.findChildren<PreviewWindow*>().isEmpty());

    dialog.OnConvert();
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    const QList<PreviewWindow*> previews = dialog.findChildren<PreviewWindow*>();
    ASSERT_EQ(previews.size(), 1);
    EXPECT_TRUE(previews[0]->isVisible());
    EXPECT_TRUE(previews[0]->isWindow());
    EXPECT_FALSE(previews[0]->picture().isNull());
    previews[0]->close();  // deletes itself
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.findChildren<PreviewWindow*>().isEmpty());

    // "Preview" in the list's menu shows the selected file the same way.
    list->clearSelection();
    EXPECT_FALSE(dialog.previewAction()->isEnabled());
    list->topLevelItem(0)->setSelected(true);
    ASSERT_TRUE(dialog.previewAction()->isEnabled());
    dialog.previewAction()->trigger();
    ASSERT_EQ(dialog.findChildren<PreviewWindow*>().size(), 1);
    dialog.findChildren<PreviewWindow*>()[0]->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    dialog.close();
}

}  // namespace
}  // namespace kesh
