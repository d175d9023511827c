// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <functional>

namespace orvane {

// How many threads a computation may use: set by --threads, else ORVANE_THREADS, else the
// machine's cores. Throws OrvaneError for a count below 1 or above 1024.
int WorkerCount();
void SetWorkerCount(int count);
// The count ORVANE_THREADS asks for (the machine's cores without it); throws OrvaneError
// naming the variable for a value that is not a count.
int WorkerCountFromEnvironment();

// Runs body(index, worker) for every index in [0, count) on up to WorkerCount() threads, the
// calling thread among them; `worker` is the running thread's number in [0, workers), so a
// caller can give each thread its own buffers. Which thread takes which index varies from run
// to run, so a body writes its result by index and the caller combines them in index order:
// the results are then the same for any number of threads. The first exception a body throws
// is rethrown here once every thread has stopped (the others take no new index after it).
void ParallelFor(std::size_t count, const std::function<void(std::size_t index, int worker)>& body);

// The number of workers ParallelFor will use for `count` indices.
int WorkersFor(std::size_t count);

}  // namespace orvane
