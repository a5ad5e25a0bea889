// The conversion run: output names, progress steps, settings per model and per-file outcomes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/run.h"
#include "support/scratch_dir.h"

namespace kesh {
namespace {

using test::ScratchDir;

// Records every progress operation as text, in order.
class RecordingProgress final : public Progress {
  public:
    std::vector<std::string> calls;
    int steps = 0;

    void SetStep(int step) override { calls.push_back("step " + std::to_string(step)); }
    void SetRange(uint16_t lower, uint16_t upper) override {
        calls.push_back("range " + std::to_string(lower) + ".." + std::to_string(upper));
    }
    void Step() override { ++steps; }
    void SetPosition(int position) override {
        calls.push_back("position " + std::to_string(position));
    }
};

TEST(OutputPathFor, ReplacesTheTextAfterTheLastDot) {
    EXPECT_EQ(OutputPathFor("ship.opt"), "ship.3do");
    EXPECT_EQ(OutputPathFor("/data/ship.mk.opt"), "/data/ship.mk.3do");
    EXPECT_EQ(OutputPathFor("C:\\models.old\\ship"), "C:\\models.3do");
    EXPECT_EQ(OutputPathFor("/home/me/models.old/ship"), "/home/me/models.3do");
    EXPECT_EQ(OutputPathFor("ship"), "3do");
    EXPECT_EQ(OutputPathFor("ship."), "ship.3do");
    EXPECT_EQ(OutputPathFor(""), "3do");
}

TEST(RunConversion, AnEmptyListOnlySetsUpAndResetsTheBar) {
    RecordingProgress progress;
    const RunReport report = RunConversion(RunSettings{}, {}, progress);
    EXPECT_TRUE(report.files.empty());
    EXPECT_TRUE(report.allConverted());
    EXPECT_EQ(progress.calls, (std::vector<std::string>{"step 1", "range 0..0", "position 0"}));
    EXPECT_EQ(progress.steps, 0);
}

TEST(RunConversion, StepsOncePerStageOfEveryFileEvenWhenNothingOpens) {
    ScratchDir dir;
    const std::vector<std::string> files = {dir / "a.opt", dir / "b.opt", dir / "c.opt"};
    RecordingProgress plain;
    const RunReport report = RunConversion(RunSettings{}, files, plain);
    EXPECT_EQ(plain.calls[1], "range 0..9");
    EXPECT_EQ(plain.steps, 9);
    ASSERT_EQ(report.files.size(), 3u);
    for (const FileOutcome& file : report.files) {
        EXPECT_EQ(file.load.failure, Failure::CannotOpen);
        EXPECT_EQ(file.model3do.failure, Failure::NoGeometry);
        EXPECT_FALSE(file.converted());
    }
    EXPECT_FALSE(report.allConverted());
    EXPECT_EQ(test::ListDir(dir.path()), std::vector<std::string>{});

    RunSettings textures;
    textures.allowTextures = true;
    textures.colourMapFile = dir / "missing.cmp";
    RecordingProgress withTextures;
    const RunReport texReport = RunConversion(textures, files, withTextures);
    EXPECT_EQ(withTextures.calls[1], "range 0..12");
    EXPECT_EQ(withTextures.steps, 12);
    EXPECT_EQ(texReport.colourMap.failure, Failure::CannotOpen);
    EXPECT_EQ(withTextures.calls.back(), "position 0");
}

TEST(RunConversion, TakesTheRangeModulo65536) {
    const std::vector<std::string> files(16385, "/nonexistent/x.opt");
    RunSettings textures;
    textures.allowTextures = true;
    textures.colourMapFile = "/nonexistent/map.cmp";
    RecordingProgress progress;
    RunConversion(textures, files, progress);
    EXPECT_EQ(progress.calls[1], "range 0..4");  // 65540 steps
    EXPECT_EQ(progress.steps, 65540);
}

}  // namespace
}  // namespace kesh
