#include "cli/heap_setup.h"

#include <cstdlib>  // brings in the C library's feature macros, __GLIBC__ among them

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

// The largest threshold glibc accepts for serving a request from the heap.
constexpr int kMmapThreshold = 32 << 20;
// Released memory beyond this much at the top of the heap does go back: more than a model
// of a million faces takes.
constexpr int kTrimThreshold = 512 << 20;

}  // namespace

void KeepReleasedMemoryForTheBatch() {
#if defined(__GLIBC__) && !defined(KESH_FOREIGN_HEAP)
    // By default glibc maps each array above 128 KiB on its own and unmaps it when released,
    // and returns the top of the heap beyond 128 KiB; either way the next model's arrays
    // fault their pages in again. Fixed thresholds keep them.
    (void)mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
    (void)mallopt(M_TRIM_THRESHOLD, kTrimThreshold);
#endif
}

}  // namespace kesh
