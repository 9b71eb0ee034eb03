// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#define ZV_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZV_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef ZV_ADDRESS_SANITIZER
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>

// The sanitizer run-time's own (gcc ships no header that declares it).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, std::size_t),
                                                         void (*onFree)(const volatile void*));

namespace {

// The address sanitizer's allocator maps each large block afresh and
// unmaps it some frees later, so the suites' buffers of megabytes fault in
// page by page at every allocation; on a virtual machine, where a page fault
// is dear, that was about a sixth of the sanitizer run. Such blocks get
// transparent huge pages where the system grants them on request: the same
// memory and contents, fewer faults.
constexpr std::uintptr_t kHugePage = std::uintptr_t{1} << 21;

void askForHugePages(const volatile void* block, std::size_t size) {
    if (size < kHugePage) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t last = (begin + size) & ~(kHugePage - 1);
    if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

void onFree(const volatile void*) {}

}  // namespace
#endif

int main(int argc, char** argv) {
#ifdef ZV_ADDRESS_SANITIZER
    __sanitizer_install_malloc_and_free_hooks(askForHugePages, onFree);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
