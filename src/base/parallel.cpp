// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/parallel.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/orvane_error.h"

namespace orvane {

namespace {

constexpr int kMaxWorkers = 1024;

std::atomic<int> g_workers{0};  // 0: not chosen yet

int MachineCores() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(std::min<unsigned>(cores, kMaxWorkers));
}

void CheckCount(long count, const std::string& what) {
    if (count < 1 || count > kMaxWorkers)
        throw OrvaneError(what + " must be a count of threads from 1 to " +
                          std::to_string(kMaxWorkers) + ", not " + std::to_string(count) + ".");
}

}  // namespace

int WorkerCountFromEnvironment() {
    const char* text = std::getenv("ORVANE_THREADS");
    if (!text || !*text) return MachineCores();
    char* end = nullptr;
    const long count = std::strtol(text, &end, 10);
    if (*end != '\0')
        throw OrvaneError("ORVANE_THREADS must be a count of threads from 1 to " +
                          std::to_string(kMaxWorkers) + ", not \"" + text + "\".");
    CheckCount(count, "ORVANE_THREADS");
    return static_cast<int>(count);
}

int WorkerCount() {
    int workers = g_workers.load();
    if (workers == 0) {
        workers = WorkerCountFromEnvironment();
        g_workers.store(workers);
    }
    return workers;
}

void SetWorkerCount(int count) {
    CheckCount(count, "The number of threads");
    g_workers.store(count);
}

int WorkersFor(std::size_t count) {
    return static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(WorkerCount()),
                                                  std::max<std::size_t>(count, 1)));
}

void ParallelFor(std::size_t count,
                 const std::function<void(std::size_t index, int worker)>& body) {
    const int workers = WorkersFor(count);
    if (workers <= 1) {
        for (std::size_t i = 0; i < count; ++i) body(i, 0);
        return;
    }
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr error;
    std::size_t error_index = count;
    std::mutex error_mutex;
    auto run = [&](int worker) {
        for (;;) {
            if (failed.load()) return;
            const std::size_t i = next.fetch_add(1);
            if (i >= count) return;
            try {
                body(i, worker);
            } catch (...) {
                // Every index below a failing one was taken before it and runs to its end, so
                // the lowest failing index is the one a single thread would have stopped at.
                const std::lock_guard<std::mutex> lock(error_mutex);
                if (i < error_index) {
                    error = std::current_exception();
                    error_index = i;
                }
                failed.store(true);
                return;
            }
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(workers - 1));
    for (int w = 1; w < workers; ++w) threads.emplace_back(run, w);
    run(0);
    for (std::thread& t : threads) t.join();
    if (error) std::rethrow_exception(error);
}

}  // namespace orvane
