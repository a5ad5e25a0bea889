#include "core/output_file.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "core/paths.h"

namespace kesh {

namespace {

constexpr size_t kUniqueChars = 6;
constexpr int kAttempts = 100;

// Six characters from [0-9a-z], random where the system gives randomness.
std::string UniqueChars(int attempt) {
    unsigned char random[kUniqueChars] = {};
    if (getentropy(random, sizeof random) != 0) {
        const unsigned seed =
            static_cast<unsigned>(getpid()) * 31u + static_cast<unsigned>(attempt);
        for (size_t i = 0; i < kUniqueChars; ++i)
            random[i] = static_cast<unsigned char>(seed >> (4 * i));
    }
    std::string text(kUniqueChars, '0');
    for (size_t i = 0; i < kUniqueChars; ++i)
        text[i] = "0123456789abcdefghijklmnopqrstuvwxyz"[random[i] % 36];
    return text;
}

}  // namespace

std::string TemporaryNameFor(const std::string& target, const std::string& unique) {
    const std::string_view name = BaseName(target);
    const std::string folder = target.substr(0, target.size() - name.size());
    const size_t kept = name.size() > 1 + kUniqueChars ? name.size() - 1 - kUniqueChars : 0;
    return folder + "." + std::string(name.substr(0, kept)) + unique;
}

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

    int error = EEXIST;
    for (int attempt = 0; attempt < kAttempts && error == EEXIST; ++attempt) {
        temp_ = TemporaryNameFor(path, UniqueChars(attempt));
        fd_ = open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        error = fd_ >= 0 ? 0 : errno;
    }
    if (fd_ < 0) {
        temp_.clear();
        return error_ = Fail(Failure::CannotCreate, error);
    }
    // A replaced file keeps its permissions, as it would when overwritten in place.
    if (keepMode) (void)fchmod(fd_, mode);
    return {};
}

StageResult OutputFile::Write(const void* data, size_t size) {
    if (!error_.ok()) return error_;
    if (fd_ < 0) return error_ = Fail(Failure::CannotWrite, EBADF);
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = write(fd_, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return error_ = Fail(Failure::CannotWrite, errno);
        if (n == 0) return error_ = Fail(Failure::CannotWrite, ENOSPC);
        p += n;
        size -= static_cast<size_t>(n);
    }
    return {};
}

StageResult OutputFile::Commit() {
    if (!error_.ok()) {
        Discard();
        return error_;
    }
    if (fd_ < 0) return error_ = Fail(Failure::CannotWrite, EBADF);
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) {
        error_ = Fail(Failure::CannotWrite, errno);
        Discard();
        return error_;
    }
    if (rename(temp_.c_str(), target_.c_str()) != 0) {
        error_ = Fail(Failure::CannotCreate, errno);
        Discard();
        return error_;
    }
    temp_.clear();
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
