// SPDX-License-Identifier: MIT
// qelMalloc and qelFree through each shared library: alignment, blocks that
// hold their whole length without touching each other, and freed blocks
// giving their memory back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>

#include <fstream>
#endif

#include "tests/support/variant_loader.h"

#if defined(__has_feature)
#define ZV_HAS_FEATURE(x) __has_feature(x)
#else
#define ZV_HAS_FEATURE(x) 0
#endif

namespace {

// The allocator is the runtime's, the same code in every build: it runs on one.
class Memory : public zv::test::VariantTest {};

bool aligned32(const void* p) { return reinterpret_cast<std::uintptr_t>(p) % 32 == 0; }

// The address space the process has mapped or reserved, in bytes.
std::int64_t mappedBytes() {
#if defined(_WIN32)
    std::int64_t total = 0;
    MEMORY_BASIC_INFORMATION region;
    for (auto* at = static_cast<char*>(nullptr); VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State != MEM_FREE) total += static_cast<std::int64_t>(region.RegionSize);
        if (region.RegionSize == 0) break;
    }
    return total;
#else
    std::int64_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    return pages * sysconf(_SC_PAGESIZE);
#endif
}

struct Block {
    unsigned char* start;
    int bytes;
    unsigned char fill;
};

TEST_P(Memory, ZeroBytesGiveAnAlignedBlockAndNullIsFreeable) {
    void* block = api->qelMalloc(0);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(aligned32(block));
    api->qelFree(block);
    api->qelFree(nullptr);
}

TEST_P(Memory, NegativeCountsGiveNull) {
    EXPECT_EQ(api->qelMalloc(-1), nullptr);
    EXPECT_EQ(api->qelMalloc(-100000), nullptr);
}

TEST_P(Memory, BlocksOfEverySizeAreAlignedDistinctAndHoldTheirWholeLength) {
    // Sizes around the alignment and the heap's own thresholds, then random
    // ones; each block is filled over its length with its own byte, and all
    // of them must still hold it once every block exists.
    std::vector<int> sizes = {0, 1, 2, 3, 4, 7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65, 100, 255, 256,
                              257, 1000, 4095, 4096, 4097, 65535, 65536, 131072, 1 << 20, (1 << 20) + 5};
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> small(0, 600);
    for (int i = 0; i < 2000; ++i) sizes.push_back(small(random));

    std::vector<Block> blocks;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        auto* start = static_cast<unsigned char*>(api->qelMalloc(sizes[i]));
        ASSERT_NE(start, nullptr) << sizes[i];
        ASSERT_TRUE(aligned32(start)) << sizes[i];
        const auto fill = static_cast<unsigned char>(i * 37 + 1);
        std::memset(start, fill, static_cast<std::size_t>(sizes[i]));
        blocks.push_back({start, sizes[i], fill});
    }
    std::sort(blocks.begin(), blocks.end(), [](const Block& a, const Block& b) { return a.start < b.start; });
    for (std::size_t i = 0; i + 1 < blocks.size(); ++i)
        ASSERT_LE(blocks[i].start + std::max(blocks[i].bytes, 1), blocks[i + 1].start)
            << "a block of " << blocks[i].bytes << " bytes overlaps the next one";
    for (const Block& b : blocks) {
        const auto held = static_cast<std::size_t>(std::count(b.start, b.start + b.bytes, b.fill));
        EXPECT_EQ(held, static_cast<std::size_t>(b.bytes)) << "block of " << b.bytes << " bytes";
        api->qelFree(b.start);
    }
}

TEST_P(Memory, HundredThousandRandomBlocksFreedInShuffledOrderKeepTheirContents) {
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> small(0, 300);
    std::uniform_int_distribution<int> large(0, 70000);
    std::vector<Block> live;
    for (int i = 0; i < 100000; ++i) {
        const int bytes = i % 100 == 0 ? large(random) : small(random);
        auto* start = static_cast<unsigned char*>(api->qelMalloc(bytes));
        ASSERT_NE(start, nullptr) << bytes;
        ASSERT_TRUE(aligned32(start)) << bytes;
        const auto fill = static_cast<unsigned char>(i);
        std::memset(start, fill, static_cast<std::size_t>(bytes));
        live.push_back({start, bytes, fill});
        if (live.size() > 64) {
            const std::size_t pick = random() % live.size();
            const Block& b = live[pick];
            ASSERT_EQ(std::count(b.start, b.start + b.bytes, b.fill), b.bytes) << "block of " << b.bytes;
            api->qelFree(b.start);
            live[pick] = live.back();
            live.pop_back();
        }
    }
    for (const Block& b : live) api->qelFree(b.start);
}

TEST_P(Memory, FreedBlocksGiveTheirMemoryBack) {
#if defined(__SANITIZE_ADDRESS__) || ZV_HAS_FEATURE(address_sanitizer)
    GTEST_SKIP() << "the sanitizer keeps freed blocks in quarantine; its leak check stands in";
#endif
    // Blocks this large come from the system directly and go back to it at
    // once when freed, so the process's address space counts them.
    constexpr int kBlock = 64 << 20;
    constexpr int kLive = 8;
    // A first thread maps its stack and the C library's state for threads,
    // which stay for the next thread.
    void* first = api->qelMalloc(kBlock);
    std::thread([&] { api->qelFree(first); }).join();
    const std::int64_t before = mappedBytes();
    std::vector<void*> blocks;
    for (int i = 0; i < kLive; ++i) {
        blocks.push_back(api->qelMalloc(kBlock));
        ASSERT_NE(blocks.back(), nullptr);
    }
    // The measure sees them (a heap may have held some room already).
    EXPECT_GE(mappedBytes() - before, std::int64_t{kLive} * kBlock / 2);
    // Half of them freed by a thread that did not allocate them.
    std::thread([&] {
        for (int i = 0; i < kLive; i += 2) api->qelFree(blocks[i]);
    }).join();
    for (int i = 1; i < kLive; i += 2) api->qelFree(blocks[i]);
    EXPECT_LT(mappedBytes() - before, kBlock);
    // 4 GiB in turn: more than a 32-bit process could hold at once.
    for (int i = 0; i < 64; ++i) {
        void* block = api->qelMalloc(kBlock);
        ASSERT_NE(block, nullptr) << "cycle " << i;
        api->qelFree(block);
    }
    EXPECT_LT(mappedBytes() - before, kBlock);
}

INSTANTIATE_TEST_SUITE_P(SharedCode, Memory, ::testing::ValuesIn(zv::test::sharedCodeVariants()),
                         zv::test::variantName);

}  // namespace
