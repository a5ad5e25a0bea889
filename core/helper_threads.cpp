#include "core/helper_threads.h"

#include <sched.h>

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>

namespace kesh {

namespace {

constexpr unsigned kMostHelpers = 3;

}  // namespace

unsigned UsableCores() {
    // The cores this thread may run on: fewer than the machine has under `taskset` or a
    // container's CPU limit, where helpers beyond them would only take turns with the
    // calling thread. One system call, where the machine's count reads a file each time.
    cpu_set_t cores;
    if (sched_getaffinity(0, sizeof cores, &cores) == 0) {
        return static_cast<unsigned>(CPU_COUNT(&cores));
    }
    return std::thread::hardware_concurrency();  // more cores than a cpu_set_t holds
}

unsigned SpareThreads(size_t useful) {
    const unsigned cores = UsableCores();
    if (cores <= 1) return 0;
    return static_cast<unsigned>(std::min<size_t>({cores - 1, kMostHelpers, useful}));
}

struct HelperThread::State {
    std::function<void()> work;
    cpu_set_t cores{};  // where the process may run; the thread widens to it first
    bool widen = false;
    pthread_t id{};

    static void* Run(void* argument) {
        State& state = *static_cast<State*>(argument);
        if (state.widen) sched_setaffinity(0, sizeof state.cores, &state.cores);
        try {
            state.work();
        } catch (...) {
            std::terminate();  // as an exception leaving a std::thread would
        }
        return nullptr;
    }
};

HelperThread::HelperThread(std::function<void()> work) : state_(std::make_unique<State>()) {
    State& state = *state_;
    state.work = std::move(work);

    pthread_attr_t attributes;
    if (const int error = pthread_attr_init(&attributes); error != 0)
        throw std::system_error(error, std::generic_category(), "pthread_attr_init");
    // Placed first on the cores the process may use, less the one this thread runs on.
    const int here = sched_getcpu();
    if (here >= 0 && sched_getaffinity(0, sizeof state.cores, &state.cores) == 0 &&
        CPU_ISSET(here, &state.cores) && CPU_COUNT(&state.cores) > 1) {
        cpu_set_t elsewhere = state.cores;
        CPU_CLR(here, &elsewhere);
        state.widen = pthread_attr_setaffinity_np(&attributes, sizeof elsewhere, &elsewhere) == 0;
    }
    int error = pthread_create(&state.id, &attributes, &State::Run, &state);
    pthread_attr_destroy(&attributes);
    if (error != 0 && state.widen) {
        // The placement is only a hint: a thread that cannot start there starts anywhere.
        state.widen = false;
        error = pthread_create(&state.id, nullptr, &State::Run, &state);
    }
    if (error != 0) {
        state_.reset();
        throw std::system_error(error, std::generic_category(), "pthread_create");
    }
}

HelperThread::HelperThread() = default;
HelperThread::HelperThread(HelperThread&& other) noexcept = default;

HelperThread::~HelperThread() {
    Join();
}

HelperThread& HelperThread::operator=(HelperThread&& other) noexcept {
    if (this != &other) {
        Join();
        state_ = std::move(other.state_);
    }
    return *this;
}

void HelperThread::Join() {
    if (state_ == nullptr) return;
    pthread_join(state_->id, nullptr);
    state_.reset();
}

std::vector<HelperThread> StartHelpers(unsigned count, const std::function<void(unsigned)>& work) {
    std::vector<HelperThread> threads;
    threads.reserve(count);
    try {
        for (unsigned i = 0; i < count; ++i)
            threads.emplace_back([work, i] { work(i); });  // a copy: `work` may be a temporary
    } catch (const std::system_error&) {
        // Fewer threads than asked for; the caller's share of the work grows.
    }
    return threads;
}

}  // namespace kesh
