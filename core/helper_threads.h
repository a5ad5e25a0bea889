// Threads that help the calling one with work it shares out itself.
#pragma once

#include <cstddef>
#include <functional>
#include <thread>
#include <vector>

namespace kesh {

// How many threads besides the calling one are worth starting for `useful` of them: one
// fewer than the cores, at most three, and none on a single core.
unsigned SpareThreads(size_t useful);

// Starts up to `count` threads, thread i running `work(i)`, as many as the system lets us
// start: the caller does the work of the threads that could not be started. The threads are
// joined when the returned list goes.
std::vector<std::jthread> StartHelpers(unsigned count, const std::function<void(unsigned)>& work);

}  // namespace kesh
