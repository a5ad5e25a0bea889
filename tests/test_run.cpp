// The conversion run: output names, progress steps, settings per model and per-file outcomes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/model.h"
#include "core/run.h"
#include "frontend/run_messages.h"
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

TEST(OutputPathFor, ReplacesTheExtensionOfTheFileNameOnly) {
    EXPECT_EQ(OutputPathFor("ship.opt"), "ship.3do");
    EXPECT_EQ(OutputPathFor("/data/ship.mk.opt"), "/data/ship.mk.3do");
    EXPECT_EQ(OutputPathFor("ship."), "ship.3do");
    // A dot in a folder name is not the file's extension; a name without one gets ".3do".
    EXPECT_EQ(OutputPathFor("C:\\models.old\\ship"), "C:\\models.old\\ship.3do");
    EXPECT_EQ(OutputPathFor("/home/me/models.old/ship"), "/home/me/models.old/ship.3do");
    EXPECT_EQ(OutputPathFor("ships.v2/noext"), "ships.v2/noext.3do");
    EXPECT_EQ(OutputPathFor("imperial/noext"), "imperial/noext.3do");
    EXPECT_EQ(OutputPathFor("ship"), "ship.3do");
    EXPECT_EQ(OutputPathFor(""), ".3do");
}

TEST(OutputPathFor, PutsTheFileNameIntoAnOutputFolder) {
    EXPECT_EQ(OutputPathFor("ships/tie.opt", ""), "ships/tie.3do");
    EXPECT_EQ(OutputPathFor("ships/tie.opt", "game/3do"), "game/3do/tie.3do");
    EXPECT_EQ(OutputPathFor("tie.opt", "out/"), "out/tie.3do");
    EXPECT_EQ(OutputPathFor("ships.v2/noext", "out"), "out/noext.3do");
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

// The outcome of converting `bytes` as the one file `name` in `dir`.
FileOutcome ConvertOne(const ScratchDir& dir, const std::string& name,
                       const std::vector<uint8_t>& bytes, RunSettings settings = {}) {
    WriteFileBytes(dir / name, bytes);
    NoProgress progress;
    return RunConversion(settings, {dir / name}, progress).files.at(0);
}

TEST(RunConversion, TellsAFileThatIsNotAnOptFromADamagedOne) {
    ScratchDir dir;
    const std::vector<uint8_t> ship = SmallShipOpt();
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        NotOptReason reason;
    } cases[] = {
        {"empty", {}, NotOptReason::TooShort},
        {"header-cut", std::vector<uint8_t>(ship.begin(), ship.begin() + 21),
         NotOptReason::TooShort},
        {"no-nodes", BuildOpt({.nodes = {Group()}, .nodeCount = 0}).bytes, NotOptReason::BadHeader},
        {"table-outside", BuildOpt({.nodes = {Group()}, .nodeTable = 0x7000000}).bytes,
         NotOptReason::BadHeader},
        {"unknown-nodes", BuildOpt({.nodes = {NodeOfType(99), Group({Group()})}}).bytes,
         NotOptReason::NoUsableNode},
    };
    for (const auto& c : cases) {
        const FileOutcome outcome = ConvertOne(dir, c.name, c.bytes);
        EXPECT_EQ(outcome.load.failure, Failure::NotOpt) << c.name;
        EXPECT_EQ(outcome.load.notOpt, c.reason) << c.name;
        EXPECT_FALSE(FileExists(outcome.outputPath)) << c.name;
        // No front end may say that its 3DO file was written.
        EXPECT_FALSE(outcome.model3do.ok()) << c.name;
        ASSERT_EQ(DescribeWork(outcome).size(), 1u) << c.name;
        EXPECT_NE(DescribeWork(outcome)[0].find(": wrote nothing in "), std::string::npos)
            << DescribeWork(outcome)[0];
        EXPECT_EQ(FailuresOf(outcome).size(), 1u) << c.name;
    }
    EXPECT_EQ(Describe(NotOpt(NotOptReason::TooShort)),
              "not an OPT model: too short for the header");
    EXPECT_EQ(Describe(NotOpt(NotOptReason::BadHeader)),
              "not an OPT model: a header that no OPT has");
    EXPECT_EQ(Describe(NotOpt(NotOptReason::NoUsableNode)),
              "not an OPT model: no node that the reader could use");

    // The last of four faces is cut short: the file is damaged, and what it holds is still
    // written.
    const BuiltOpt grid = BuildOpt(
        {.nodes = {Group({
             Vertices({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}),
             Faces({Tri(0, 1, 2), Tri(0, 2, 3), Tri(1, 2, 3), Tri(0, 1, 3)}).Named("faces"),
         })}});
    const std::vector<uint8_t> cut = grid.Prefix(grid.PayloadAt("faces") + 4 + 3 * 64 + 10);
    const FileOutcome damaged = ConvertOne(dir, "cut.opt", cut);
    EXPECT_TRUE(damaged.load.ok());
    EXPECT_TRUE(damaged.load.damaged);
    EXPECT_TRUE(damaged.converted());
    OptModel model;
    model.LoadOptBytes(cut);
    model.ConvertGeometry(RunSettings{}.scale);
    EXPECT_TRUE(ReadFileText(dir / "cut.3do") == Format3DO(model, "cut.3do", 1));
}

