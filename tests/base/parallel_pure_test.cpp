// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/parallel.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/refusal.h"

namespace orvane {
namespace {

// Puts the worker count back for the tests that follow.
struct WorkersRestored {
    ~WorkersRestored() { SetWorkerCount(WorkerCountFromEnvironment()); }
};

// Every index runs once whatever the count of threads; a body's failure surfaces as the one at
// the lowest failing index, as one thread would have met it; counts out of range are refused.
TEST(ParallelForThreads, EveryIndexOnceAndTheFirstFailure) {
    WorkersRestored restore;
    for (int threads : {1, 2, 5}) {
        SetWorkerCount(threads);
        std::vector<int> runs(1000, 0);
        std::vector<int> workers(1000, -1);
        ParallelFor(runs.size(), [&](size_t i, int worker) {
            ++runs[i];
            workers[i] = worker;
        });
        for (size_t i = 0; i < runs.size(); ++i) {
            EXPECT_EQ(runs[i], 1) << i;
            EXPECT_GE(workers[i], 0);
            EXPECT_LT(workers[i], threads);
        }
        try {
            ParallelFor(200, [](size_t i, int) {
                if (i == 37 || i == 150) throw std::runtime_error(std::to_string(i));
            });
            ADD_FAILURE() << "nothing was thrown";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "37") << threads << " threads";
        }
    }
    EXPECT_TRUE(test::Refuses([] { SetWorkerCount(0); }, "from 1 to 1024"));
    setenv("ORVANE_THREADS", "2x", 1);
    EXPECT_TRUE(test::Refuses([] { WorkerCountFromEnvironment(); }, "ORVANE_THREADS"));
    setenv("ORVANE_THREADS", "3", 1);
    EXPECT_EQ(WorkerCountFromEnvironment(), 3);
    unsetenv("ORVANE_THREADS");
}

}  // namespace
}  // namespace orvane
