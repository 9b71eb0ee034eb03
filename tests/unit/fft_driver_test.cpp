// SPDX-License-Identifier: MIT
// The FFT drivers of the build under test at the orders where they change
// strategy, against the independent double-precision transform: the inline
// orders 0 to 2, both sides of the block kernel's limit (and of the DIF
// kernel's), one and several superblocks, and the real transform's smallest
// orders, where the split and the recombination take their special paths;
// data off their 16-byte alignment give the aligned bits.
//
// Tolerance: a radix-2 transform of t stages whose twiddles are within mu of
// the true roots, computed with unit roundoff u, has a relative 2-norm error
// of at most t*eta / (1 - t*eta), eta = mu + gamma4 * (sqrt(2) + mu),
// gamma4 = 4u / (1 - 4u) (the bound on a computed complex butterfly). The
// tables hold the roots rounded to float (mu = u = 2^-24), and each level of
// a radix-4 or split-radix step multiplies by at most one twiddle and adds
// once, so its two levels stay within the radix-2 count; extended-precision
// butterflies round less. The bound is zero at order 0 and below 7e-6 at
// order 17, while one wrong butterfly or twiddle costs about sqrt(1/n) of
// the norm or more (2^-8.5 at order 17), and a wrong block far more.
//
// The real transform of n = 2N samples is the N-point transform Z of the
// sample pairs followed by the recombination X[k] = (Z[k] + conj Z[N-k])/2 +
// w^k (Z[k] - conj Z[N-k])/(2i): each X[k] takes Z[k] and Z[N-k] with
// weights of magnitude at most 1, so the error of Z at most doubles in the
// 2-norm, and the recombination's own twiddle error and at most five
// roundings per value add 12u relative to ||Z||, while ||X[0..N]|| >= ||Z||
// (Parseval). Bound: 2 * (complex bound of N) + 12u.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <set>
#include <vector>

#include "fft/driver.h"
#include "fft/tables.h"
#include "runtime/memory.h"
#include "tests/support/fft_fixture.h"
#include "tests/support/reference_fft.h"
#include "tests/support/unit_build.h"