TEST(RunConversion, LeavesAnInputAloneThatItsOutputWouldReplace) {
    ScratchDir dir;
    const std::vector<uint8_t> ship = SmallShipOpt();
    WriteFileBytes(dir / "x.3do", ship);
    ASSERT_EQ(mkdir((dir / "sub").c_str(), 0755), 0);
    RunSettings intoItsOwnFolder;
    intoItsOwnFolder.outputDir = dir / "sub/..";
    for (const RunSettings& settings : {RunSettings{}, intoItsOwnFolder}) {
        RecordingProgress progress;
        const RunReport report = RunConversion(settings, {dir / "x.3do"}, progress);
        EXPECT_EQ(progress.steps, 3);
        EXPECT_EQ(report.files.at(0).model3do.failure, Failure::OutputIsInput);
        EXPECT_FALSE(report.allConverted());
        EXPECT_EQ(DescribeFile(report.files[0]),
                  std::vector<std::string>{
                      dir / "x.3do" + ": the output would replace the input: nothing written"});
        EXPECT_TRUE(ReadFileBytes(dir / "x.3do") == ship);
    }
}

TEST(RunConversion, WritesIntoTheOutputAndMaterialFolders) {
    ScratchDir dir;
    CurrentDir here(dir.path());
    WriteFileBytes("ship.opt", SmallShipOpt());
    ASSERT_EQ(mkdir("out", 0755), 0);
    ASSERT_EQ(mkdir("mat", 0755), 0);
    RunSettings settings;
    settings.allowTextures = true;
    settings.colourMapFile = std::string(KESH_SOURCE_DIR) + "/samples/uicolorm.cmp";
    settings.outputDir = "out";
    settings.matDir = "mat";
    NoProgress progress;
    const RunReport report = RunConversion(settings, {"ship.opt"}, progress);
    ASSERT_TRUE(report.allConverted());
    EXPECT_EQ(report.files[0].outputPath, "out/ship.3do");
    EXPECT_EQ(ListDir("."), (std::vector<std::string>{"mat", "out", "ship.opt"}));
    EXPECT_EQ(ListDir("out"), std::vector<std::string>{"ship.3do"});
    EXPECT_EQ(ListDir("mat"), std::vector<std::string>{"ship_00000.mat"});
    EXPECT_EQ(report.files[0].stats.matFiles, 1);
    EXPECT_EQ(report.files[0].stats.bytesWritten,
              static_cast<int64_t>(ReadFileBytes("out/ship.3do").size() + 140 + 64));
}

