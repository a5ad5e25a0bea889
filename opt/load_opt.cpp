// Loading an OPT file from disk: the whole file is read into memory once and handed to the
// in-memory reader.
//
// The file is read, not mapped. A mapping would spare the copy, but on the virtual machines
// Kesh is measured on each 4 KiB page of it costs a fault of several microseconds when first
// touched (the hypervisor keeps the page tables), more than copying the page into memory
// entered in 2 MiB pages; and a read copy cannot be cut short under the reader by a program
// that truncates the file, which would end a mapping's reader with SIGBUS.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/helper_threads.h"
#include "core/model.h"

namespace kesh {

namespace {

// An open file descriptor, closed when it goes.
class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) close(fd_);
    }
    int get() const { return fd_; }

  private:
    int fd_;
};

// Memory for a whole file. Large files get 2 MiB-aligned memory marked for huge pages: the
// kernel zeroes and maps it in a few large steps instead of thousands of 4 KiB faults. The
// bytes are not initialised.
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

// Reads up to `size` bytes of the open file from `offset` on into `buffer`; the number read
// (fewer only where the file ends), or -1 with errno set when a read fails.
ssize_t ReadRange(int fd, uint8_t* buffer, size_t size, off_t offset) {
    size_t done = 0;
    while (done < size) {
        const ssize_t got =
            pread(fd, buffer + done, size - done, offset + static_cast<off_t>(done));
        if (got < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (got == 0) break;  // the file shrank since it was measured
        done += static_cast<size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

// From this size on, a file is read by two threads, half each: copying it is a good part of
// loading a large model.
constexpr size_t kBytesWorthTwoThreads = size_t{4} << 20;

// Reads up to `size` bytes of the open file into `buffer`, as ReadRange from the start.
ssize_t ReadAll(int fd, uint8_t* buffer, size_t size) {
    if (size < kBytesWorthTwoThreads || SpareThreads(1) == 0) return ReadRange(fd, buffer, size, 0);
    const size_t half = (size / 2) & ~size_t{0xFFFF};
    ssize_t second = 0;
    int secondError = 0;
    const auto readSecond = [&] {
        second = ReadRange(fd, buffer + half, size - half, static_cast<off_t>(half));
        secondError = errno;
    };
    ssize_t first = 0;
    int firstError = 0;
    {
        const std::vector<HelperThread> helper = StartHelpers(1, [&](unsigned) { readSecond(); });
        first = ReadRange(fd, buffer, half, 0);
        firstError = errno;
        if (helper.empty()) readSecond();
    }  // the helper is joined here
    if (first < 0) {
        errno = firstError;
        return -1;
    }
    if (static_cast<size_t>(first) < half) return first;  // the file ends in the first half
    if (second < 0) {
        errno = secondError;
        return -1;
    }
    return static_cast<ssize_t>(half) + second;
}

}  // namespace

StageResult OptModel::LoadOpt(const char* path) {
    if (path == nullptr) return Fail(Failure::CannotOpen, EINVAL);
    // Non-blocking, so that opening a FIFO by mistake cannot hang; it is refused below.
    const FileDescriptor file(open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) return Fail(Failure::CannotOpen, errno);
    struct stat info {};
    if (fstat(file.get(), &info) != 0) return Fail(Failure::CannotOpen, errno);
    if (!S_ISREG(info.st_mode)) {
        return Fail(Failure::CannotOpen, S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    }
    const size_t size = static_cast<size_t>(info.st_size);
    const FileBuffer buffer(size);
    if (buffer.data() == nullptr) return Fail(Failure::CannotOpen, ENOMEM);
    const ssize_t got = ReadAll(file.get(), buffer.data(), size);
    if (got < 0) return Fail(Failure::CannotOpen, errno);
    return LoadOptBytes(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(got)));
}

}  // namespace kesh
