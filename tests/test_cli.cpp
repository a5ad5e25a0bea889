// kesh-convert as a user runs it: exit status, messages on standard error, where files go.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "cli/terminal_progress.h"
#include "core/run.h"
#include "frontend/run_messages.h"
#include "support/scratch_dir.h"
#include "support/test_models.h"

namespace kesh {
namespace {

using test::ScratchDir;

struct Result {
    int status = -1;
    std::string output;  // standard output and standard error together
};

// Runs kesh-convert with `arguments` (already quoted for the shell), standard error not a
// terminal, and returns its exit status and output.
Result RunKesh(const std::string& arguments, const std::string& workDir = ".") {
    const std::string command =
        "cd '" + workDir + "' && '" KESH_CONVERT_PATH "' " + arguments + " 2>&1 </dev/null";
    Result result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    std::array<char, 4096> chunk{};
    size_t n = 0;
    while ((n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
        result.output.append(chunk.data(), n);
    const int raw = pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

std::string Quote(const std::string& path) {
    return "'" + path + "'";
}

TEST(KeshConvert, ConvertsQuietlyNextToTheInput) {
    ScratchDir dir;
    test::WriteFileBytes(dir / "ship.opt", test::SmallShipOpt());
    const Result r = RunKesh(Quote(dir / "ship.opt"));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output, "");
    EXPECT_TRUE(test::FileExists(dir / "ship.3do"));
}

TEST(KeshConvert, NamesEachFailedFileAndExitsWithOne) {
    ScratchDir dir;
    test::WriteFileBytes(dir / "ship.opt", test::SmallShipOpt());
    test::WriteFileBytes(dir / "empty.opt", {});
    const Result r = RunKesh(Quote(dir / "missing.opt") + " " + Quote(dir / "empty.opt") + " " +
                             Quote(dir / "ship.opt"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(
        r.output.find(dir / "missing.opt" + ": cannot open input: No such file or directory\n"),
        std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find(dir / "empty.opt" + ": not an OPT model: too short for the header\n"),
              std::string::npos)
        << r.output;
    // The rest of the batch still converts.
    EXPECT_TRUE(test::FileExists(dir / "ship.3do"));
}

TEST(KeshConvert, RejectsBadUsageWithTwo) {
    EXPECT_EQ(RunKesh("").status, 2);
    EXPECT_EQ(RunKesh("--group purple x.opt").status, 2);
    EXPECT_EQ(RunKesh("--no-such-option x.opt").status, 2);
    const Result help = RunKesh("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("--max-geo"), std::string::npos);
    const Result version = RunKesh("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.output.find("1.0"), std::string::npos);
}

TEST(KeshConvert, AcceptsGroupsByNameAndNumber) {
    ScratchDir dir;
    test::WriteFileBytes(dir / "ship.opt", test::SmallShipOpt());
    for (const char* group : {"red", "Gold", "2", "green"}) {
        EXPECT_EQ(RunKesh(std::string("--group ") + group + " " + Quote(dir / "ship.opt")).status,
                  0)
            << group;
    }
}

TEST(KeshConvert, RefusesAColourMapThatIsMissingOrShortBeforeWritingAnything) {
    ScratchDir dir;
    test::WriteFileBytes(dir / "ship.opt", test::SmallShipOpt());
    test::WriteFileBytes(dir / "short.cmp", std::vector<uint8_t>(831, 7));
    const Result missing = RunKesh("--textures --colour-map nowhere.cmp ship.opt", dir.path());
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.output,
              "kesh-convert: colour map nowhere.cmp: cannot open input: No such file or "
              "directory\n");
    const Result cut = RunKesh("--textures --colour-map short.cmp ship.opt", dir.path());
    EXPECT_EQ(cut.status, 2);
    EXPECT_EQ(cut.output, "kesh-convert: colour map short.cmp: shorter than 832 bytes\n");
    EXPECT_EQ(test::ListDir(dir.path()), (std::vector<std::string>{"ship.opt", "short.cmp"}));
    // Without --textures the colour map is not needed, and naming one is a warning.
    const Result unused = RunKesh("--colour-map nowhere.cmp ship.opt", dir.path());
    EXPECT_EQ(unused.status, 0);
    EXPECT_EQ(unused.output, "warning: --colour-map has no effect without --textures\n");
    const Result noMats = RunKesh("--mat-dir mats ship.opt", dir.path());
    EXPECT_EQ(noMats.output, "warning: --mat-dir has no effect without --textures\n");
    EXPECT_FALSE(test::FileExists(dir / "mats"));
}

TEST(KeshConvert, WarnsWhenAScaleOrMaxGeoIsNotWhollyANumber) {
    ScratchDir dir;
    test::WriteFileBytes(dir / "ship.opt", test::SmallShipOpt());
    const Result r = RunKesh("--scale abc --max-geo 2lots ship.opt", dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output,
              "warning: --scale 'abc' is not a number: using 0\n"
              "warning: --max-geo '2lots' is not a number: using 2\n");
    EXPECT_NE(test::ReadFileText(dir / "ship.3do").find("    0:   0.000000   0.000000   0.000000"),
              std::string::npos);
    EXPECT_EQ(RunKesh("--scale '' --max-geo ' 3' ship.opt", dir.path()).output,
              "warning: --scale '' is not a number: using 0\n");
    EXPECT_EQ(RunKesh("--scale 1.5e-3 --max-geo=-1 --strict ship.opt", dir.path()).output, "");
    EXPECT_EQ(RunKesh("--strict --scale x ship.opt", dir.path()).status, 1);
}

TEST(KeshConvert, WarnsOncePerFileAndKindOfEngineLimit) {
    ScratchDir dir;
    test::WriteFileBytes(dir / "big.opt", test::GridOpt(2, 600));
    const Result r = RunKesh("big.opt", dir.path());
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output,
              "big.opt: warning: 2 meshes have more than 512 vertices (largest 1,202); "
              "--fit-engine makes them fit\n"
              "big.opt: warning: 2 meshes have more than 512 faces (largest 600); --fit-engine "
              "makes them fit\n");
    EXPECT_EQ(RunKesh("--strict big.opt", dir.path()).status, 1);
    EXPECT_EQ(RunKesh("-q big.opt", dir.path()).output, "");
}

TEST(KeshConvert, SaysWhenAFileIsNotAnOptModel) {
    ScratchDir dir;
    const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13,
                                      'I',  'H', 'D', 'R', 0,    0,    1,    0,    0, 0, 1, 0};
    test::WriteFileBytes(dir / "picture.png", png);
    const Result r = RunKesh("picture.png", dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, "picture.png: not an OPT model: a header that no OPT has\n");
    EXPECT_EQ(test::ListDir(dir.path()), std::vector<std::string>{"picture.png"});
}

TEST(KeshConvert, NamesOutputsByTheFileNameAndNeverReplacesTheInput) {
    ScratchDir dir;
    const std::vector<uint8_t> ship = test::SmallShipOpt();
    for (const char* folder : {"imperial", "ships.v2"}) {
        ASSERT_EQ(mkdir((dir / folder).c_str(), 0755), 0);
        test::WriteFileBytes(dir / folder + "/noext", ship);
    }
    test::WriteFileBytes(dir / "weird.3do", ship);
    const Result r = RunKesh("imperial/noext ships.v2/noext weird.3do", dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output,
              "ships.v2/noext: warning: its material names noex_*.mat are those of imperial/noext "
              "too; --unique-mat-names gives it names of its own\n"
              "weird.3do: the output would replace the input: nothing written\n");
    EXPECT_TRUE(test::FileExists(dir / "imperial/noext.3do"));
    EXPECT_TRUE(test::FileExists(dir / "ships.v2/noext.3do"));
    EXPECT_TRUE(test::ReadFileBytes(dir / "weird.3do") == ship);
    EXPECT_EQ(test::ListDir(dir.path()),
              (std::vector<std::string>{"imperial", "ships.v2", "weird.3do"}));
}

TEST(KeshConvert, WritesIntoFoldersItCreates) {
    ScratchDir dir;
    ASSERT_EQ(mkdir((dir / "ships").c_str(), 0755), 0);
    test::WriteFileBytes(dir / "ships/tie.opt", test::SmallShipOpt());
    const std::string map = std::string(KESH_SOURCE_DIR) + "/samples/uicolorm.cmp";
    const Result r = RunKesh(
        "ships/tie.opt -o game/3do --mat-dir game/mat --textures --colour-map " + Quote(map),
        dir.path());
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output, "");
    EXPECT_EQ(test::ListDir(dir.path()), (std::vector<std::string>{"game", "ships"}));
    EXPECT_EQ(test::ListDir(dir / "ships"), std::vector<std::string>{"tie.opt"});
    EXPECT_EQ(test::ListDir(dir / "game/3do"), std::vector<std::string>{"tie.3do"});
    EXPECT_EQ(test::ListDir(dir / "game/mat"), std::vector<std::string>{"tie._00000.mat"});

    test::WriteFileText(dir / "file", "not a folder");
    const Result blocked = RunKesh("ships/tie.opt -o file/3do", dir.path());
    EXPECT_EQ(blocked.status, 2);
    EXPECT_EQ(blocked.output,
              "kesh-convert: --output-dir file/3do: cannot create the folder: Not a directory\n");
}

TEST(KeshConvert, WarnsWhenTwoInputsOfOneNameWriteOneOutput) {
    ScratchDir dir;
    ASSERT_EQ(mkdir((dir / "a").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir / "b").c_str(), 0755), 0);
    test::WriteFileBytes(dir / "a/tie.opt", test::SmallShipOpt());
    test::WriteFileBytes(dir / "b/tie.opt", test::GridOpt(1, 2));
    const Result r = RunKesh("a/tie.opt b/tie.opt a/tie.opt -o out", dir.path());
    EXPECT_EQ(r.status, 0);
    // The same input given again replaces nothing of value, and says nothing.
    EXPECT_EQ(r.output,
              "b/tie.opt: warning: its 3DO file out/tie.3do replaced the one written for "
              "a/tie.opt\n"
              "a/tie.opt: warning: its 3DO file out/tie.3do replaced the one written for "
              "b/tie.opt\n");
    EXPECT_EQ(RunKesh("a/tie.opt a/tie.opt -o out", dir.path()).output, "");
}

TEST(KeshConvert, TakesEveryOptBelowAFolderWithRecursive) {
    ScratchDir dir;
    for (const char* folder : {"fleet", "fleet/b", "fleet/a", "empty"})
        ASSERT_EQ(mkdir((dir / folder).c_str(), 0755), 0);
    for (const char* name : {"fleet/z.opt", "fleet/b/ship.OPT", "fleet/a/ship.opt"})
        test::WriteFileBytes(dir / name, test::SmallShipOpt());
    test::WriteFileText(dir / "fleet/notes.txt", "not a model");
    test::WriteFileText(dir / "fleet/a/.opt", "no name");

    const Result flat = RunKesh("fleet", dir.path());
    EXPECT_EQ(flat.status, 1);
    EXPECT_EQ(flat.output, "fleet: cannot open input: Is a directory\n");

    const Result r = RunKesh("-r -v fleet empty", dir.path());
    EXPECT_EQ(r.status, 0) << r.output;
    std::vector<std::string> read;
    for (size_t at = 0; (at = r.output.find(": read ", at)) != std::string::npos; ++at) {
        const size_t start = r.output.rfind('\n', at);
        read.push_back(r.output.substr(start == std::string::npos ? 0 : start + 1,
                                       at - (start == std::string::npos ? 0 : start + 1)));
    }
    EXPECT_EQ(read,
              (std::vector<std::string>{"fleet/a/ship.opt", "fleet/b/ship.OPT", "fleet/z.opt"}));
    EXPECT_EQ(r.output.find("warning: empty: no .opt file in the folder\n"), 0u) << r.output;
    EXPECT_TRUE(test::FileExists(dir / "fleet/b/ship.3do"));
}

TEST(KeshConvert, WarnsAboutSharedMaterialNamesOrAvoidsThem) {
    ScratchDir dir;
    test::WriteFileBytes(dir / "corvette.opt", test::SmallShipOpt());
    test::WriteFileBytes(dir / "corvette2.opt", test::SmallShipOpt());
    const Result shared = RunKesh("corvette.opt corvette2.opt", dir.path());
    EXPECT_EQ(shared.status, 0);
    EXPECT_EQ(shared.output,
              "corvette2.opt: warning: its material names corv_*.mat are those of corvette.opt "
              "too; --unique-mat-names gives it names of its own\n");
    EXPECT_EQ(RunKesh("--strict corvette.opt corvette2.opt", dir.path()).status, 1);

    const Result unique = RunKesh("--unique-mat-names corvette.opt corvette2.opt", dir.path());
    EXPECT_EQ(unique.status, 0);
    EXPECT_EQ(unique.output, "");
    EXPECT_NE(test::ReadFileText(dir / "corvette2.3do").find("   cor0_00000.mat    # 8x8"),
              std::string::npos);
    EXPECT_NE(test::ReadFileText(dir / "corvette.3do").find("   corv_00000.mat    # 8x8"),
              std::string::npos);
}

TEST(KeshConvert, TellsWhatWasDoneWithVerboseAndOnlyFailuresWithQuiet) {
    ScratchDir dir;
    test::WriteFileBytes(dir / "ship.opt", test::SmallShipOpt());
    const Result verbose = RunKesh("-v ship.opt missing.opt", dir.path());
    EXPECT_EQ(verbose.status, 1);
    const std::string start =
        "ship.opt: read 1 mesh, 2 faces, 1 level of detail, 1 texture; wrote ship.3do (";
    EXPECT_EQ(verbose.output.find(start), 0u) << verbose.output;
    const size_t bytes = test::ReadFileBytes(dir / "ship.3do").size();
    EXPECT_NE(verbose.output.find("(" + WithThousands(static_cast<int64_t>(bytes)) + " bytes) in "),
              std::string::npos)
        << verbose.output;
    EXPECT_NE(verbose.output.find("\nmissing.opt: cannot open input: No such file or directory\n"
                                  "missing.opt: wrote nothing in "),
              std::string::npos)
        << verbose.output;
    EXPECT_NE(verbose.output.find("\nConverted 1 of 2 files, 1 failed, 0 warnings, in "),
              std::string::npos)
        << verbose.output;

    test::WriteFileBytes(dir / "big.opt", test::GridOpt(1, 600));
    EXPECT_EQ(RunKesh("-q --scale x big.opt missing.opt", dir.path()).output,
              "missing.opt: cannot open input: No such file or directory\n");
    EXPECT_EQ(RunKesh("-q -v ship.opt", dir.path()).status, 2);
}

TEST(KeshConvert, ReportsTheRunAsJson) {
    ScratchDir dir;
    test::WriteFileBytes(dir / "ship.opt", test::SmallShipOpt());
    test::WriteFileBytes(dir / "big.opt", test::GridOpt(2, 600));
    const Result r =
        RunKesh("--report report.json --max-geo 1x ship.opt big.opt missing.opt", dir.path());
    EXPECT_EQ(r.status, 1);
    const nlohmann::json report = nlohmann::json::parse(test::ReadFileText(dir / "report.json"));
    EXPECT_EQ(report["warnings"][0]["message"], "--max-geo '1x' is not a number: using 1");
    ASSERT_EQ(report["files"].size(), 3u);
    const nlohmann::json& ship = report["files"][0];
    EXPECT_EQ(ship["input"], "ship.opt");
    EXPECT_EQ(ship["output"], "ship.3do");
    EXPECT_EQ(ship["outcome"], "converted");
    EXPECT_TRUE(ship["error"].is_null());
    EXPECT_EQ(ship["read"]["faces"], 2);
    const nlohmann::json& big = report["files"][1];
    ASSERT_EQ(big["warnings"].size(), 2u);
    EXPECT_EQ(big["warnings"][1]["kind"], "engine-limit");
    EXPECT_EQ(big["warnings"][1]["limit"], "faces");
    EXPECT_EQ(big["warnings"][1]["exceeded"], 2);
    EXPECT_EQ(big["warnings"][1]["largest"], 600);
    EXPECT_EQ(big["warnings"][1]["most"], 512);
    const nlohmann::json& missing = report["files"][2];
    EXPECT_EQ(missing["outcome"], "failed");
    EXPECT_EQ(missing["error"], "cannot open input: No such file or directory");
    EXPECT_EQ(report["summary"]["converted"], 2);
    EXPECT_EQ(report["summary"]["failed"], 1);
    EXPECT_EQ(report["summary"]["warnings"], 3);

    // "-" puts the report on standard output, after the messages on standard error.
    const Result out = RunKesh("--report - ship.opt", dir.path());
    EXPECT_EQ(out.status, 0);
    EXPECT_EQ(nlohmann::json::parse(out.output)["files"][0]["outcome"], "converted");
}

// On a terminal the messages of each file come as it is done, above the bar; the bar counts
// files and names the current one.
TEST(TerminalProgress, PrintsMessagesAboveTheBarAsFilesAreDone) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    const std::vector<std::string> files = {"a.opt", "b.opt"};
    {
        TerminalProgress progress(out, files, 3, true, Verbosity::Normal);
        progress.SetStep(1);
        progress.SetRange(0, 6);
        for (int i = 0; i < 3; ++i)
            progress.Step();
        FileOutcome failed;
        failed.inputPath = "a.opt";
        failed.load = Fail(Failure::CannotOpen, 2);
        progress.FileDone(failed);
        progress.SetPosition(0);
        progress.Print("Converted 0 of 2 files, 1 failed, 0 warnings, in 0.00 s");
    }
    std::rewind(out);
    std::string text;
    for (int c = 0; (c = std::fgetc(out)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(out);
    const std::string bar0 = "\r\033[K[------------------------------] 0/2 a.opt";
    const std::string bar1 = "\r\033[K[###############---------------] 1/2 b.opt";
    EXPECT_EQ(text, bar0 + bar0 + bar0 + bar1 +
                        "\r\033[Ka.opt: cannot open input: No such file or directory\n" + bar1 +
                        "\r\033[KConverted 0 of 2 files, 1 failed, 0 warnings, in 0.00 s\n");
}

TEST(KeshConvert, FitsToTheEngineWhenAskedAndSaysWhatItChanged) {
    ScratchDir dir;
    test::WriteFileBytes(dir / "big.opt", test::GridOpt(1, 600));
    const Result r = RunKesh("--fit-engine " + Quote(dir / "big.opt"));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output, dir / "big.opt" +
                            ": faces written with material -1 (the model has no "
                            "textures)\n" +
                            dir / "big.opt" + ": mesh 0 split into 3 parts\n");
}

// In a batch, kesh-convert builds the next model in the memory the last one released: the
// files must come out as the library writes them in a process of its own.
TEST(KeshConvert, ConvertsLargeModelsInABatchAsTheLibraryDoes) {
    ScratchDir dir;
    const std::vector<uint8_t> big = test::GridOpt(4, 12000);
    ASSERT_GT(big.size(), size_t{4} << 20);
    test::WriteFileBytes(dir / "one.opt", big);
    test::WriteFileBytes(dir / "two.opt", big);
    const Result r = RunKesh("--max-geo 3 one.opt two.opt", dir.path());
    EXPECT_EQ(r.status, 0) << r.output;

    ScratchDir libraryDir;
    test::WriteFileBytes(libraryDir / "one.opt", big);
    test::WriteFileBytes(libraryDir / "two.opt", big);
    RunSettings settings;
    settings.maxGeo = 3;
    NoProgress progress;
    const RunReport report =
        RunConversion(settings, {libraryDir / "one.opt", libraryDir / "two.opt"}, progress);
    ASSERT_TRUE(report.allConverted());
    for (const char* name : {"one.3do", "two.3do"}) {
        const std::vector<uint8_t> expected = test::ReadFileBytes(libraryDir / name);
        ASSERT_FALSE(expected.empty());
        EXPECT_TRUE(test::ReadFileBytes(dir / name) == expected) << name;
    }
}

// The heap is prepared for the largest file of the batch, wherever it comes: a small model
// before and after large ones of different sizes, and a file that cannot be read, all come
// out as the library writes them.
TEST(KeshConvert, ConvertsAMixedBatchAsTheLibraryDoes) {
    const std::vector<std::pair<std::string, std::vector<uint8_t>>> inputs = {
        {"small.opt", test::SmallShipOpt()},
        {"large.opt", test::GridOpt(3, 9000)},
        {"larger.opt", test::GridOpt(5, 12000)},
        {"again.opt", test::SmallShipOpt()},
    };
    ScratchDir dir;
    ScratchDir libraryDir;
    std::string arguments = "--max-geo 3 missing.opt";
    std::vector<std::string> libraryPaths;
    for (const auto& [name, bytes] : inputs) {
        test::WriteFileBytes(dir / name, bytes);
        test::WriteFileBytes(libraryDir / name, bytes);
        arguments += " " + name;
        libraryPaths.push_back(libraryDir / name);
    }
    const Result r = RunKesh(arguments, dir.path());
    EXPECT_EQ(r.status, 1) << r.output;  // the missing file

    RunSettings settings;
    settings.maxGeo = 3;
    NoProgress progress;
    ASSERT_TRUE(RunConversion(settings, libraryPaths, progress).allConverted());
    for (const char* name : {"small.3do", "large.3do", "larger.3do", "again.3do"}) {
        const std::vector<uint8_t> expected = test::ReadFileBytes(libraryDir / name);
        ASSERT_FALSE(expected.empty()) << name;
        EXPECT_TRUE(test::ReadFileBytes(dir / name) == expected) << name;
    }
}

}  // namespace
}  // namespace kesh