namespace {

using zv::unit::build;
using namespace qel::fft;
using zv::test::Cd;
using zv::test::randomSamples;
using zv::test::randomSignal;
using zv::test::relativeRmsError;
using zv::test::sameBits;

using zv::unit::kBlockOrder;
using zv::unit::kSuperblockOrder;
constexpr double kUnitRoundoff = 0x1p-24;

double complexBound(int stages) {
    const double u = kUnitRoundoff;
    const double gamma4 = 4 * u / (1 - 4 * u);
    const double eta = u + gamma4 * (std::sqrt(2.0) + u);
    const double te = stages * eta;
    return te / (1 - te);
}

double realBound(int order) { return order == 0 ? 0 : 2 * complexBound(order - 1) + 12 * kUnitRoundoff; }

// The orders on both sides of every limit of the build's drivers, up to two
// superblocks' worth beyond the superblock.
std::set<int> boundaryOrders() {
    std::set<int> orders = {0, 1, 2, 3, kBlockOrder - 1, kBlockOrder, kBlockOrder + 1, kSuperblockOrder - 1,
                            kSuperblockOrder, kSuperblockOrder + 1, kSuperblockOrder + 2};
    if (build().fftHasDif) {
        orders.insert(build().difBlockOrder);
        orders.insert(build().difBlockOrder + 1);
    }
    return orders;
}

// `count` values of T in a block from qelMalloc (32-byte aligned), `offset`
// floats in: offsets 1 to 3 put the data off every vector alignment.
template <typename T>
class Placed {
public:
    Placed(const std::vector<T>& x, int offset)
        : raw_(static_cast<float*>(qelMalloc(static_cast<int>(x.size() * sizeof(T) + 4 * sizeof(float))))),
          data_(reinterpret_cast<T*>(raw_ + offset)),
          n_(x.size()) {
        std::memcpy(static_cast<void*>(data_), x.data(), n_ * sizeof(T));
    }
    ~Placed() { qelFree(raw_); }
    Placed(const Placed&) = delete;
    Placed& operator=(const Placed&) = delete;
    T* data() { return data_; }
    std::vector<T> values() const { return std::vector<T>(data_, data_ + n_); }

private:
    float* raw_;
    T* data_;
    std::size_t n_;
};

class FftDriver : public zv::test::FftTablesTest {
protected:
    // Runs `transform` on x in place at offsets 0 to 3 and returns the
    // aligned result, after checking that every offset gives its bits.
    template <typename Transform>
    std::vector<SComplex> atEveryOffset(const std::vector<SComplex>& x, Transform transform,
                                        const char* what, int order, int direction) {
        Placed<SComplex> aligned(x, 0);
        transform(aligned.data());
        const auto want = aligned.values();
        for (int offset = 1; offset <= 3; ++offset) {
            Placed<SComplex> moved(x, offset);
            transform(moved.data());
            EXPECT_TRUE(sameBits(moved.values(), want))
                << what << ": order " << order << " direction " << direction << " offset " << offset;
        }
        return want;
    }
};

TEST_F(FftDriver, DitMatchesTheReferenceOnBothSidesOfEveryLimit) {
    for (int order : boundaryOrders()) {
        const int n = 1 << order;
        const SComplex* table = getDitTwiddles(order);
        ASSERT_NE(table, nullptr) << "order " << order;
        // The entry point's guarantee for unaligned data in the builds with
        // a scratch area.
        ASSERT_NE(getWorkBuffer(std::max(build().fftScratchLength, 1), kFftWorkBufferSlot), nullptr);
        const auto x = randomSignal(order, 100u + static_cast<unsigned>(order));
        const auto input = zv::test::bitReversed(x, order);
        for (int direction : {1, -1}) {
            const auto got = atEveryOffset(
                input, [&](SComplex* data) { cFftDit(data, n, direction, table); }, "DIT", order, direction);
            const auto want = zv::test::referenceDft(zv::test::toDouble(x), -direction);
            EXPECT_LE(relativeRmsError(got, want), complexBound(order))
                << "order " << order << " direction " << direction;
        }
    }
}

TEST_F(FftDriver, DifMatchesTheReferenceOnBothSidesOfEveryLimit) {
    if (!build().fftHasDif) {
        GTEST_SKIP() << "no DIF kernel";
    } else {
        for (int order : boundaryOrders()) {
            const int n = 1 << order;
            const SComplex* table = build().getDifTwiddles(order);
            ASSERT_NE(table, nullptr) << "order " << order;
            const auto x = randomSignal(order, 200u + static_cast<unsigned>(order));
            for (int direction : {1, -1}) {
                const auto got = atEveryOffset(
                    x, [&](SComplex* data) { build().cFftDif(data, n, direction, table); }, "DIF", order, direction);
                const auto want = zv::test::referenceDft(zv::test::toDouble(x), -direction);
                EXPECT_LE(relativeRmsError(zv::test::bitReversed(got, order), want), complexBound(order))
                    << "order " << order << " direction " << direction;
            }
        }
    }
}

// The real entry point, whose smallest orders bypass the complex driver
// (0 and 1) or give it one or two points (2 and 3), and whose recombination
// takes whole vector steps only from order 4. Unscaled in both directions.
TEST_F(FftDriver, RealTransformMatchesTheReferenceAtItsSmallestOrdersAndAcrossTheLimits) {
    std::set<int> orders = {0, 1, 2, 3, 4, 5, 6};
    for (int order : boundaryOrders())
        if (order + 1 <= kMaxFftOrder) orders.insert(order + 1);
    for (int order : orders) {
        const std::size_t n = std::size_t{1} << order;
        const auto x = randomSamples(order, 300u + static_cast<unsigned>(order));
        // For real input the sums with the positive exponent are the
        // conjugates of the forward ones.
        std::vector<Cd> forward = zv::test::referenceDft(std::vector<Cd>(x.begin(), x.end()), -1);
        forward.resize(n / 2 + 1);
        for (int direction : {1, -1}) {
            const int flags = (direction > 0 ? QEL_FFT_FORWARD : QEL_FFT_INVERSE) | QEL_FFT_NO_SCALE;
            std::vector<SComplex> want(n / 2 + 1);
            {
                Placed<float> in(x, 0);
                Placed<SComplex> out(want, 0);
                qelsRealFftNip(in.data(), out.data(), order, flags);
                want = out.values();
            }
            for (int offset = 1; offset <= 3; ++offset) {
                Placed<float> in(x, offset);
                Placed<SComplex> out(std::vector<SComplex>(n / 2 + 1), 4 - offset);
                qelsRealFftNip(in.data(), out.data(), order, flags);
                EXPECT_TRUE(sameBits(out.values(), want))
                    << "order " << order << " direction " << direction << " offset " << offset;
                EXPECT_TRUE(sameBits(in.values(), x)) << "input written, order " << order;
            }
            std::vector<Cd> reference = forward;
            if (direction < 0)
                for (Cd& v : reference) v = std::conj(v);
            EXPECT_LE(relativeRmsError(want, reference), realBound(order))
                << "order " << order << " direction " << direction;
        }
    }
}

}  // namespace
