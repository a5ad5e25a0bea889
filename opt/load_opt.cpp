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

// What a read brought in: the bytes read, and the error of a read that failed (0 if none).
struct ReadOutcome {
    size_t bytes = 0;
    int error = 0;
};

// Reads up to `size` bytes of the open file from `offset` on into `buffer`; fewer only where
// the file ends or a read fails.
ReadOutcome ReadRange(int fd, uint8_t* buffer, size_t size, off_t offset) {
    ReadOutcome outcome;
    while (outcome.bytes < size) {
        const ssize_t got = pread(fd, buffer + outcome.bytes, size - outcome.bytes,
                                  offset + static_cast<off_t>(outcome.bytes));
        if (got < 0) {
            if (errno == EINTR) continue;
            outcome.error = errno;
            break;
        }
        if (got == 0) break;  // the file shrank since it was measured
        outcome.bytes += static_cast<size_t>(got);
    }
    return outcome;
}

// From this size on, a file is read by two threads, half each: copying it is a good part of
// loading a large model.
constexpr size_t kBytesWorthTwoThreads = size_t{4} << 20;

// Reads up to `size` bytes of the open file into `buffer`, as ReadRange from the start.
ReadOutcome ReadAll(int fd, uint8_t* buffer, size_t size) {
    if (size < kBytesWorthTwoThreads || SpareThreads(1) == 0) return ReadRange(fd, buffer, size, 0);
    const size_t half = (size / 2) & ~size_t{0xFFFF};
    ReadOutcome second;
    const auto readSecond = [&] {
        second = ReadRange(fd, buffer + half, size - half, static_cast<off_t>(half));
    };
    ReadOutcome first;
    {
        const std::vector<HelperThread> helper = StartHelpers(1, [&](unsigned) { readSecond(); });
        first = ReadRange(fd, buffer, half, 0);
        if (helper.empty()) readSecond();
    }  // the helper is joined here
    // The second half counts only after a whole first half.
    if (first.error != 0 || first.bytes < half) return first;
    return ReadOutcome{half + second.bytes, second.error};
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
    const ReadOutcome read = ReadAll(file.get(), buffer.data(), size);
    if (read.error != 0) return Fail(Failure::CannotOpen, read.error);
    return LoadOptBytes(std::span<const uint8_t>(buffer.data(), read.bytes));
}

}  // namespace kesh
