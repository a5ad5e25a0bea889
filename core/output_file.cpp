#include "core/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "core/file_releaser.h"

namespace kesh {

namespace {

// Distinguishes temporaries made by one process; the pid distinguishes processes.
std::atomic<unsigned> tempCounter{0};

// When the file replaces an existing one, written data is handed to the disk in steps of
// this size while the file is being written. ext4 writes a file's data out before it lets
// the file replace another by rename, so that a crash cannot leave an empty file in its
// place; started early, that work overlaps the writing instead of holding up the rename.
// Small steps keep the part left for the rename small, which matters most for files of a
// few megabytes. A new file is left to the kernel's own write-back, after the conversion.
constexpr off_t kWriteOutStep = off_t{2} << 20;

std::string TempNameFor(const std::string& target, unsigned attempt) {
    return target + ".kesh-" + std::to_string(getpid()) + "-" +
           std::to_string(tempCounter.fetch_add(1) + attempt) + ".tmp";
}

}  // namespace

OutputFile::~OutputFile() {
    Discard();
}

StageResult OutputFile::Open(const std::string& path) {
    Discard();
    error_ = {};
    target_ = path;

    mode_t mode = 0666;
    bool keepMode = false;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return error_ = Fail(Failure::CannotCreate, EISDIR);
        if (access(path.c_str(), W_OK) != 0) return error_ = Fail(Failure::CannotCreate, errno);
        // A file that nobody may write is read-only, even for a user who could override it.
        if ((st.st_mode & 0222) == 0) return error_ = Fail(Failure::CannotCreate, EACCES);
        mode = st.st_mode & 07777;
        keepMode = true;
    }

    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        temp_ = TempNameFor(path, attempt);
        fd_ = open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) break;
        if (errno != EEXIST) {
            int err = errno;
            temp_.clear();
            return error_ = Fail(Failure::CannotCreate, err);
        }
    }
    if (fd_ < 0) {
        temp_.clear();
        return error_ = Fail(Failure::CannotCreate, EEXIST);
    }
    written_ = writtenOut_ = 0;
    replacing_ = keepMode;
    // A replaced file keeps its permissions, as it would when overwritten in place.
    if (keepMode) (void)fchmod(fd_, mode);
    return {};
}

StageResult OutputFile::Write(const void* data, size_t size) {
    if (!error_.ok()) return error_;
    if (fd_ < 0) return error_ = Fail(Failure::CannotWrite, EBADF);
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = write(fd_, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return error_ = Fail(Failure::CannotWrite, errno);
        }
        if (n == 0) return error_ = Fail(Failure::CannotWrite, ENOSPC);
        p += n;
        size -= static_cast<size_t>(n);
        written_ += n;
    }
    if (replacing_ && written_ - writtenOut_ >= kWriteOutStep) {
        // Only starts the writing; an error here shows up again, and is reported, at close.
        (void)sync_file_range(fd_, writtenOut_, written_ - writtenOut_, SYNC_FILE_RANGE_WRITE);
        writtenOut_ = written_;
    }
    return {};
}

StageResult OutputFile::Commit() {
    return Commit(nullptr);
}

StageResult OutputFile::Commit(FileReleaser* releaser) {
    if (!error_.ok()) {
        Discard();
        return error_;
    }
    if (fd_ < 0) return error_ = Fail(Failure::CannotWrite, EBADF);
    int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) {
        error_ = Fail(Failure::CannotWrite, errno);
        Discard();
        return error_;
    }
    // A path-only handle keeps the old file's inode alive without opening the file itself
    // (no read permission needed, nothing happens to a device or a FIFO); a symbolic link is
    // itself what the rename replaces.
    const int old =
        releaser != nullptr ? open(target_.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC) : -1;
    if (rename(temp_.c_str(), target_.c_str()) != 0) {
        error_ = Fail(Failure::CannotCreate, errno);
        if (old >= 0) close(old);
        Discard();
        return error_;
    }
    temp_.clear();
    if (old >= 0) releaser->Release(old);
    return {};
}

void OutputFile::Discard() {
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        unlink(temp_.c_str());
        temp_.clear();
    }
}

}  // namespace kesh
