// Loading an OPT file from disk: the whole file is read into memory once and handed to the
// in-memory reader.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "core/model.h"

namespace kesh {

namespace {

// Reads up to `size` bytes of the open file; false with errno set when a read fails.
bool ReadAll(int fd, std::vector<uint8_t>& bytes, size_t size) {
    bytes.resize(size);
    size_t done = 0;
    while (done < size) {
        const ssize_t got = read(fd, bytes.data() + done, size - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (got == 0) break;  // the file shrank since it was measured
        done += static_cast<size_t>(got);
    }
    bytes.resize(done);
    return true;
}

}  // namespace

StageResult OptModel::LoadOpt(const char* path) {
    if (path == nullptr) return Fail(Failure::CannotOpen, EINVAL);
    // Non-blocking, so that opening a FIFO by mistake cannot hang; it is refused below.
    const int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return Fail(Failure::CannotOpen, errno);
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        const int error = errno;
        close(fd);
        return Fail(Failure::CannotOpen, error);
    }
    if (!S_ISREG(info.st_mode)) {
        close(fd);
        return Fail(Failure::CannotOpen, S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    }
    std::vector<uint8_t> bytes;
    if (!ReadAll(fd, bytes, static_cast<size_t>(info.st_size))) {
        const int error = errno;
        close(fd);
        return Fail(Failure::CannotOpen, error);
    }
    close(fd);
    return LoadOptBytes(bytes);
}

}  // namespace kesh
