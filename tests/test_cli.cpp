// kesh-convert as a user runs it: exit status, messages on standard error, where files go.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "core/run.h"
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
    EXPECT_NE(r.output.find(dir / "empty.opt" + ": no geometry: nothing written\n"),
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

TEST(KeshConvert, WarnsAboutAMissingColourMapAndStillWritesTheMats) {
    ScratchDir dir;
    test::WriteFileBytes(dir / "ship.opt", test::SmallShipOpt());
    const Result r = RunKesh("--textures --colour-map nowhere.cmp ship.opt", dir.path());
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("warning: colour map nowhere.cmp: cannot open input"),
              std::string::npos)
        << r.output;
    EXPECT_TRUE(test::FileExists(dir / "ship_00000.mat"));
}

TEST(KeshConvert, WarnsAboutEngineLimitsWithoutFailing) {
    ScratchDir dir;
    test::WriteFileBytes(dir / "big.opt", test::GridOpt(1, 600));
    const Result r = RunKesh(Quote(dir / "big.opt"));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find(dir / "big.opt" + ": warning: geometry set 0, mesh 0: "),
              std::string::npos)
        << r.output;
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
