#include "core/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kesh {

namespace {

StageResult ReadOpenFile(int fd, std::vector<uint8_t>& bytes, size_t limit) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return Fail(Failure::CannotOpen, errno);
    if (S_ISDIR(info.st_mode)) return Fail(Failure::CannotOpen, EISDIR);
    if (!S_ISREG(info.st_mode)) return Fail(Failure::CannotOpen, EINVAL);
    bytes.resize(std::min(static_cast<size_t>(info.st_size), limit));
    size_t have = 0;
    while (have < bytes.size()) {
        const ssize_t got = read(fd, bytes.data() + have, bytes.size() - have);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return Fail(Failure::CannotOpen, errno);
        if (got == 0) break;  // the file shrank since it was measured
        have += static_cast<size_t>(got);
    }
    bytes.resize(have);
    return {};
}

}  // namespace

StageResult ReadFile(const char* path, std::vector<uint8_t>& bytes, size_t limit) {
    bytes.clear();
    if (path == nullptr) return Fail(Failure::CannotOpen, EINVAL);
    // Non-blocking, so that naming a FIFO by mistake cannot hang the run; it is refused.
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return Fail(Failure::CannotOpen, errno);
    StageResult result = ReadOpenFile(fd, bytes, limit);
    close(fd);
    if (!result) bytes.clear();
    return result;
}

}  // namespace kesh
