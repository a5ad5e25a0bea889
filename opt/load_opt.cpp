// Loading an OPT file from disk: the whole file is made available in memory once and handed
// to the in-memory reader.
//
// The fast way is to map the file: its bytes are already in the page cache, so nothing is
// copied and no fresh memory has to be zeroed (on a virtual machine that costs more than
// converting the model). A mapping is only safe while nobody truncates the file: reading a
// page past a new end would kill the process with SIGBUS. So the file is mapped only under
// a read lease, which the kernel grants only while no one has the file open for writing, and
// which makes anyone who then opens it for writing or truncates it wait until the lease is
// released, right after reading. Where no lease can be had (another owner, a writer already
// there, a file system without leases), the file is read into memory instead.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/helper_threads.h"
#include "core/model.h"

namespace kesh {

namespace {

// An open file descriptor, closed (which also gives up any lease) when it goes.
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

// From this size on, the pages of a mapped file are entered by two threads, half each: the
// kernel enters them one by one, and that is a good part of reading a large file.
constexpr size_t kBytesWorthTwoThreads = size_t{4} << 20;

// Maps the whole file read-only with every page entered, as MAP_POPULATE does; nullptr when
// it cannot be mapped.
const uint8_t* MapPopulated(int fd, size_t size) {
    const auto map = [&](int flags) -> const uint8_t* {
        void* data = mmap(nullptr, size, PROT_READ, MAP_PRIVATE | flags, fd, 0);
        return data == MAP_FAILED ? nullptr : static_cast<const uint8_t*>(data);
    };
#ifdef MADV_POPULATE_READ
    if (size >= kBytesWorthTwoThreads && SpareThreads(1) > 0) {
        const uint8_t* data = map(0);
        if (data == nullptr) return nullptr;
        auto* bytes = const_cast<uint8_t*>(data);
        const size_t half = (size / 2) & ~size_t{0xFFFF};  // on a page boundary
        std::atomic<bool> refused = false;
        const auto populate = [&](uint8_t* from, size_t length) {
            if (madvise(from, length, MADV_POPULATE_READ) != 0) refused = true;
        };
        {
            const std::vector<HelperThread> helper =
                StartHelpers(1, [&](unsigned) { populate(bytes + half, size - half); });
            populate(bytes, half);
            if (helper.empty()) populate(bytes + half, size - half);
        }  // the helper is joined here
        if (!refused) return data;
        // A kernel without MADV_POPULATE_READ (before Linux 5.14): mapped again, populated.
        munmap(bytes, size);
    }
#endif
    return map(MAP_POPULATE);
}

// A read-only mapping of a whole file under a read lease; empty when either is refused.
class LeasedMapping {
  public:
    explicit LeasedMapping(int fd) : fd_(fd) {
        // A broken lease is announced by a signal; SIGURG is ignored unless a program asks
        // for it, whereas the default SIGIO would end the process.
        if (fcntl(fd, F_SETSIG, SIGURG) != 0 || fcntl(fd, F_SETLEASE, F_RDLCK) != 0) return;
        leased_ = true;
        // Measured again under the lease: from now on the size cannot change.
        struct stat info {};
        if (fstat(fd, &info) != 0 || info.st_size <= 0) return;
        const size_t size = static_cast<size_t>(info.st_size);
        data_ = MapPopulated(fd, size);
        if (data_ != nullptr) size_ = size;
    }
    LeasedMapping(const LeasedMapping&) = delete;
    LeasedMapping& operator=(const LeasedMapping&) = delete;
    ~LeasedMapping() {
        if (data_ != nullptr) munmap(const_cast<uint8_t*>(data_), size_);
        if (leased_) fcntl(fd_, F_SETLEASE, F_UNLCK);
    }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

  private:
    int fd_;
    bool leased_ = false;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

// Memory for a whole file that cannot be mapped. Large files get 2 MiB-aligned memory marked
// for huge pages: the kernel zeroes and maps it in a few large steps instead of thousands of
// 4 KiB faults. The bytes are not initialised.
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
    const FileDescriptor file(open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) return Fail(Failure::CannotOpen, errno);
    struct stat info {};
    if (fstat(file.get(), &info) != 0) return Fail(Failure::CannotOpen, errno);
    if (!S_ISREG(info.st_mode)) {
        return Fail(Failure::CannotOpen, S_ISDIR(info.st_mode) ? EISDIR : EINVAL);
    }
    const LeasedMapping mapping(file.get());
    if (mapping.data() != nullptr) {
        return LoadOptBytes(std::span<const uint8_t>(mapping.data(), mapping.size()));
    }

    const size_t size = static_cast<size_t>(info.st_size);
    const FileBuffer buffer(size);
    if (buffer.data() == nullptr) return Fail(Failure::CannotOpen, ENOMEM);
    const ssize_t got = ReadAll(file.get(), buffer.data(), size);
    if (got < 0) return Fail(Failure::CannotOpen, errno);
    return LoadOptBytes(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(got)));
}

}  // namespace kesh
