// SPDX-License-Identifier: MIT
// Memory counts of the process for the leak and unload suites.
#include "tests/support/process_memory.h"

#include <cstddef>
#include <cstdio>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#include <psapi.h>
#else
#include <malloc.h>
#include <unistd.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define ZV_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZV_ASAN 1
#endif
#endif
#if defined(ZV_ASAN)
// The sanitizer runtime's own count (declared here: GCC ships no header).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace zv::test {

#if defined(_WIN32)

std::int64_t allocatedBytes() {
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    std::int64_t busy = 0;
    for (HANDLE heap : heaps) {
        if (!HeapLock(heap)) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heap, &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) busy += entry.cbData;
        HeapUnlock(heap);
    }
    return busy;
}

std::int64_t residentBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return -1;
    return static_cast<std::int64_t>(counters.WorkingSetSize);
}

#else

std::int64_t allocatedBytes() {
#if defined(ZV_ASAN)
    return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
#else
    const struct mallinfo2 info = mallinfo2();
    return static_cast<std::int64_t>(info.uordblks + info.hblkhd);
#endif
}

std::int64_t residentBytes() {
#if defined(ZV_ASAN)
    return -1;
#else
    long pages = 0;
    long resident = 0;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr) return -1;
    const bool read = std::fscanf(statm, "%ld %ld", &pages, &resident) == 2;
    std::fclose(statm);
    return read ? static_cast<std::int64_t>(resident) * sysconf(_SC_PAGESIZE) : -1;
#endif
}

#endif

}  // namespace zv::test
