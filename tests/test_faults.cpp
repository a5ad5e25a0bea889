// Faults of the system around a conversion: the disk fills up while the 3DO or a MAT file is
// written, the output folder is read-only, the output path is a directory, the input vanishes
// or is a directory. In every case the run reports a clear failure for the file, leaves no
// partial or temporary file, keeps an earlier file of the same name whole, and converts the
// remaining files of the batch.
//
// The disk-full and read-only cases run the conversion in a child process (with a file size
// limit and SIGXFSZ ignored, or without root's right to write anywhere), which reports back
// through a pipe.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <grp.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "core/run.h"
#include "support/opt_builder.h"
#include "support/scratch_dir.h"
#include "support/test_models.h"

namespace kesh {
namespace {

using namespace test;

const std::string kEarlier = "an earlier file that must survive\r\n";

// What became of one file, as the child reports it.
struct Outcome {
    int load = 0;  // Failure values
    int loadError = 0;
    int model3do = 0;
    int model3doError = 0;
    size_t matFailures = 0;
    int matError = 0;  // errno of the first failed MAT file
};

struct ChildOptions {
    rlim_t fileSizeLimit = RLIM_INFINITY;
    bool withoutRoot = false;  // drop to the user nobody when running as root
};

std::vector<Outcome> FromReport(const RunReport& report) {
    std::vector<Outcome> outcomes;
    for (const FileOutcome& file : report.files) {
        Outcome o;
        o.load = static_cast<int>(file.load.failure);
        o.loadError = file.load.systemError;
        o.model3do = static_cast<int>(file.model3do.failure);
        o.model3doError = file.model3do.systemError;
        o.matFailures = file.matFailures.size();
        o.matError = file.matFailures.empty() ? 0 : file.matFailures[0].result.systemError;
        outcomes.push_back(o);
    }
    return outcomes;
}

// Runs the conversion in a child process in `workDir` (where MAT files land). Fails the test
// when the child does not report.
std::vector<Outcome> RunInChild(const RunSettings& settings, const std::vector<std::string>& files,
                                const std::string& workDir, const ChildOptions& options) {
    int fds[2];
    if (pipe(fds) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return {};
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit fails with EFBIG instead
        if (chdir(workDir.c_str()) != 0) _exit(10);
        if (options.fileSizeLimit != RLIM_INFINITY) {
            const rlimit limit{options.fileSizeLimit, options.fileSizeLimit};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(11);
        }
        if (options.withoutRoot && geteuid() == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(12);
        }
        NoProgress progress;
        std::ostringstream out;
        for (const Outcome& o : FromReport(RunConversion(settings, files, progress))) {
            out << o.load << ' ' << o.loadError << ' ' << o.model3do << ' ' << o.model3doError
                << ' ' << o.matFailures << ' ' << o.matError << '\n';
        }
        const std::string text = out.str();
        const bool written =
            write(fds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        _exit(written ? 0 : 13);
    }
    close(fds[1]);
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(fds[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, static_cast<size_t>(got));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "the child did not finish its run (status " << status << ")";
    std::vector<Outcome> outcomes;
    std::istringstream in(text);
    Outcome o;
    while (in >> o.load >> o.loadError >> o.model3do >> o.model3doError >> o.matFailures >>
           o.matError)
        outcomes.push_back(o);
    return outcomes;
}

// A model whose 3DO text is well over 20000 bytes.
std::vector<uint8_t> LargeOpt() {
    return GridOpt(4, 60);
}

// One mesh with a 256 x 256 texture: a MAT file of 65676 bytes, a 3DO of a few kilobytes.
std::vector<uint8_t> LargeTextureOpt() {
    return BuildOpt({.nodes = {Group({
                         Vertices({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}),
                         FaceGroup({Group({PlainTexture(256, 256, 3), Faces({Tri(0, 1, 2)})})}),
                     })}})
        .bytes;
}

constexpr int kNone = static_cast<int>(Failure::None);
constexpr int kCannotCreate = static_cast<int>(Failure::CannotCreate);
constexpr int kCannotWrite = static_cast<int>(Failure::CannotWrite);

TEST(DiskFull, A3doThatDoesNotFitFailsAndLeavesTheEarlierFileWhole) {
    ScratchDir dir;
    WriteFileBytes(dir / "large.opt", LargeOpt());
    WriteFileBytes(dir / "small.opt", SmallShipOpt());
    WriteFileText(dir / "large.3do", kEarlier);

    const std::vector<Outcome> outcomes =
        RunInChild(RunSettings{}, {dir / "large.opt", dir / "small.opt"}, dir.path(),
                   {.fileSizeLimit = 20000});
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(outcomes[0].load, kNone);
    EXPECT_EQ(outcomes[0].model3do, kCannotWrite);
    EXPECT_EQ(outcomes[0].model3doError, EFBIG);
    EXPECT_EQ(outcomes[1].model3do, kNone);

    EXPECT_EQ(ReadFileText(dir / "large.3do"), kEarlier);
    EXPECT_EQ(ReadFileText(dir / "small.3do").substr(0, 9), "# MODEL '");
    EXPECT_EQ(ListDir(dir.path()),
              (std::vector<std::string>{"large.3do", "large.opt", "small.3do", "small.opt"}));
}

// A model whose text fills several of the writer's blocks fails the same way.
TEST(DiskFull, A3doWrittenInBlocksThatDoesNotFitFailsAndLeavesTheEarlierFileWhole) {
    ScratchDir dir;
    WriteFileBytes(dir / "fleet.opt", GridOpt(6, 3000));
    WriteFileText(dir / "fleet.3do", kEarlier);
    const std::vector<Outcome> outcomes =
        RunInChild(RunSettings{}, {dir / "fleet.opt"}, dir.path(), {.fileSizeLimit = 300000});
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].model3do, kCannotWrite);
    EXPECT_EQ(outcomes[0].model3doError, EFBIG);
    EXPECT_EQ(ReadFileText(dir / "fleet.3do"), kEarlier);
    EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"fleet.3do", "fleet.opt"}));
}

