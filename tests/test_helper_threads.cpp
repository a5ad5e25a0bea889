// Helper threads: each runs its own share once, is joined when it goes, and may run anywhere
// the process may.
#include <gtest/gtest.h>
#include <sched.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <vector>

#include "core/helper_threads.h"

namespace kesh {
namespace {

TEST(HelperThreads, EachRunsItsOwnShareAfterTheWorkItWasGivenIsGone) {
    // The threads only start their work once StartHelpers has returned, when the callable it
    // was given (a temporary here) no longer exists: each thread must hold its own copy.
    std::atomic<bool> go = false;
    std::mutex mutex;
    std::multiset<unsigned> ran;
    {
        const std::vector<HelperThread> threads = StartHelpers(3, [&](unsigned i) {
            while (!go.load())
                sched_yield();
            const std::lock_guard lock(mutex);
            ran.insert(i);
        });
        EXPECT_EQ(threads.size(), 3u);
        go = true;
    }  // joined here
    EXPECT_EQ(ran, (std::multiset<unsigned>{0, 1, 2}));
}

TEST(HelperThreads, AreJoinedOnceWhereverTheyAreMoved) {
    std::atomic<int> runs = 0;
    HelperThread a([&] { ++runs; });
    HelperThread b = std::move(a);
    EXPECT_FALSE(a.Joinable());  // NOLINT(bugprone-use-after-move): moved-from is empty
    EXPECT_TRUE(b.Joinable());
    HelperThread c;
    EXPECT_FALSE(c.Joinable());
    c = std::move(b);
    c.Join();
    c.Join();  // joining twice is harmless
    EXPECT_FALSE(c.Joinable());
    EXPECT_EQ(runs.load(), 1);

    // Assigning over a running thread waits for it first.
    HelperThread d([&] { ++runs; });
    d = HelperThread([&] { ++runs; });
    d.Join();
    EXPECT_EQ(runs.load(), 3);
}

TEST(HelperThreads, MayRunOnEveryCoreTheProcessMay) {
    // A helper starts away from its creator's core but must not stay tied to the others.
    cpu_set_t process;
    ASSERT_EQ(sched_getaffinity(0, sizeof process, &process), 0);
    cpu_set_t seen;
    CPU_ZERO(&seen);
    HelperThread([&] { sched_getaffinity(0, sizeof seen, &seen); }).Join();
    EXPECT_TRUE(CPU_EQUAL(&seen, &process));
}

TEST(HelperThreads, AreNotWorthStartingOnASingleAllowedCore) {
    cpu_set_t allowed;
    ASSERT_EQ(sched_getaffinity(0, sizeof allowed, &allowed), 0);
    const int cores = CPU_COUNT(&allowed);
    EXPECT_EQ(UsableCores(), static_cast<unsigned>(cores));
    if (cores > 1) {
        EXPECT_EQ(SpareThreads(100), static_cast<unsigned>(std::min(cores - 1, 3)));
        EXPECT_EQ(SpareThreads(1), 1u);
    }

    // As under `taskset -c N`: one core, however many the machine has.
    int first = 0;
    while (!CPU_ISSET(first, &allowed))
        ++first;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    const unsigned usable = UsableCores();
    const unsigned spare = SpareThreads(100);
    ASSERT_EQ(sched_setaffinity(0, sizeof allowed, &allowed), 0);
    EXPECT_EQ(usable, 1u);
    EXPECT_EQ(spare, 0u);
}

}  // namespace
}  // namespace kesh
