// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/allocation_counter.h"

#include <cstdlib>
#include <new>

// GCC cannot see that the replaced operator new pairs with the free below.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {
long g_allocations = 0;
}  // namespace

void* operator new(std::size_t size) {
    ++g_allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace orvane::bench {
long AllocationCount() { return g_allocations; }
}  // namespace orvane::bench