TEST(DiskFull, AMatFileThatDoesNotFitFailsAloneAndLeavesTheEarlierFileWhole) {
    ScratchDir dir;
    WriteFileBytes(dir / "large.opt", LargeTextureOpt());
    WriteFileBytes(dir / "small.opt", SmallShipOpt());
    WriteFileText(dir / "larg_00000.mat", kEarlier);
    RunSettings settings;
    settings.allowTextures = true;
    settings.colourMapFile = std::string(KESH_SOURCE_DIR) + "/samples/uicolorm.cmp";

    const std::vector<Outcome> outcomes = RunInChild(
        settings, {dir / "large.opt", dir / "small.opt"}, dir.path(), {.fileSizeLimit = 20000});
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(outcomes[0].matFailures, 1u);
    EXPECT_EQ(outcomes[0].matError, EFBIG);
    EXPECT_EQ(outcomes[0].model3do, kNone);  // the model itself is still written
    EXPECT_EQ(outcomes[1].matFailures, 0u);
    EXPECT_EQ(outcomes[1].model3do, kNone);

    EXPECT_EQ(ReadFileText(dir / "larg_00000.mat"), kEarlier);
    EXPECT_EQ(ReadFileBytes(dir / "smal_00000.mat").size(), 140u + 64u);
    EXPECT_EQ(ListDir(dir.path()),
              (std::vector<std::string>{"larg_00000.mat", "large.3do", "large.opt",
                                        "smal_00000.mat", "small.3do", "small.opt"}));
}

TEST(ReadOnlyFolder, NothingIsWrittenThereAndTheOtherFoldersStillConvert) {
    ScratchDir dir;
    ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);  // reachable for the user nobody
    const std::string locked = dir / "locked";
    const std::string open = dir / "open";
    ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(open.c_str(), 0777), 0);
    ASSERT_EQ(chmod(open.c_str(), 0777), 0);  // whatever the umask
    WriteFileBytes(locked + "/a.opt", SmallShipOpt());
    WriteFileBytes(locked + "/b.opt", SmallShipOpt());
    WriteFileText(locked + "/a.3do", kEarlier);
    WriteFileBytes(open + "/c.opt", SmallShipOpt());
    ASSERT_EQ(chmod(locked.c_str(), 0555), 0);

    const std::vector<Outcome> outcomes =
        RunInChild(RunSettings{}, {locked + "/a.opt", locked + "/b.opt", open + "/c.opt"}, open,
                   {.withoutRoot = true});
    chmod(locked.c_str(), 0755);  // so that the scratch directory can be removed
    ASSERT_EQ(outcomes.size(), 3u);
    // An existing file: not writable for the user; a new one: the folder refuses the temporary.
    EXPECT_EQ(outcomes[0].model3do, kCannotCreate);
    EXPECT_EQ(outcomes[0].model3doError, EACCES);
    EXPECT_EQ(outcomes[1].model3do, kCannotCreate);
    EXPECT_EQ(outcomes[1].model3doError, EACCES);
    EXPECT_EQ(outcomes[2].model3do, kNone);

    EXPECT_EQ(ReadFileText(locked + "/a.3do"), kEarlier);
    EXPECT_EQ(ListDir(locked), (std::vector<std::string>{"a.3do", "a.opt", "b.opt"}));
    EXPECT_EQ(ListDir(open), (std::vector<std::string>{"c.3do", "c.opt"}));
}

