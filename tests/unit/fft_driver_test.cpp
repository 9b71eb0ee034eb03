// SPDX-License-Identifier: MIT
// The decimation-in-time driver of the build under test, against the calls
// it is to make, built here by hand from its limits: one block call up to
// the block limit; above it, the blocks of each superblock joined by one
// combining call, then one across superblocks; the appended part of the big
// table read inside superblocks; unaligned data giving the aligned bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fft/driver.h"
#include "fft/tables.h"
#include "runtime/memory.h"
#include "tests/support/fft_fixture.h"
#include "variant.h"

namespace {

using namespace qel::fft;
using zv::test::randomSignal;
using zv::test::sameBits;

constexpr int kBlockOrder = qel::variant::kFftBlockOrder;
constexpr int kBlock = 1 << kBlockOrder;
constexpr int kSuperblock = qel::variant::kFftSuperblockLength;
constexpr int kSuperblockOrder = std::countr_zero(static_cast<unsigned>(kSuperblock));

class FftDriver : public zv::test::FftTablesTest {};

// One call of the build's block kernel on aligned data (a template, so that
// only the build's own kernel signature is compiled).
template <typename Complex>
void blockCall(Complex* data, int n, int direction, const Complex* table) {
    if constexpr (qel::variant::kFftScratchLength > 0) {
        if (direction > 0)
            qel::variant::cFftDitBlockFwd(data, n, table, static_cast<Complex*>(nullptr));
        else
            qel::variant::cFftDitBlockInv(data, n, table, static_cast<Complex*>(nullptr));
    } else {
        if (direction > 0)
            qel::variant::cFftDitBlockFwd(data, n, table);
        else
            qel::variant::cFftDitBlockInv(data, n, table);
    }
}

// n values in a 32-byte aligned block, `offset` floats in.
struct Placed {
    Placed(const std::vector<SComplex>& x, int offset)
        : raw(static_cast<float*>(qelMalloc(static_cast<int>(x.size() * sizeof(SComplex) + 32)))),
          data(reinterpret_cast<SComplex*>(raw + offset)),
          n(x.size()) {
        std::memcpy(data, x.data(), n * sizeof(SComplex));
    }
    ~Placed() { qelFree(raw); }
    Placed(const Placed&) = delete;
    Placed& operator=(const Placed&) = delete;
    std::vector<SComplex> values() const { return std::vector<SComplex>(data, data + n); }
    float* raw;
    SComplex* data;
    std::size_t n;
};

TEST_F(FftDriver, UpToTheBlockLimitOneBlockCallDoesAll) {
    for (int order : {2, 3, 4, kBlockOrder}) {
        const int n = 1 << order;
        const SComplex* table = getDitTwiddles(order);
        ASSERT_NE(table, nullptr);
        for (int direction : {1, -1}) {
            const auto x = randomSignal(order, 1u);
            Placed want(x, 0);
            blockCall(want.data, n, direction, table);
            Placed got(x, 0);
            cFftDit(got.data, n, direction, table);
            EXPECT_TRUE(sameBits(got.values(), want.values())) << "order " << order;
        }
    }
}

TEST_F(FftDriver, JustAboveTheBlockLimitTwoBlocksSecondFirstAndOneCombine) {
    constexpr int order = kBlockOrder + 1;
    constexpr int n = 1 << order;
    const SComplex* big = getDitTwiddles(order);
    ASSERT_NE(big, nullptr);
    const SComplex* blockTable = getDitTwiddles(kBlockOrder);
    for (int direction : {1, -1}) {
        const auto x = randomSignal(order, 2u);
        Placed want(x, 0);
        blockCall(want.data + kBlock, kBlock, direction, blockTable);
        blockCall(want.data, kBlock, direction, blockTable);
        // The superblock is the whole transform: the main table, no final
        // combining call.
        cFftDitCombine(want.data, n, kBlock, big, n, direction, qel::variant::kFftCombineChunk);
        Placed got(x, 0);
        cFftDit(got.data, n, direction, big);
        EXPECT_TRUE(sameBits(got.values(), want.values())) << "direction " << direction;
    }
}

TEST_F(FftDriver, AboveTheSuperblockEachIsJoinedWithTheAppendedPartThenAllWithTheMainPart) {
    constexpr int order = kSuperblockOrder + 1;
    constexpr int n = 1 << order;
    SComplex* big = getDitTwiddles(order);
    ASSERT_NE(big, nullptr);
    const SComplex* blockTable = getDitTwiddles(kBlockOrder);
    const auto x = randomSignal(order, 3u);
    Placed want(x, 0);
    for (int s = 0; s < n; s += kSuperblock) {
        for (int p = s + kSuperblock - kBlock; p >= s; p -= kBlock)
            blockCall(want.data + p, kBlock, 1, blockTable);
        cFftDitCombine(want.data + s, kSuperblock, kBlock, big, n, 1, qel::variant::kFftCombineChunk);
    }
    cFftDitCombine(want.data, n, kSuperblock, big, n, 1, qel::variant::kFftCombineChunk);
    Placed got(x, 0);
    cFftDit(got.data, n, 1, big);
    EXPECT_TRUE(sameBits(got.values(), want.values()));

    // The appended part (the superblock's own quarter roots) is what the
    // stages inside the superblocks read: spoiling it changes the result.
    SComplex* appended = big + n / 4;
    const std::vector<SComplex> kept(appended, appended + kSuperblock / 4);
    std::fill(appended + 1, appended + kSuperblock / 4, SComplex{0.5f, 0.5f});
    Placed spoiled(x, 0);
    cFftDit(spoiled.data, n, 1, big);
    std::copy(kept.begin(), kept.end(), appended);
    EXPECT_FALSE(sameBits(spoiled.values(), want.values()));
}

TEST_F(FftDriver, DataOffFromSixteenBytesGiveTheAlignedBits) {
    for (int order : {2, 3, 4, 5, 8, kBlockOrder, kBlockOrder + 1, kSuperblockOrder + 1}) {
        const int n = 1 << order;
        const SComplex* table = getDitTwiddles(order);
        ASSERT_NE(table, nullptr);
        ASSERT_NE(getWorkBuffer(std::max(qel::variant::kFftScratchLength, 1), kFftWorkBufferSlot), nullptr);
        for (int direction : {1, -1}) {
            const auto x = randomSignal(order, 4u);
            Placed aligned(x, 0);
            cFftDit(aligned.data, n, direction, table);
            for (int offset : {1, 2, 3}) {
                Placed moved(x, offset);
                cFftDit(moved.data, n, direction, table);
                EXPECT_TRUE(sameBits(moved.values(), aligned.values()))
                    << "order " << order << " offset " << offset << " direction " << direction;
            }
        }
    }
}

}  // namespace
