// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace orvane::bench {

// Heap allocations made by the program so far. A benchmark that calls this links the counting
// operator new of allocation_counter.cpp; the others keep the library's own.
long AllocationCount();

}  // namespace orvane::bench
