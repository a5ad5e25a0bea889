// The conversion run: output names, progress steps, settings per model and per-file outcomes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/model.h"
#include "core/run.h"
#include "support/opt_builder.h"
#include "support/scratch_dir.h"
#include "support/test_models.h"
#include "textures/colour_map.h"
#include "writer3do/writer3do.h"

namespace kesh {
namespace {

using test::ScratchDir;
using namespace test;

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

// Three meshes, each with two textures of 256 x 256 and faces at two levels.
std::vector<uint8_t> TexturedFleetShip() {
    std::vector<NodeSpec> meshes;
    for (int m = 0; m < 3; ++m) {
        std::vector<NodeSpec> levels;
        for (int lod = 0; lod < 2; ++lod) {
            TextureSpec texture;
            texture.width = texture.height = 256;
            for (int i = 0; i < 256 * 256; ++i)
                texture.pixels.push_back(static_cast<uint8_t>(i * (m + 2) + lod));
            std::vector<uint16_t> palette;
            for (int i = 0; i < 256; ++i)
                palette.push_back(Rgb565(i, (i * 3 + m) & 255, 255 - i));
            texture.AllPalettes(palette);
            levels.push_back(Group({TextureNode(texture), Faces({Quad(0, 1, 2, 3, {0, 1, 2, 3}),
                                                                 Tri(0, 2, 3, {0, 2, 3})})}));
        }
        meshes.push_back(
            Group({Vertices({{0, 0, 0}, {1, 0, 0}, {1, 1, static_cast<float>(m)}, {0, 1, 0}}),
                   TexCoords({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), FaceGroup(levels)}));
    }
    return BuildOpt({.nodes = meshes}).bytes;
}

TEST(RunConversion, WritesTheSameFilesAsTheStagesCalledOneByOne) {
    ScratchDir dir;
    CurrentDir here(dir.path());
    WriteFileBytes("ship.opt", TexturedFleetShip());
    ColourMap map;
    for (int i = 0; i < 256; ++i) {
        map.entries[3 * i] = static_cast<uint8_t>(i);
        map.entries[3 * i + 1] = static_cast<uint8_t>(255 - i);
        map.entries[3 * i + 2] = static_cast<uint8_t>(i * 7);
    }
    std::vector<uint8_t> cmp(64 + map.entries.size(), 0);  // a 64-byte header, then the entries
    std::copy(map.entries.begin(), map.entries.end(), cmp.begin() + 64);
    WriteFileBytes("map.cmp", cmp);
    ASSERT_EQ(mkdir("ship_00004.mat", 0755), 0);  // one MAT file cannot be written

    RunSettings settings;
    settings.allowTextures = true;
    settings.colourMapFile = "map.cmp";
    settings.maxGeo = -1;
    RecordingProgress progress;
    const RunReport report = RunConversion(settings, {"ship.opt"}, progress);
    EXPECT_EQ(progress.steps, 4);
    ASSERT_EQ(report.files.size(), 1u);
    const FileOutcome& outcome = report.files[0];
    EXPECT_TRUE(outcome.load.ok());
    EXPECT_TRUE(outcome.model3do.ok());
    EXPECT_EQ(outcome.matFiles, 6u);  // the one that failed counts too
    ASSERT_EQ(outcome.matFailures.size(), 1u);
    EXPECT_EQ(outcome.matFailures[0].path, "ship_00004.mat");

    OptModel model;
    ASSERT_TRUE(model.LoadOpt("ship.opt"));
    model.ConvertGeometry(settings.scale);
    EXPECT_TRUE(ReadFileText("ship.3do") == Format3DO(model, "ship.3do", -1));
    ScratchDir apart;
    {
        CurrentDir there(apart.path());
        EXPECT_TRUE(model.WriteMATs(map, "ship.3do").empty());
    }
    ASSERT_EQ(model.textures.size(), 6u);
    for (const char* name : {"ship_00000.mat", "ship_00001.mat", "ship_00002.mat", "ship_00003.mat",
                             "ship_00005.mat"}) {
        EXPECT_EQ(ReadFileBytes(name), ReadFileBytes(apart / name)) << name;
    }
}

// Earlier outputs are replaced whole, for the files of a batch as for its last one, keeping
// their permissions and leaving no temporary file behind.
TEST(RunConversion, ReplacesTheEarlierOutputsOfEveryFile) {
    ScratchDir dir;
    CurrentDir here(dir.path());
    const std::vector<uint8_t> ship = SmallShipOpt();
    for (const char* name : {"first", "last"}) {
        WriteFileBytes(std::string(name) + ".opt", ship);
        WriteFileBytes(std::string(name) + ".3do", std::vector<uint8_t>(100000, 'x'));
        ASSERT_EQ(chmod((std::string(name) + ".3do").c_str(), 0640), 0);
    }
    NoProgress progress;
    const RunReport report = RunConversion(RunSettings{}, {"first.opt", "last.opt"}, progress);
    ASSERT_TRUE(report.allConverted());

    for (const char* name : {"first", "last"}) {
        const std::string path = std::string(name) + ".3do";
        OptModel model;
        ASSERT_TRUE(model.LoadOpt((std::string(name) + ".opt").c_str()));
        model.ConvertGeometry(RunSettings{}.scale);
        EXPECT_TRUE(ReadFileText(path) == Format3DO(model, path, RunSettings{}.maxGeo)) << path;
        struct stat st {};
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0640u) << path;
    }
    EXPECT_EQ(ListDir("."),
              (std::vector<std::string>{"first.3do", "first.opt", "last.3do", "last.opt"}));
}

// A name as long as the file system takes (255 bytes) leaves room for its temporary, for the
// 3DO file as for the MAT files, on a first run and on a run that replaces the files.
TEST(RunConversion, ConvertsAModelWhoseNameIsAsLongAsTheFileSystemTakes) {
    const std::string stem(251, 's');
    ASSERT_EQ((stem + ".3do").size(), 255u);
    for (bool textures : {false, true}) {
        ScratchDir dir;
        CurrentDir here(dir.path());
        WriteFileBytes(stem + ".opt", TexturedFleetShip());
        RunSettings settings;
        settings.allowTextures = textures;
        settings.colourMapFile = std::string(KESH_SOURCE_DIR) + "/samples/uicolorm.cmp";
        for (int round = 0; round < 2; ++round) {
            NoProgress progress;
            const RunReport report = RunConversion(settings, {stem + ".opt"}, progress);
            ASSERT_TRUE(report.allConverted())
                << textures << " " << Describe(report.files[0].model3do);
            OptModel model;
            ASSERT_TRUE(model.LoadOpt((stem + ".opt").c_str()));
            model.ConvertGeometry(settings.scale);
            EXPECT_TRUE(ReadFileText(stem + ".3do") == Format3DO(model, stem + ".3do", 1));
            EXPECT_EQ(ListDir(".").size(), textures ? 8u : 2u);
        }
        if (textures) {
            EXPECT_EQ(ReadFileBytes("ssss_00005.mat").size(), 140u + 256 * 256);
        }
    }
}

}  // namespace
}  // namespace kesh
