#include "core/helper_threads.h"

#include <algorithm>
#include <system_error>

namespace kesh {

namespace {

constexpr unsigned kMostHelpers = 3;

}  // namespace

unsigned SpareThreads(size_t useful) {
    const unsigned cores = std::thread::hardware_concurrency();
    if (cores <= 1) return 0;
    return static_cast<unsigned>(std::min<size_t>({cores - 1, kMostHelpers, useful}));
}

std::vector<std::jthread> StartHelpers(unsigned count, const std::function<void(unsigned)>& work) {
    std::vector<std::jthread> threads;
    threads.reserve(count);
    try {
        for (unsigned i = 0; i < count; ++i)
            threads.emplace_back(work, i);
    } catch (const std::system_error&) {
        // Fewer threads than asked for; the caller's share of the work grows.
    }
    return threads;
}

}  // namespace kesh
