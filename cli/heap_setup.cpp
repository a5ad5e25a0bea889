#include "cli/heap_setup.h"

#include <cstdlib>  // brings in the C library's feature macros, __GLIBC__ among them

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

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

#if defined(__GLIBC__) && !defined(KESH_FOREIGN_HEAP)
namespace {

// The largest threshold glibc accepts for serving a request from the heap.
constexpr int kMmapThreshold = 32 << 20;
// Released memory beyond this much at the top of the heap does go back: more than a model
// of a million faces takes.
constexpr int kTrimThreshold = 512 << 20;
// Below this input size a model takes a few hundred kilobytes, not worth 2 MiB pages.
constexpr uint64_t kSmallestWorthHugePages = uint64_t{1} << 20;
// A model's arrays take about twice its file's size; the text being written adds a little.
constexpr uint64_t kReserveMargin = uint64_t{16} << 20;
constexpr uint64_t kLargestReserve = uint64_t{256} << 20;
constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
// Allocated once to make the heap grow by the reserve: larger than what the heap holds free
// at start, smaller than the mapping threshold.
constexpr size_t kProbeBytes = size_t{1} << 20;
// A gap below this is left as it is: a filler block that small might come from a bin.
constexpr uintptr_t kSmallestFiller = 4096;
// glibc's default top pad, restored once the reserve is in place.
constexpr int kDefaultTopPad = 128 << 10;
// Linux's MADV_COLLAPSE (since 6.1), which the C library's headers may not name yet; older
// kernels refuse it, and nothing else changes.
#ifdef MADV_COLLAPSE
constexpr int kMadviseCollapse = MADV_COLLAPSE;
#else
constexpr int kMadviseCollapse = 25;
#endif

uint64_t LargestFileSize(const std::vector<std::string>& paths) {
    uint64_t largest = 0;
    for (const std::string& path : paths) {
        struct stat st {};
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            largest = std::max(largest, static_cast<uint64_t>(st.st_size));
    }
    return largest;
}

// Grows the heap by `reserve` bytes at once and marks that stretch for huge pages.
void ReserveHugePageHeap(uint64_t reserve) {
    // The helper threads allocate whole arrays, rarely: they share the main heap rather than
    // each starting one of their own, so that every array comes from the reserve.
    if (mallopt(M_ARENA_MAX, 1) == 0) return;
    (void)mallopt(M_TOP_PAD, static_cast<int>(reserve));
    void* probe = std::malloc(kProbeBytes);
    (void)mallopt(M_TOP_PAD, kDefaultTopPad);
    if (probe == nullptr) return;
    const auto start = reinterpret_cast<uintptr_t>(probe);
    std::free(probe);

    // The reserve lies between the probe and the end of the heap, when the heap did grow
    // there; otherwise there is nothing to mark.
    const auto end = reinterpret_cast<uintptr_t>(sbrk(0));
    if (end <= start || end - start < reserve) return;
    const uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const uintptr_t last = end & ~(kHugePage - 1);
    if (last <= first) return;
    // Only advice: where the kernel has no 2 MiB pages to give, 4 KiB pages serve as before.
    (void)madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);

    // The free top of the heap starts where the probe did, below the first 2 MiB page, so
    // the first arrays would be entered in small pages up to it. A block held for the life of
    // the process fills that gap: its chunk runs from the probe's chunk to just below `first`,
    // which leaves the top's header in the small page before `first` and every array after it
    // in huge pages. Only its header is ever written: it costs address space, not memory.
    // Where the block comes from elsewhere (a free chunk of that size), it is given back.
    const uintptr_t gap = first - start;
    if (gap >= kSmallestFiller) {
        void* filler = std::malloc(gap - sizeof(size_t));
        if (filler != nullptr && reinterpret_cast<uintptr_t>(filler) != start) std::free(filler);
    }
    // Growing the heap wrote the header of its free top after the probe, which may lie in
    // the first 2 MiB stretch; a stretch with a page already entered takes no huge page
    // when touched. Collapsing it into one now keeps it from costing 512 small faults.
    (void)madvise(reinterpret_cast<void*>(first), kHugePage, kMadviseCollapse);
}

}  // namespace
#endif

void PrepareHeapForInputs(const std::vector<std::string>& inputs) {
#if defined(__GLIBC__) && !defined(KESH_FOREIGN_HEAP)
    // By default glibc maps each array above 128 KiB on its own and unmaps it when released,
    // and returns the top of the heap beyond 128 KiB; either way the next model's arrays
    // fault their pages in again. Fixed thresholds keep them.
    (void)mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
    (void)mallopt(M_TRIM_THRESHOLD, kTrimThreshold);

    const uint64_t largest = LargestFileSize(inputs);
    if (largest < kSmallestWorthHugePages) return;
    const uint64_t wanted = std::min(2 * largest + kReserveMargin, kLargestReserve);
    ReserveHugePageHeap((wanted + kHugePage - 1) & ~uint64_t{kHugePage - 1});
#else
    (void)inputs;
#endif
}

}  // namespace kesh
