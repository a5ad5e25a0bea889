// Loading an OPT file from disk: the whole file is read into memory once and handed to the
// in-memory reader.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

#include "core/model.h"

namespace kesh {

namespace {

// Memory for a whole file. Large files get 2 MiB-aligned memory marked for huge pages: the
// kernel zeroes and maps it in a few large steps instead of thousands of 4 KiB faults,
// which otherwise cost more than reading the file itself. The bytes are not initialised.
class FileBuffer {
  public:
    explicit FileBuffer(size_t size) {
        constexpr size_t kHugePage = size_t{2} << 20;
        if (size >= kHugePage) {
            const size_t rounded = (size + kHugePage - 1) & ~(kHugePage - 1);
            data_.reset(static_cast<uint8_t*>(std::aligned_alloc(kHugePage, rounded)));
            if (data_ != nullptr) madvise(data_.get(), rounded, MADV_HUGEPAGE);
        } else {
            data_.reset(static_cast<uint8_t*>(std::malloc(size > 0 ? size : 1)));
        }
    }
    uint8_t* data() const { return data_.get(); }

  private:
    struct Free {
        void operator()(uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<uint8_t, Free> data_;
};

// Reads up to `size` bytes of the open file into `buffer`; the number read, or -1 with
// errno set when a read fails.
ssize_t ReadAll(int fd, uint8_t* buffer, size_t size) {
    size_t done = 0;
    while (done < size) {
        const ssize_t got = read(fd, buffer + done, size - done);
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (got == 0) break;  // the file shrank since it was measured
        done += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(done);
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
    const size_t size = static_cast<size_t>(info.st_size);
    const FileBuffer buffer(size);
    if (buffer.data() == nullptr) {
        close(fd);
        return Fail(Failure::CannotOpen, ENOMEM);
    }
    const ssize_t got = ReadAll(fd, buffer.data(), size);
    const int error = errno;
    close(fd);
    if (got < 0) return Fail(Failure::CannotOpen, error);
    return LoadOptBytes(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(got)));
}

}  // namespace kesh