// Files whose names start alike: "SHIPyard" is "ship" again, in any case; "plain" has no
// texture, so it has no material names to share; "shi0" clashes only with a changed prefix.
TEST(RunConversion, FindsFilesThatShareMaterialNamesAndRenamesThemOnRequest) {
    for (bool textures : {false, true}) {
        ScratchDir dir;
        CurrentDir here(dir.path());
        const std::vector<std::string> files = {"ship.opt", "SHIPyard.opt", "shipwreck.opt",
                                                "plain.opt", "shi0.opt"};
        for (const std::string& name : files)
            WriteFileBytes(name, name == "plain.opt" ? GridOpt(1, 1) : SmallShipOpt());
        RunSettings settings;
        settings.allowTextures = textures;
        settings.colourMapFile = std::string(KESH_SOURCE_DIR) + "/samples/uicolorm.cmp";

        NoProgress progress;
        const RunReport shared = RunConversion(settings, files, progress);
        ASSERT_TRUE(shared.allConverted());
        EXPECT_EQ(shared.files[1].materialPrefix, "SHIP");
        EXPECT_EQ(shared.files[1].materialNamesClashWith, "ship.opt");
        EXPECT_EQ(shared.files[2].materialNamesClashWith, "ship.opt");
        EXPECT_EQ(shared.files[3].materialPrefix, "");
        EXPECT_EQ(shared.files[4].materialNamesClashWith, "");
        EXPECT_EQ(DescribeFile(shared.files[1]),
                  std::vector<std::string>{
                      "SHIPyard.opt: warning: its material names SHIP_*.mat are those of "
                      "ship.opt too; --unique-mat-names gives it names of its own"});
        EXPECT_EQ(CountWarnings(shared), 2);

        settings.uniqueMatNames = true;
        const RunReport unique = RunConversion(settings, files, progress);
        ASSERT_TRUE(unique.allConverted());
        std::vector<std::string> prefixes;
        for (const FileOutcome& file : unique.files)
            prefixes.push_back(file.materialPrefix);
        EXPECT_EQ(prefixes, (std::vector<std::string>{"ship", "SHI0", "shi1", "", "shi2"}));
        EXPECT_EQ(unique.files[4].materialNamesClashWith, "SHIPyard.opt");
        EXPECT_EQ(CountWarnings(unique), 0);
        EXPECT_NE(ReadFileText("SHIPyard.3do").find("         0:   SHI0_00000.mat    # 8x8"),
                  std::string::npos);
        EXPECT_EQ(FileExists("SHI0_00000.mat"), textures);
        EXPECT_EQ(DescribeWork(unique.files[1]).at(1),
                  "SHIPyard.opt: its material names are SHI0_*.mat, as SHIP_*.mat would repeat "
                  "those of ship.opt");
    }
}

TEST(RunMessages, SumsUpEngineLimitsOncePerKind) {
    ScratchDir dir;
    const FileOutcome grid = ConvertOne(dir, "grid.opt", GridOpt(3, 600));
    EXPECT_EQ(
        DescribeFile(grid),
        (std::vector<std::string>{
            dir / "grid.opt" + ": warning: 3 meshes have more than 512 vertices (largest 1,202); "
                               "--fit-engine makes them fit",
            dir / "grid.opt" + ": warning: 3 meshes have more than 512 faces (largest 600); "
                               "--fit-engine makes them fit"}));

    LimitSummary one{LimitKind::TextureVertices, 1, 900, 768};
    FileWarning warning;
    warning.kind = WarningKind::EngineLimit;
    warning.limit = one;
    EXPECT_EQ(Describe(warning),
              "1 mesh has more than 768 texture vertices (900); --fit-engine makes it fit");
    warning.limit = {LimitKind::HierarchyNodes, 1, 80, 64};
    EXPECT_EQ(Describe(warning),
              "the model has 80 hierarchy nodes, more than 64; --fit-engine makes it fit");
}

TEST(RunMessages, SummarisesTheRunInOneLine) {
    RunReport report;
    report.files.resize(40);
    report.files[7].load = Fail(Failure::CannotOpen, 2);
    EXPECT_EQ(DescribeSummary(report, 3, 0.409),
              "Converted 39 of 40 files, 1 failed, 3 warnings, in 0.41 s");
    report.files.resize(1);
    EXPECT_EQ(DescribeSummary(report, 1, 12.0),
              "Converted 1 of 1 file, 0 failed, 1 warning, in 12.00 s");
    EXPECT_EQ(WithThousands(0), "0");
    EXPECT_EQ(WithThousands(999), "999");
    EXPECT_EQ(WithThousands(4210), "4,210");
    EXPECT_EQ(WithThousands(-1234567), "-1,234,567");
}

}  // namespace
}  // namespace kesh
