// qelMalloc and qelFree through each shared library.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "tests/support/variant_loader.h"

namespace {

class Memory : public zv::test::VariantTest {};

bool aligned32(const void* p) { return reinterpret_cast<std::uintptr_t>(p) % 32 == 0; }

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

TEST_P(Memory, HundredThousandRandomBlocksAreAlignedAndWritable) {
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> small(0, 300);
    std::uniform_int_distribution<int> large(0, 70000);
    std::vector<unsigned char*> live;
    for (int i = 0; i < 100000; ++i) {
        const int bytes = i % 100 == 0 ? large(random) : small(random);
        auto* block = static_cast<unsigned char*>(api->qelMalloc(bytes));
        ASSERT_NE(block, nullptr) << bytes;
        ASSERT_TRUE(aligned32(block)) << bytes;
        std::memset(block, i & 0xFF, static_cast<size_t>(bytes));
        live.push_back(block);
        if (live.size() > 64) {  // free in a shuffled order
            const size_t pick = random() % live.size();
            api->qelFree(live[pick]);
            live[pick] = live.back();
            live.pop_back();
        }
    }
    for (auto* block : live) api->qelFree(block);
}

TEST_P(Memory, ABlockMayBeFreedByAnotherThread) {
    void* block = api->qelMalloc(1000);
    ASSERT_NE(block, nullptr);
    std::thread([&] { api->qelFree(block); }).join();
}

INSTANTIATE_TEST_SUITE_P(AllVariants, Memory, ::testing::ValuesIn(zv::test::builtVariants()),
                         zv::test::variantName);

}  // namespace
