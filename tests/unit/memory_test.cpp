// SPDX-License-Identifier: MIT
// The internal allocators and the heap-failure hook.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>

#include "runtime/memory.h"
#include "runtime/status.h"
#include "zentavol.h"

namespace {

bool aligned32(const void* p) { return reinterpret_cast<std::uintptr_t>(p) % 32 == 0; }

// The heap's pointer sits in the word before the block, at most one
// alignment plus that word below the start.
void expectHeader(const void* block) {
    void* raw;
    std::memcpy(&raw, static_cast<const char*>(block) - sizeof(void*), sizeof raw);
    const auto distance = reinterpret_cast<std::uintptr_t>(block) - reinterpret_cast<std::uintptr_t>(raw);
    EXPECT_GE(distance, sizeof(void*));
    EXPECT_LT(distance, sizeof(void*) + 32);
}

TEST(Allocators, WordsAndPairsAreAlignedAndSizedByTheirUnit) {
    for (int count : {0, 1, 2, 3, 7, 8, 9, 1000, 16384}) {
        auto* words = static_cast<std::uint32_t*>(qelMallocWords(count));
        auto* pairs = static_cast<std::uint64_t*>(qelMallocPairs(count));
        ASSERT_NE(words, nullptr);
        ASSERT_NE(pairs, nullptr);
        EXPECT_TRUE(aligned32(words));
        EXPECT_TRUE(aligned32(pairs));
        expectHeader(words);
        expectHeader(pairs);
        for (int i = 0; i < count; ++i) {  // every element writable
            words[i] = 0xA5A5A5A5u;
            pairs[i] = 0x5A5A5A5A5A5A5A5Aull;
        }
        qelFree(words);
        qelFree(pairs);
    }
}

TEST(Allocators, NegativeAndOversizedCountsGiveNull) {
    EXPECT_EQ(qelMalloc(-1), nullptr);
    EXPECT_EQ(qelMalloc(INT_MIN), nullptr);
    EXPECT_EQ(qelMallocWords(-1), nullptr);
    EXPECT_EQ(qelMallocPairs(-8), nullptr);
    if (sizeof(void*) == 4) {
        // count x unit + 36 does not fit 32 bits: refused, not wrapped.
        EXPECT_EQ(qelMallocPairs(INT_MAX), nullptr);
        EXPECT_EQ(qelMallocWords(INT_MAX), nullptr);
        EXPECT_EQ(qelMalloc(INT_MAX - 8), nullptr);
    }
}

TEST(Allocators, InjectedHeapFailureGivesNullAndReportsNothing) {
    qelSetStatus(QEL_STATUS_OK);
    qelInjectHeapFailureAfter(2);
    void* first = qelMalloc(10);
    void* second = qelMallocWords(10);
    void* third = qelMallocPairs(10);
    void* fourth = qelMalloc(0);
    qelInjectHeapFailureAfter(-1);
    EXPECT_NE(first, nullptr);
    EXPECT_NE(second, nullptr);
    EXPECT_EQ(third, nullptr);
    EXPECT_EQ(fourth, nullptr);
    EXPECT_EQ(qelGetStatus(), QEL_STATUS_OK);
    qelFree(first);
    qelFree(second);
    void* again = qelMalloc(10);
    EXPECT_NE(again, nullptr);
    qelFree(again);
}

}  // namespace
