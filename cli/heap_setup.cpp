#include "cli/heap_setup.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KESH_FOREIGN_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) || \
    __has_feature(memory_sanitizer)
#define KESH_FOREIGN_HEAP 1
#endif
#endif

namespace kesh {

namespace {

// Below this input size a model's memory is a few megabytes, mostly not worth 2 MiB pages.
constexpr uint64_t kSmallestWorthIt = uint64_t{4} << 20;
// A model's arrays take about twice its file's size; the text being written adds a little.
constexpr uint64_t kReserveMargin = uint64_t{16} << 20;
constexpr uint64_t kLargestReserve = uint64_t{512} << 20;
constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
// The largest threshold glibc accepts: arrays smaller than this come from the heap.
constexpr int kMmapThreshold = 32 << 20;
// Allocated once to make the heap grow by the reserve; larger than what the heap holds free
// at start.
constexpr size_t kProbeBytes = size_t{1} << 20;

uint64_t LargestFileSize(const std::vector<std::string>& paths) {
    uint64_t largest = 0;
    for (const std::string& path : paths) {
        struct stat st {};
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            largest = std::max(largest, static_cast<uint64_t>(st.st_size));
    }
    return largest;
}

}  // namespace

void PrepareHeapForInputs(const std::vector<std::string>& inputs) {
#if defined(__GLIBC__) && !defined(KESH_FOREIGN_HEAP)
    const uint64_t largest = LargestFileSize(inputs);
    if (largest < kSmallestWorthIt) return;
    const uint64_t wanted = std::min(2 * largest + kReserveMargin, kLargestReserve);
    const auto reserve = static_cast<int>((wanted + kHugePage - 1) & ~uint64_t{kHugePage - 1});

    // The helper threads allocate whole arrays, rarely: they share the main heap rather than
    // each starting its own, so that every array comes from the reserve.
    if (mallopt(M_ARENA_MAX, 1) == 0) return;
    (void)mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
    // Freed memory stays in the heap for the next model instead of going back to the kernel.
    (void)mallopt(M_TRIM_THRESHOLD, 2 * reserve);
    // The next growth of the heap takes the whole reserve at once.
    const int defaultTopPad = 128 << 10;
    (void)mallopt(M_TOP_PAD, reserve);
    void* probe = std::malloc(kProbeBytes);
    (void)mallopt(M_TOP_PAD, defaultTopPad);
    if (probe == nullptr) return;
    const auto start = reinterpret_cast<uintptr_t>(probe);
    std::free(probe);

    // The reserve lies between the probe and the end of the heap, when the heap did grow
    // there; otherwise there is nothing to mark.
    const auto end = reinterpret_cast<uintptr_t>(sbrk(0));
    if (end <= start || end - start < static_cast<uintptr_t>(reserve)) return;
    const uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t last = end & ~(kHugePage - 1);
    // Only advice: where the kernel has no 2 MiB pages to give, 4 KiB pages serve as before.
    if (last > first) (void)madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)inputs;
#endif
}

}  // namespace kesh
