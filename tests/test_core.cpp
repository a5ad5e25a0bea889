// The conversion core's own pieces: text conversions of the settings and the all-or-nothing
// output file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "core/output_file.h"
#include "core/settings.h"
#include "frontend/opt_files.h"
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

TEST(OptFiles, TakesEveryOptFileBelowAFolderInAnyCaseSorted) {
    EXPECT_TRUE(HasOptSuffix("ships/tie.OPT"));
    EXPECT_TRUE(HasOptSuffix("C:\\ships\\x.Opt"));
    EXPECT_FALSE(HasOptSuffix("ships/.opt"));  // a hidden file with no name before it
    EXPECT_FALSE(HasOptSuffix("ships.opt/tie"));
    EXPECT_FALSE(HasOptSuffix("tie.opt.bak"));

    ScratchDir dir;
    ASSERT_EQ(mkdir((dir / "b").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir / "b/inner.opt").c_str(), 0755), 0);  // a folder, not a model
    ASSERT_EQ(symlink(dir.path().c_str(), (dir / "b/loop").c_str()), 0);
    for (const char* name : {"b/z.OPT", "b/a.opt", "c.opt", "notes.txt", "b/inner.opt/d.opt"})
        test::WriteFileText(dir / name, "x");
    std::error_code error;
    EXPECT_EQ(OptFilesBelow(dir.path(), error),
              (std::vector<std::string>{dir / "b/a.opt", dir / "b/inner.opt/d.opt", dir / "b/z.OPT",
                                        dir / "c.opt"}));
    EXPECT_FALSE(error);
    EXPECT_TRUE(OptFilesBelow(dir / "missing", error).empty());
    EXPECT_TRUE(error);
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
TEST(OutputFile, TheTemporaryIsHiddenBesideItsTargetAndNoLongerThanItsName) {
    EXPECT_EQ(TemporaryNameFor("ships/shuttle.3do", "abc123"), "ships/.shutabc123");
    EXPECT_EQ(TemporaryNameFor("C:\\ships\\shut_00000.mat", "abc123"), "C:\\ships\\.shut_00abc123");
    EXPECT_EQ(TemporaryNameFor("tie.3do", "abc123"), ".abc123");
    // Names shorter than the hidden mark and the six unique characters get those alone.
    EXPECT_EQ(TemporaryNameFor("/tmp/3do", "abc123"), "/tmp/.abc123");
    const std::string longest = "/tmp/" + std::string(251, 'x') + ".3do";
    EXPECT_EQ(TemporaryNameFor(longest, "abc123").size(), longest.size());
}

TEST(OutputFile, WritesATargetWhoseNameIsAsLongAsTheFileSystemTakes) {
    ScratchDir dir;
    const std::string target = dir / (std::string(251, 'x') + ".3do");
    for (const char* text : {"first", "second"}) {
        OutputFile file;
        ASSERT_TRUE(file.Open(target));
        ASSERT_TRUE(file.Write(text, std::strlen(text)));
        ASSERT_TRUE(file.Commit());
        EXPECT_EQ(test::ReadFileText(target), text);
    }
    EXPECT_EQ(test::ListDir(dir.path()).size(), 1u);
}

TEST(OutputFile, AFifoInTheWayIsReplacedWithoutWaitingForAWriter) {
    // Replacing must not open the old file: opening a FIFO for reading would wait forever.
    ScratchDir dir;
    const std::string target = dir / "out.3do";
    ASSERT_EQ(mkfifo(target.c_str(), 0644), 0);
    OutputFile file;
    ASSERT_TRUE(file.Open(target));
    ASSERT_TRUE(file.Write("text", 4));
    ASSERT_TRUE(file.Commit());
    EXPECT_EQ(test::ReadFileText(target), "text");
}

}  // namespace
}  // namespace kesh
