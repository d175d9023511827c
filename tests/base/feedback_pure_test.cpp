// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/feedback.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "base/frontend.h"
#include "base/parallel.h"
#include "support/refusal.h"

namespace orvane {
namespace {

// A slice's own 0..100 lands on its range of the whole, also through nested slices.
TEST(Feedback, SlicesMapTheirProgressOntoTheirShareOfTheWhole) {
    const struct {
        const char* name;
        std::vector<std::pair<double, double>> slices;  // outermost first
        double set;
        double whole;
    } cases[] = {
        {"no slice", {}, 40, 40},
        {"start of the second half", {{50, 100}}, 0, 50},
        {"middle of the second half", {{50, 100}}, 50, 75},
        {"end of a middle tenth", {{40, 50}}, 100, 50},
        {"a quarter of the third of a half", {{0, 50}, {50, 75}}, 100, 37.5},
        {"a slice past the end is clamped", {{80, 120}}, 100, 100},
        {"progress past 100 is clamped", {{0, 20}}, 250, 20},
        {"negative progress is clamped", {{30, 60}}, -5, 30},
    };
    for (const auto& c : cases) {
        Feedback root;
        Feedback part = root;
        for (const auto& [from, to] : c.slices) part = part.Slice(from, to);
        part.Set(c.set);
        EXPECT_DOUBLE_EQ(root.Percent(), c.whole) << c.name;
    }
}

// A ProgressSlice scales every step inside it and restores the whole when it ends, so a part
// of the work counts its own units without knowing the parent's.
TEST(Feedback, AFrontendSliceScalesStepsAndEndsWithItsScope) {
    SilentFrontend frontend;
    Feedback whole = frontend.Progress();
    {
        ProgressSlice second(frontend, 50, 100);
        ProgressScope scope(frontend, "Second part", 4);
        frontend.StepProgress(1);
        EXPECT_DOUBLE_EQ(whole.Percent(), 62.5);
        EXPECT_EQ(whole.Title(), "Second part");
    }
    frontend.BeginProgress("Whole again", 10);
    frontend.StepProgress(3);
    EXPECT_DOUBLE_EQ(whole.Percent(), 30);
}

// A listener (the terminal's line) hears of whole-percent changes only, not of every step.
TEST(Feedback, TheListenerHearsEachWholePercentOnce) {
    Feedback root;
    std::vector<int> heard;
    root.SetListener([&](const std::string&, int percent) { heard.push_back(percent); });
    for (int done = 0; done <= 1000; ++done) root.Step(done, 1000);
    ASSERT_EQ(heard.size(), 101u);
    EXPECT_EQ(heard.front(), 0);
    EXPECT_EQ(heard.back(), 100);
}

// The cancel request is shared by every copy and slice, may come from another thread, ends the
// run as Cancelled (no OrvaneError), and is forgotten by the next run.
TEST(Feedback, ACancelFromAnotherThreadEndsTheRunAsCancelled) {
    Feedback root;
    const Feedback part = root.Slice(10, 20).Slice(0, 50);
    EXPECT_NO_THROW(part.ThrowIfCancelled());
    std::thread([copy = root]() mutable { copy.RequestCancel(); }).join();
    EXPECT_TRUE(part.CancelRequested());
    EXPECT_TRUE(test::EndsCancelled([&] { part.ThrowIfCancelled("cancelled: test run"); }));
    root.Reset();
    EXPECT_FALSE(part.CancelRequested());
    EXPECT_DOUBLE_EQ(root.Percent(), 0);
}

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
