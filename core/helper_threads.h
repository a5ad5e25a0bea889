// Threads that help the calling one with work it shares out itself.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace kesh {

// The number of cores the calling thread may run on; 0 when unknown.
unsigned UsableCores();

// How many threads besides the calling one are worth starting for `useful` of them: one
// fewer than the cores, at most three, and none on a single core.
unsigned SpareThreads(size_t useful);

// A thread that runs one piece of work and is joined when it goes (or is moved from).
//
// It is started on a core other than its creator's, where the process may use one, and is
// free to move anywhere as soon as it runs. A new thread otherwise joins the queue of its
// creator's core, and a scheduler that packs work onto few cores (as some virtual machines
// do) leaves it waiting there, beside an idle core, until the next load balancing: up to
// several milliseconds, while the creator is busy with its own share.
class HelperThread {
  public:
    HelperThread();
    // Runs `work` on a new thread; throws std::system_error when none can be started.
    explicit HelperThread(std::function<void()> work);
    HelperThread(HelperThread&& other) noexcept;
    HelperThread& operator=(HelperThread&& other) noexcept;
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;
    ~HelperThread();

    bool Joinable() const { return state_ != nullptr; }
    // Waits for the work to end; nothing when there is no thread.
    void Join();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Starts up to `count` threads, thread i running `work(i)`, as many as the system lets us
// start: the caller does the work of the threads that could not be started. The threads are
// joined when the returned list goes.
std::vector<HelperThread> StartHelpers(unsigned count, const std::function<void(unsigned)>& work);

}  // namespace kesh
