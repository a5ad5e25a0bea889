#include "core/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kesh {

namespace {

StageResult ReadOpenFile(int fd, FileBytes& file, size_t limit) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return Fail(Failure::CannotOpen, errno);
    if (S_ISDIR(info.st_mode)) return Fail(Failure::CannotOpen, EISDIR);
    if (!S_ISREG(info.st_mode)) return Fail(Failure::CannotOpen, EINVAL);
    const size_t size = std::min(static_cast<size_t>(info.st_size), limit);
    file.data = std::make_unique_for_overwrite<uint8_t[]>(size);
    while (file.size < size) {
        const ssize_t got = read(fd, file.data.get() + file.size, size - file.size);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return Fail(Failure::CannotOpen, errno);
        if (got == 0) break;  // the file shrank since it was measured
        file.size += static_cast<size_t>(got);
    }
    return {};
}

}  // namespace

StageResult ReadFile(const char* path, FileBytes& file, size_t limit) {
    file = {};
    if (path == nullptr) return Fail(Failure::CannotOpen, EINVAL);
    // Non-blocking, so that naming a FIFO by mistake cannot hang the run; it is refused.
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return Fail(Failure::CannotOpen, errno);
    const StageResult result = ReadOpenFile(fd, file, limit);
    close(fd);
    if (!result) file = {};
    return result;
}

}  // namespace kesh
