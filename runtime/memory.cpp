// SPDX-License-Identifier: MIT
// The aligned allocators and qelFree.
#include "runtime/memory.h"

#include <cstdlib>
#include <cstring>

#include "runtime/api.h"
#include "runtime/fault_injection.h"

namespace {

QelFaultCountdown heapFault;
QelAllocationObserver allocationObserver = nullptr;

// The heap's pointer is kept in the word before the aligned start, so the
// request carries one alignment's worth of slack plus that word.
constexpr std::size_t kHeader = sizeof(void*);

void* allocateAligned(int count, std::size_t unit) {
    if (count < 0) return nullptr;
    const auto elements = static_cast<std::size_t>(count);
    if (elements > (SIZE_MAX - kQelBlockAlignment - kHeader) / unit) return nullptr;
    if (allocationObserver != nullptr) allocationObserver(elements * unit);
    if (heapFault.refuse()) return nullptr;
    void* raw = std::malloc(elements * unit + kQelBlockAlignment + kHeader);
    if (raw == nullptr) return nullptr;
    const auto start = (reinterpret_cast<std::uintptr_t>(raw) + kHeader + kQelBlockAlignment - 1) &
                       ~static_cast<std::uintptr_t>(kQelBlockAlignment - 1);
    std::memcpy(reinterpret_cast<void*>(start - kHeader), &raw, kHeader);
    return reinterpret_cast<void*>(start);
}

}  // namespace

void qelInjectHeapFailureAfter(int successes) { heapFault.remaining = successes; }

void qelObserveAllocations(QelAllocationObserver observer) { allocationObserver = observer; }

QEL_EXPORT void* qelMalloc(int bytes) { return allocateAligned(bytes, 1); }

void* qelMallocWords(int count) { return allocateAligned(count, 4); }

void* qelMallocPairs(int count) { return allocateAligned(count, 8); }

QEL_EXPORT void qelFree(void* block) {
    if (block == nullptr) return;
    void* raw;
    std::memcpy(&raw, static_cast<char*>(block) - kHeader, kHeader);
    std::free(raw);
}
