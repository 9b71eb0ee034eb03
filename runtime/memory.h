// SPDX-License-Identifier: MIT
// The aligned allocators: every block starts at a multiple of 32 bytes and
// keeps the heap's own pointer in the pointer-sized word just before it.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kQelBlockAlignment = 32;

void* qelMallocWords(int count);   // count 32-bit elements
void* qelMallocPairs(int count);   // count 8-byte elements
// qelMalloc and qelFree are exports: see zentavol.h.

// Test hooks, not exported: after `successes` more successful requests the
// heap (or the context allocation) refuses every request; a negative value
// turns the fault off. Single-threaded tests only.
void qelInjectHeapFailureAfter(int successes);
void qelInjectContextAllocFailureAfter(int successes);

// Test hook, not exported: called with the size in bytes of every request
// the aligned allocators receive, before the injected fault is consulted (so
// an observer may arm or disarm it for this very request); null turns it
// off. Single-threaded tests only.
using QelAllocationObserver = void (*)(std::size_t bytes);
void qelObserveAllocations(QelAllocationObserver observer);
