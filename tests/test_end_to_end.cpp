// The bundled sample converted end to end, compared whole with the committed expected files.
// After an intended change of the output, KESH_UPDATE_EXPECTED=1 rewrites the expected files;
// review the difference before committing it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "core/run.h"
#include "support/scratch_dir.h"

namespace kesh {
namespace {

using test::ScratchDir;

const std::string kSourceDir = KESH_SOURCE_DIR;

void CompareWithExpected(const std::string& actualPath, const std::string& expectedName) {
    const std::string expectedPath = kSourceDir + "/tests/data/" + expectedName;
    const std::vector<uint8_t> actual = test::ReadFileBytes(actualPath);
    if (std::getenv("KESH_UPDATE_EXPECTED") != nullptr) {
        test::WriteFileBytes(expectedPath, actual);
        GTEST_SKIP() << "rewrote " << expectedPath;
    }
    ASSERT_TRUE(test::FileExists(expectedPath)) << expectedPath << " is missing";
    const std::vector<uint8_t> expected = test::ReadFileBytes(expectedPath);
    ASSERT_EQ(actual.size(), expected.size()) << expectedName;
    EXPECT_TRUE(actual == expected) << expectedName << " differs from " << actualPath;
}

TEST(EndToEnd, TheSampleConvertsToTheExpected3do) {
    ScratchDir dir;
    test::WriteFileBytes(dir / "sample.opt",
                         test::ReadFileBytes(kSourceDir + "/samples/sample.opt"));
    RunSettings settings;  // the dialog's defaults
    settings.maxGeo = -1;  // every level of detail
    NoProgress progress;
    const RunReport report = RunConversion(settings, {dir / "sample.opt"}, progress);
    ASSERT_TRUE(report.allConverted()) << Describe(report.files[0].model3do);
    EXPECT_FALSE(report.files[0].load.damaged);
    CompareWithExpected(dir / "sample.3do", "sample.3do");
}

// The settings of the expected textured files: the blue group, the plain palette and the
// bundled colour map.
RunSettings BlueSampleWithTextures() {
    RunSettings settings;
    settings.allowTextures = true;
    settings.colourMapFile = kSourceDir + "/samples/uicolorm.cmp";
    settings.textureGroup = 2;
    settings.paletteOffset = kPlainPaletteOffset;
    return settings;
}

TEST(EndToEnd, TheSampleConvertsWithTexturesToTheExpectedFiles) {
    ScratchDir dir;
    test::CurrentDir inside(dir.path());
    test::WriteFileBytes("sample.opt", test::ReadFileBytes(kSourceDir + "/samples/sample.opt"));
    const RunSettings settings = BlueSampleWithTextures();
    NoProgress progress;
    const RunReport report = RunConversion(settings, {"sample.opt"}, progress);
    ASSERT_TRUE(report.allConverted());
    ASSERT_TRUE(report.colourMap.ok());
    EXPECT_FALSE(report.colourMap.damaged);
    CompareWithExpected(dir / "sample.3do", "sample-blue.3do");
    for (const std::string& name : test::ListDir(dir.path())) {
        if (name.ends_with(".mat")) CompareWithExpected(dir / name, "sample-mat/" + name);
    }
}

TEST(EndToEnd, DitheringChangesOnlyTheMatImages) {
    ScratchDir dir;
    test::CurrentDir inside(dir.path());
    test::WriteFileBytes("sample.opt", test::ReadFileBytes(kSourceDir + "/samples/sample.opt"));
    RunSettings settings = BlueSampleWithTextures();
    settings.dither = true;
    NoProgress progress;
    ASSERT_TRUE(RunConversion(settings, {"sample.opt"}, progress).allConverted());
    EXPECT_EQ(test::ReadFileBytes(dir / "sample.3do"),
              test::ReadFileBytes(kSourceDir + "/tests/data/sample-blue.3do"));
    int differing = 0;
    for (const std::string& name : test::ListDir(dir.path())) {
        if (!name.ends_with(".mat")) continue;
        const std::vector<uint8_t> dithered = test::ReadFileBytes(dir / name);
        const std::vector<uint8_t> plain =
            test::ReadFileBytes(kSourceDir + "/tests/data/sample-mat/" + name);
        ASSERT_EQ(dithered.size(), plain.size()) << name;
        EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + 140, dithered.begin())) << name;
        differing += dithered != plain;
    }
    EXPECT_GT(differing, 0);
}

}  // namespace
}  // namespace kesh