TEST(OutputPath, ADirectoryInTheWayIsReportedAndLeftAlone) {
    ScratchDir dir;
    WriteFileBytes(dir / "a.opt", SmallShipOpt());
    WriteFileBytes(dir / "b.opt", SmallShipOpt());
    ASSERT_EQ(mkdir((dir / "a.3do").c_str(), 0755), 0);
    NoProgress progress;
    const RunReport report = RunConversion(RunSettings{}, {dir / "a.opt", dir / "b.opt"}, progress);
    ASSERT_EQ(report.files.size(), 2u);
    EXPECT_EQ(report.files[0].model3do.failure, Failure::CannotCreate);
    EXPECT_EQ(report.files[0].model3do.systemError, EISDIR);
    EXPECT_TRUE(report.files[1].converted());
    EXPECT_TRUE(ListDir(dir / "a.3do").empty());
    EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"a.3do", "a.opt", "b.3do", "b.opt"}));
}

// Deletes a file when the first stage of the batch is done.
class DeletingProgress final : public Progress {
  public:
    explicit DeletingProgress(std::string path) : path_(std::move(path)) {}
    void SetStep(int) override {}
    void SetRange(uint16_t, uint16_t) override {}
    void Step() override {
        if (!path_.empty()) unlink(path_.c_str());
        path_.clear();
    }
    void SetPosition(int) override {}

  private:
    std::string path_;
};

TEST(Input, AFileThatVanishesAfterListingIsReportedAndItsOldOutputKept) {
    ScratchDir dir;
    WriteFileBytes(dir / "a.opt", SmallShipOpt());
    WriteFileBytes(dir / "b.opt", SmallShipOpt());
    WriteFileBytes(dir / "c.opt", SmallShipOpt());
    WriteFileText(dir / "b.3do", kEarlier);
    DeletingProgress progress(dir / "b.opt");  // gone after a.opt was read
    const RunReport report =
        RunConversion(RunSettings{}, {dir / "a.opt", dir / "b.opt", dir / "c.opt"}, progress);
    ASSERT_EQ(report.files.size(), 3u);
    EXPECT_TRUE(report.files[0].converted());
    EXPECT_EQ(report.files[1].load.failure, Failure::CannotOpen);
    EXPECT_EQ(report.files[1].load.systemError, ENOENT);
    EXPECT_EQ(report.files[1].model3do.failure, Failure::NoGeometry);
    EXPECT_TRUE(report.files[2].converted());
    EXPECT_FALSE(report.allConverted());
    EXPECT_EQ(ReadFileText(dir / "b.3do"), kEarlier);
    EXPECT_EQ(ListDir(dir.path()),
              (std::vector<std::string>{"a.3do", "a.opt", "b.3do", "c.3do", "c.opt"}));
}

TEST(Input, ADirectoryIsReportedAndNothingIsWrittenForIt) {
    ScratchDir dir;
    ASSERT_EQ(mkdir((dir / "d.opt").c_str(), 0755), 0);
    WriteFileBytes(dir / "e.opt", SmallShipOpt());
    WriteFileText(dir / "d.3do", kEarlier);
    NoProgress progress;
    const RunReport report = RunConversion(RunSettings{}, {dir / "d.opt", dir / "e.opt"}, progress);
    ASSERT_EQ(report.files.size(), 2u);
    EXPECT_EQ(report.files[0].load.failure, Failure::CannotOpen);
    EXPECT_EQ(report.files[0].load.systemError, EISDIR);
    EXPECT_EQ(report.files[0].model3do.failure, Failure::NoGeometry);
    EXPECT_TRUE(report.files[1].converted());
    EXPECT_EQ(ReadFileText(dir / "d.3do"), kEarlier);
    EXPECT_EQ(ListDir(dir.path()), (std::vector<std::string>{"d.3do", "d.opt", "e.3do", "e.opt"}));
}

}  // namespace
}  // namespace kesh
