// The conversion core's own pieces: text conversions of the settings and the all-or-nothing
// output file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "core/file_releaser.h"
#include "core/output_file.h"
#include "core/settings.h"
#include "support/scratch_dir.h"

namespace kesh {
namespace {

using test::ScratchDir;

TEST(TextToInt, ReadsLikeAtoi) {
    EXPECT_EQ(TextToInt("1"), 1);
    EXPECT_EQ(TextToInt("  -42xyz"), -42);
    EXPECT_EQ(TextToInt("+7"), 7);
    EXPECT_EQ(TextToInt("\t\n 3"), 3);
    EXPECT_EQ(TextToInt("abc"), 0);
    EXPECT_EQ(TextToInt(""), 0);
    EXPECT_EQ(TextToInt("3.9"), 3);
    EXPECT_EQ(TextToInt("0x10"), 0);
}

TEST(TextToDouble, ReadsLikeAtofInTheCLocale) {
    EXPECT_EQ(TextToDouble("0.00243902"), 0.00243902);
    EXPECT_EQ(TextToDouble("  1.5e2junk"), 150.0);
    EXPECT_EQ(TextToDouble("abc"), 0.0);
    EXPECT_EQ(TextToDouble(""), 0.0);
    EXPECT_EQ(TextToDouble("0x1p3"), 8.0);
    EXPECT_EQ(TextToDouble("1,5"), 1.0);  // the comma is never a decimal point
    EXPECT_TRUE(std::isinf(TextToDouble("inf")));
}

TEST(ScaleFromText, HoldsTheValueAsAFloat) {
    EXPECT_EQ(ScaleFromText("0.00243902"), 0.00243902f);
    EXPECT_EQ(ScaleFromText("x"), 0.0f);
}

TEST(OutputFile, CommitReplacesTheTargetWhole) {
    ScratchDir dir;
    const std::string target = dir / "out.3do";
    test::WriteFileText(target, "old");
    OutputFile file;
    ASSERT_TRUE(file.Open(target));
    ASSERT_TRUE(file.Write("new ", 4));
    EXPECT_EQ(test::ReadFileText(target), "old");  // untouched until the commit
    ASSERT_TRUE(file.Write("text", 4));
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(test::ReadFileText(target), "new text");
    EXPECT_EQ(test::ListDir(dir.path()), std::vector<std::string>{"out.3do"});
}

// A large file that replaces another is handed to the disk in steps while it is written
// (a new one is not); every byte still arrives in order, and a second file through the
// same object starts its count afresh.
TEST(OutputFile, ALargeFileArrivesWholeWhateverTheWriteSizes) {
    ScratchDir dir;
    OutputFile file;
    for (const char* name : {"large.3do", "again.3do", "new.3do"}) {
        const std::string target = dir / name;
        const bool replaces = std::string(name) != "new.3do";
        if (replaces) test::WriteFileText(target, "old");
        ASSERT_TRUE(file.Open(target));
        std::string expected;
        size_t size = 1;
        while (expected.size() < (size_t{20} << 20)) {
            std::string chunk(size, static_cast<char>('a' + expected.size() % 26));
            chunk.back() = '\n';
            ASSERT_TRUE(file.Write(chunk.data(), chunk.size()));
            expected += chunk;
            size = size * 3 % 3000001 + 1;
        }
        if (replaces) {
            EXPECT_EQ(test::ReadFileText(target), "old");
        }
        ASSERT_TRUE(file.Commit());
        EXPECT_TRUE(test::ReadFileText(target) == expected) << name;
    }
}

TEST(OutputFile, DiscardedFileLeavesNothingAndKeepsTheOldFile) {
    ScratchDir dir;
    const std::string target = dir / "out.3do";
    test::WriteFileText(target, "old");
    {
        OutputFile file;
        ASSERT_TRUE(file.Open(target));
        ASSERT_TRUE(file.Write("partial", 7));
    }
    EXPECT_EQ(test::ReadFileText(target), "old");
    EXPECT_EQ(test::ListDir(dir.path()), std::vector<std::string>{"out.3do"});
}

TEST(OutputFile, RefusesADirectoryAndAMissingFolder) {
    ScratchDir dir;
    OutputFile file;
    StageResult r = file.Open(dir.path());
    EXPECT_EQ(r.failure, Failure::CannotCreate);
    EXPECT_EQ(r.systemError, EISDIR);
    r = file.Open(dir / "missing/out.3do");
    EXPECT_EQ(r.failure, Failure::CannotCreate);
    EXPECT_EQ(r.systemError, ENOENT);
}

TEST(OutputFile, NeverReplacesAReadOnlyFile) {
    ScratchDir dir;
    const std::string target = dir / "out.3do";
    test::WriteFileText(target, "old");
    chmod(target.c_str(), 0444);
    OutputFile file;
    EXPECT_EQ(file.Open(target).failure, Failure::CannotCreate);
    EXPECT_EQ(test::ReadFileText(target), "old");
}

TEST(OutputFile, KeepsThePermissionsOfAReplacedFile) {
    ScratchDir dir;
    const std::string target = dir / "out.3do";
    test::WriteFileText(target, "old");
    chmod(target.c_str(), 0640);
    OutputFile file;
    ASSERT_TRUE(file.Open(target));
    ASSERT_TRUE(file.Commit());
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// Open handles of this process on files that have been deleted or replaced.
int HandlesOnRemovedFiles() {
    int count = 0;
    for (const std::string& name : test::ListDir("/proc/self/fd")) {
        char link[4096];
        const std::string path = "/proc/self/fd/" + name;
        const ssize_t length = readlink(path.c_str(), link, sizeof link - 1);
        if (length <= 0) continue;
        if (std::string(link, static_cast<size_t>(length)).ends_with(" (deleted)")) ++count;
    }
    return count;
}

TEST(OutputFile, AReplacedFileIsLetGoOfByTheReleaser) {
    ScratchDir dir;
    const int before = HandlesOnRemovedFiles();
    {
        FileReleaser releaser;
        for (int round = 0; round < 3; ++round) {
            const std::string target = dir / "out.3do";
            test::WriteFileText(target, "old");
            OutputFile file;
            ASSERT_TRUE(file.Open(target));
            ASSERT_TRUE(file.Write("new", 3));
            ASSERT_TRUE(file.Commit(&releaser));
            EXPECT_EQ(test::ReadFileText(target), "new");
        }
    }  // waits until every old file is closed
    EXPECT_EQ(HandlesOnRemovedFiles(), before);
    EXPECT_EQ(test::ListDir(dir.path()), std::vector<std::string>{"out.3do"});
}

TEST(OutputFile, AFifoInTheWayIsReplacedWithoutWaitingForAWriter) {
    // Holding the old file must not open it: opening a FIFO for reading would wait forever.
    ScratchDir dir;
    const std::string target = dir / "out.3do";
    ASSERT_EQ(mkfifo(target.c_str(), 0644), 0);
    FileReleaser releaser;
    OutputFile file;
    ASSERT_TRUE(file.Open(target));
    ASSERT_TRUE(file.Write("text", 4));
    ASSERT_TRUE(file.Commit(&releaser));
    EXPECT_EQ(test::ReadFileText(target), "text");
}

TEST(OutputFile, WritersOnSeveralThreadsShareOneReleaser) {
    ScratchDir dir;
    const int before = HandlesOnRemovedFiles();
    {
        FileReleaser releaser;
        std::vector<std::jthread> writers;
        for (int w = 0; w < 4; ++w) {
            writers.emplace_back([&, w] {
                for (int i = 0; i < 25; ++i) {
                    const std::string target =
                        dir / "f" + std::to_string(w) + "_" + std::to_string(i);
                    test::WriteFileText(target, "old");
                    OutputFile file;
                    const std::string text = std::to_string(w * 100 + i);
                    EXPECT_TRUE(file.Open(target));
                    EXPECT_TRUE(file.Write(text.data(), text.size()));
                    EXPECT_TRUE(file.Commit(&releaser));
                }
            });
        }
    }  // the writers end first, then the releaser
    EXPECT_EQ(HandlesOnRemovedFiles(), before);
    EXPECT_EQ(test::ListDir(dir.path()).size(), 100u);
    EXPECT_EQ(test::ReadFileText(dir / "f3_24"), "324");
}

}  // namespace
}  // namespace kesh
