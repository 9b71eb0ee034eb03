// SPDX-License-Identifier: MIT
// Every variant against the generic build on the same inputs, through the
// shared libraries: each export on random and edge data at float offsets 0
// to 3 from a 16-byte boundary. Equal bits where every build computes the
// same correctly rounded operation, argued tolerances elsewhere; the bits
// the FFT promises across builds and alignments; and, on x86-64, the
// streaming builds' transforms against a second instance of the same
// library with its reference paths forced.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/support/fft_signals.h"
#include "tests/support/float_bits.h"
#include "tests/support/reference_fft.h"
#include "runtime/diagnostics.h"
#include "tests/support/uniform_float.h"
#include "tests/support/variant_loader.h"

namespace {

using zv::test::randomSamples;
using zv::test::randomSignal;
using zv::test::sameBits;

using zv::test::bitsOf;

// Floats at `offset` floats past a 32-byte aligned block of the library
// under test, copied in from `values`.
class Placed {
public:
    Placed(const zv::test::LibraryApi* api, std::size_t floats, int offset)
        : api_(api), raw_(static_cast<float*>(api->qelMalloc(static_cast<int>((floats + 8) * 4)))), at_(raw_ + offset) {}
    ~Placed() { api_->qelFree(raw_); }
    Placed(const Placed&) = delete;
    Placed& operator=(const Placed&) = delete;
    float* f() { return at_; }
    SComplex* c() { return reinterpret_cast<SComplex*>(at_); }
    template <typename T>
    void fill(const std::vector<T>& v) { std::memcpy(at_, v.data(), v.size() * sizeof(T)); }
    template <typename T>
    std::vector<T> read(std::size_t n) const { return std::vector<T>(reinterpret_cast<const T*>(at_), reinterpret_cast<const T*>(at_) + n); }
    // The same into `out`, which keeps its storage.
    template <typename T>
    void readInto(std::vector<T>& out, std::size_t n) const {
        out.assign(reinterpret_cast<const T*>(at_), reinterpret_cast<const T*>(at_) + n);
    }

private:
    const zv::test::LibraryApi* api_;
    float* raw_;
    float* at_;
};

// Random floats over many magnitudes, with zeros of both signs, subnormals
// and infinities among them (no NaN: what a NaN becomes differs by build).
std::vector<float> edgyFloats(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    zv::test::UniformFloat mantissa(-1.0f, 1.0f);
    std::uniform_int_distribution<int> exponent(-30, 30);
    const float specials[] = {0.0f, -0.0f, 1e-40f, -1e-40f, std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(), 1.0f, -1.0f};
    std::vector<float> x(n);
    for (std::size_t i = 0; i < n; ++i)
        x[i] = i % 7 == 3 ? specials[(i / 7) % 8] : std::ldexp(mantissa(rng), exponent(rng));
    return x;
}

// Every length from 1 to 1025 (each head, block and tail split of the
// loops) and three around 2^14 (the streaming thresholds).
const std::vector<std::size_t> kLengths = [] {
    std::vector<std::size_t> lengths;
    for (std::size_t n = 1; n <= 1025; ++n) lengths.push_back(n);
    for (std::size_t n = 16383; n <= 16385; ++n) lengths.push_back(n);
    return lengths;
}();

class Differential : public zv::test::VariantTest {
protected:
    void SetUp() override {
        zv::test::VariantTest::SetUp();
        if (HasFatalFailure()) return;
        generic = zv::test::openLibrary(zv::test::kGenericVariant);
        ASSERT_NE(generic, nullptr);
    }

    using Call = std::function<void(const zv::test::LibraryApi*, Placed&, Placed&, int)>;

    // Runs each call on both libraries with the same inputs in place, at
    // every offset and length, and hands both results to `compare`. The
    // inputs depend on the length and offset alone: made, and placed in each
    // library's memory, once for all calls, and copied in again before each.
    // (Fresh blocks for every call cost most of this suite's time under the
    // address sanitizer, whose quarantine hands out new pages each time.)
    template <typename Compare>
    void onBoth(const std::vector<Call>& calls, Compare compare) {
        for (std::size_t n : kLengths) {
            for (int offset = 0; offset < 4; ++offset) {
                const auto x = edgyFloats(2 * n + 4, static_cast<unsigned>(n * 4 + offset));
                const auto y = edgyFloats(2 * n + 4, static_cast<unsigned>(n * 4 + offset + 1000));
                Placed genericA(generic, x.size(), offset), genericB(generic, y.size(), (offset + 1) % 4);
                Placed apiA(api, x.size(), offset), apiB(api, y.size(), (offset + 1) % 4);
                const zv::test::LibraryApi* libraries[2] = {generic, api};
                Placed* as[2] = {&genericA, &apiA};
                Placed* bs[2] = {&genericB, &apiB};
                for (std::size_t k = 0; k < calls.size(); ++k) {
                    SCOPED_TRACE("call " + std::to_string(k));
                    for (int which = 0; which < 2; ++which) {
                        as[which]->fill(x);
                        bs[which]->fill(y);
                        calls[k](libraries[which], *as[which], *bs[which], static_cast<int>(n));
                        as[which]->readInto(results_[which], x.size());
                    }
                    compare(results_[0], results_[1], n, offset);
                }
            }
        }
    }

    const zv::test::LibraryApi* generic = nullptr;

private:
    std::vector<float> results_[2];
};

void expectSameBits(const std::vector<float>& want, const std::vector<float>& got, std::size_t n, int offset) {
    EXPECT_TRUE(sameBits(got, want)) << "n " << n << " offset " << offset;
}

// A float add or multiply is one correctly rounded operation in every build
// (x87 extended precision holds the exact result of two floats' product and,
// short of a negligible operand, of their sum), so the bits agree.
TEST_P(Differential, ArithmeticGivesTheGenericBits) {
    onBoth({[](const auto* l, Placed&, Placed& b, int n) { l->qelsbSet(1.5f, b.f(), n); },
            [](const auto* l, Placed& a, Placed&, int n) { l->qelsbSet(-2.25f, a.f(), n); },
            [](const auto* l, Placed& a, Placed&, int n) { l->qelsbAdd1(0.3f, a.f(), n); },
            [](const auto* l, Placed& a, Placed&, int n) { l->qelsbMpy1(-1.7f, a.f(), n); },
            [](const auto* l, Placed& a, Placed& b, int n) { l->qelsbAdd2(b.f(), a.f(), n); },
            [](const auto* l, Placed& a, Placed& b, int n) { l->qelsbMpy2(b.f(), a.f(), n); }},
           expectSameBits);
}

// Moves and sign changes of values without NaNs.
TEST_P(Differential, ComplexMovesGiveTheGenericBits) {
    onBoth({[](const auto* l, Placed& a, Placed&, int n) { l->qelcbConjExtend1(a.c(), n / 2 + 1); },
            [](const auto* l, Placed& a, Placed& b, int n) { l->qelcbReal(b.c(), a.f(), n); }},
           expectSameBits);
}

// A magnitude is the root of re^2 + im^2 rounded to float; builds may round
// the sum to float first (one more rounding of a relative 2^-24 before a
// square root that halves it), so they agree within one unit in the last
// place; over- and underflow of the squares differ by build and are left out.
// Block roots from an estimate and one Newton step are within 2^-20 of the
// exact root (the complex suite argues it): 8 units of the float, 9 from the
// generic result. Software block roots are within one unit of the correctly
// rounded root of the same float power, which is the generic block result.
TEST_P(Differential, MagnitudesAgreeWithinAnUlp) {
    const std::int64_t blockUlps = traits().estimatedBlockRoots ? 9 : 1;
    for (std::size_t n : kLengths) {
        for (int offset = 0; offset < 4; ++offset) {
            const auto z = zv::test::randomSignalOfLength(n, static_cast<unsigned>(n + offset));
            std::vector<float> results[2];
            const zv::test::LibraryApi* libraries[2] = {generic, api};
            for (int which = 0; which < 2; ++which) {
                Placed src(libraries[which], 2 * n, offset);
                Placed mag(libraries[which], n, 3 - offset);
                src.fill(z);
                libraries[which]->qelcbMag(src.c(), mag.f(), static_cast<int>(n));
                results[which] = mag.read<float>(n);
            }
            for (std::size_t i = 0; i < n; ++i) {
                const auto a = static_cast<std::int64_t>(bitsOf(results[0][i]));
                const auto b = static_cast<std::int64_t>(bitsOf(results[1][i]));
                ASSERT_LE(std::llabs(a - b), i < n / 128 * 128 ? blockUlps : 1) << "n " << n << " i " << i;
            }
        }
    }
}

// Extremes of NaN-free data are elements of the data: the same value, and
// the same bits unless the extreme is a zero (whose sign the builds pick
// differently).
TEST_P(Differential, ExtremesOfNumbersAreTheGenericOnes) {
    for (std::size_t n : kLengths) {
        for (int offset = 0; offset < 4; ++offset) {
            const auto x = edgyFloats(n, static_cast<unsigned>(7 * n + offset));
            float got[2][2];
            const zv::test::LibraryApi* libraries[2] = {generic, api};
            for (int which = 0; which < 2; ++which) {
                Placed a(libraries[which], n, offset);
                a.fill(x);
                got[which][0] = libraries[which]->qelsMax(a.f(), static_cast<int>(n));
                got[which][1] = libraries[which]->qelsMin(a.f(), static_cast<int>(n));
            }
            for (int k = 0; k < 2; ++k) {
                EXPECT_EQ(got[0][k], got[1][k]) << "n " << n << " offset " << offset;
                if (got[0][k] != 0.0f) {
                    EXPECT_EQ(bitsOf(got[0][k]), bitsOf(got[1][k]));
                }
            }
        }
    }
}

// In-range conversions have one right answer for each rounding mode.
TEST_P(Differential, InRangeConversionsGiveTheGenericIntegersAndBack) {
    std::vector<Call> calls;
    std::vector<std::int32_t> ints;
    for (int size : {8, 16, 32}) {
        for (int mode : {QEL_CVT_NEAREST, QEL_CVT_TRUNCATE, QEL_CVT_FLOOR, QEL_CVT_CEIL}) {
            calls.push_back([size, mode, &ints](const zv::test::LibraryApi* l, Placed& a, Placed& b, int n) {
                // In range for a signed integer of the size: scaled to +-100.
                for (int i = 0; i < n; ++i) b.f()[i] = std::isfinite(b.f()[i]) ? std::remainder(b.f()[i], 100.0f) : 1.0f;
                ints.assign(static_cast<std::size_t>(n) + 1, 0);
                l->qelsbFloatToInt(b.f(), ints.data(), n, size, mode);
                l->qelsbIntToFloat(ints.data(), a.f(), n, size, 0);
            });
        }
    }
    onBoth(calls, expectSameBits);
}

// ---- FFT ----

constexpr int kOrderingFlags[] = {0, QEL_FFT_INPUT_REVERSED, QEL_FFT_OUTPUT_REVERSED};

// Each build is within 1e-6 relative RMS of the exact transform (the
// accuracy suites), so two builds are within 2e-6 of each other; exact
// inputs whose transform is exact in every build give the same values.
TEST_P(Differential, ComplexTransformsAgreeWithinTwiceTheAccuracyBound) {
    for (int order = 0; order <= 16; ++order) {
        const std::size_t n = std::size_t{1} << order;
        const auto x = randomSignal(order, static_cast<unsigned>(order));
        for (int ordering : kOrderingFlags) {
            for (int direction : {QEL_FFT_FORWARD, QEL_FFT_INVERSE}) {
                const int offset = order % 4;
                std::vector<SComplex> results[2];
                const zv::test::LibraryApi* libraries[2] = {generic, api};
                for (int which = 0; which < 2; ++which) {
                    Placed a(libraries[which], 2 * n, offset);
                    a.fill(x);
                    libraries[which]->qelcFft(a.c(), order, direction | ordering);
                    results[which] = a.read<SComplex>(n);
                }
                EXPECT_LT(zv::test::relativeRmsError(results[1], zv::test::toDouble(results[0])), 2e-6)
                    << "order " << order << " ordering " << ordering << " direction " << direction;
            }
        }
    }
}

TEST_P(Differential, RealTransformsAgreeWithinTwiceTheAccuracyBound) {
    for (int order = 0; order <= 17; ++order) {
        const std::size_t n = std::size_t{1} << order;
        const auto x = randomSamples(order, static_cast<unsigned>(order + 50));
        for (int direction : {QEL_FFT_FORWARD, QEL_FFT_INVERSE}) {
            std::vector<SComplex> results[2];
            const zv::test::LibraryApi* libraries[2] = {generic, api};
            for (int which = 0; which < 2; ++which) {
                Placed in(libraries[which], n, order % 4);
                Placed out(libraries[which], n + 2, (order + 1) % 4);
                in.fill(x);
                libraries[which]->qelsRealFftNip(in.f(), out.c(), order, direction);
                results[which] = out.read<SComplex>(n / 2 + 1);
            }
            EXPECT_LT(zv::test::relativeRmsError(results[1], zv::test::toDouble(results[0])), 2e-6)
                << "order " << order << " direction " << direction;
        }
    }
}

TEST_P(Differential, ExactTransformsGiveTheGenericValues) {
    for (int order = 0; order <= 14; ++order) {
        const std::size_t n = std::size_t{1} << order;
        std::vector<SComplex> zeros(n, SComplex{0.0f, 0.0f});
        std::vector<SComplex> impulse = zeros;
        impulse[0] = {1.0f, 0.0f};
        std::vector<SComplex> constant(n, SComplex{0.5f, -0.25f});
        for (const auto* input : {&zeros, &impulse, &constant}) {
            for (int ordering : kOrderingFlags) {
                std::vector<SComplex> results[2];
                const zv::test::LibraryApi* libraries[2] = {generic, api};
                for (int which = 0; which < 2; ++which) {
                    Placed a(libraries[which], 2 * n, 1);
                    a.fill(*input);
                    libraries[which]->qelcFft(a.c(), order, QEL_FFT_FORWARD | ordering);
                    results[which] = a.read<SComplex>(n);
                }
                for (std::size_t k = 0; k < n; ++k) {
                    ASSERT_EQ(results[1][k].re, results[0][k].re) << "order " << order << " k " << k;
                    ASSERT_EQ(results[1][k].im, results[0][k].im) << "order " << order << " k " << k;
                }
            }
        }
    }
}

// Data at 4, 8 and 12 bytes past a 16-byte boundary give the bits of the
// aligned data in every ordering and direction: the block kernels read and
// write them in their first and last passes, every other pass is the same.
// With `nonFinite`, infinities and NaNs among the data (quiet ones only: an
// x87 move quiets a signalling NaN, an MMX move does not, and which one a
// build takes depends on the alignment), so that the NaNs' signs are compared
// too.
void expectAlignmentFree(const zv::test::LibraryApi* api, int order, bool nonFinite, bool everyOrdering = true) {
    const std::size_t n = std::size_t{1} << order;
    auto x = randomSignal(order, static_cast<unsigned>(order + 7));
    auto r = randomSamples(order + 1, static_cast<unsigned>(order + 8));
    if (nonFinite) {
        // A few (single NaNs meeting each other) in the lower orders, one in
        // 32 in the higher ones.
        zv::test::sprinkleNonFinite(x, 3 + n / 32, static_cast<unsigned>(order + 17));
        zv::test::sprinkleNonFinite(r, 3 + n / 32, static_cast<unsigned>(order + 18));
    }
    // The blocks of each offset and the results' storage serve every
    // ordering and direction (fresh ones each time cost most of the time
    // under the address sanitizer).
    std::vector<std::unique_ptr<Placed>> as, ins, outs;
    for (int offset = 0; offset < 4; ++offset) {
        as.push_back(std::make_unique<Placed>(api, 2 * n, offset));
        ins.push_back(std::make_unique<Placed>(api, 2 * n, offset));
        outs.push_back(std::make_unique<Placed>(api, 2 * n + 2, offset));
    }
    std::vector<SComplex> complexes[4];
    std::vector<SComplex> reals[4];
    for (int ordering : kOrderingFlags) {
        if (ordering != 0 && !everyOrdering) break;
        for (int direction : {QEL_FFT_FORWARD, QEL_FFT_INVERSE}) {
            for (int offset = 0; offset < 4; ++offset) {
                as[offset]->fill(x);
                api->qelcFft(as[offset]->c(), order, direction | ordering);
                as[offset]->readInto(complexes[offset], n);
                if (ordering != 0) {  // the real transform takes no ordering
                    reals[offset].clear();
                    continue;
                }
                ins[offset]->fill(r);
                api->qelsRealFftNip(ins[offset]->f(), outs[offset]->c(), order + 1, direction);
                outs[offset]->readInto(reals[offset], n + 1);
            }
            for (int offset = 1; offset < 4; ++offset) {
                EXPECT_TRUE(sameBits(complexes[offset], complexes[0]))
                    << "order " << order << " flags " << (direction | ordering) << " offset " << offset;
                EXPECT_TRUE(sameBits(reals[offset], reals[0]))
                    << "real order " << order + 1 << " direction " << direction << " offset " << offset;
            }
        }
    }
}

// Each build against itself, the generic one too.
class WithinBuild : public zv::test::VariantTest {};

TEST_P(WithinBuild, UnalignedDataGiveTheAlignedBitsUpToOrder16) {
    for (int order = 0; order <= 16; ++order) expectAlignmentFree(api, order, false);
}

TEST_P(WithinBuild, UnalignedDataWithInfinitiesAndNaNsGiveTheAlignedBitsUpToOrder16) {
    for (int order = 0; order <= 16; ++order) expectAlignmentFree(api, order, true);
}

TEST_P(WithinBuild, LongUnalignedDataGiveTheAlignedBitsForOrders17To20) {
    for (int order = 17; order <= 20; ++order) expectAlignmentFree(api, order, false, false);
}

// Every build but the generic one, which the others are compared with.
std::vector<std::string> otherThanGeneric() {
    std::vector<std::string> codes = zv::test::builtVariants();
    std::erase(codes, std::string(zv::test::kGenericVariant));
    return codes;
}

INSTANTIATE_TEST_SUITE_P(AllVariants, WithinBuild, ::testing::ValuesIn(zv::test::builtVariants()),
                         zv::test::variantName);
INSTANTIATE_TEST_SUITE_P(AgainstGeneric, Differential, ::testing::ValuesIn(otherThanGeneric()),
                         zv::test::variantName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Differential);  // the generic build alone

// Builds whose rows say that their transforms give another build's bits up
// to an order (the same single-precision operations in the same order, the
// same kernels and drivers): equal bits, complex and real, every ordering and
// both directions, at every offset modulo 16 bytes over the orders, on random
// data, and on data with infinities and NaNs (whose signs show the order of
// every sum's operands) unless the row says finite (bit-reversal moves
// through the x87 stack quiet a signalling NaN, moves through MMX do not).
std::vector<zv::test::SameFftBits> sameFftBitsPairs() {
    std::vector<zv::test::SameFftBits> pairs;
    for (const auto& pair : zv::test::kSameFftBits)
        if (pair.code != nullptr) pairs.push_back(pair);
    return pairs;
}

class SameFftBits : public ::testing::TestWithParam<zv::test::SameFftBits> {};
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(SameFftBits);

TEST_P(SameFftBits, GiveTheSameBitsUpToTheirOrder) {
    const zv::test::SameFftBits& pair = GetParam();
    const auto codes = zv::test::builtVariants();
    for (const char* code : {pair.code, pair.other})
        if (std::find(codes.begin(), codes.end(), code) == codes.end()) GTEST_SKIP() << code << " is not built";
    const zv::test::LibraryApi* libraries[2] = {zv::test::openLibrary(pair.code), zv::test::openLibrary(pair.other)};
    ASSERT_NE(libraries[0], nullptr);
    ASSERT_NE(libraries[1], nullptr);
    for (int order = 0; order <= pair.highestOrder; ++order) {
        const std::size_t n = std::size_t{1} << order;
        for (bool nonFinite : {false, true}) {
            if (nonFinite && pair.finiteOnly) continue;
            auto x = randomSignal(order, static_cast<unsigned>(order + 90));
            auto r = randomSamples(order, static_cast<unsigned>(order + 91));
            if (nonFinite) {
                zv::test::sprinkleNonFinite(x, 3 + n / 32, static_cast<unsigned>(order + 92));
                zv::test::sprinkleNonFinite(r, 3 + n / 64, static_cast<unsigned>(order + 93));
            }
            for (int flags : {QEL_FFT_FORWARD, QEL_FFT_INVERSE, QEL_FFT_FORWARD | QEL_FFT_OUTPUT_REVERSED,
                              QEL_FFT_INVERSE | QEL_FFT_OUTPUT_REVERSED, QEL_FFT_FORWARD | QEL_FFT_INPUT_REVERSED,
                              QEL_FFT_INVERSE | QEL_FFT_INPUT_REVERSED | QEL_FFT_NO_SCALE}) {
                std::vector<SComplex> complexes[2];
                std::vector<SComplex> reals[2];
                for (int which = 0; which < 2; ++which) {
                    Placed a(libraries[which], 2 * n, order % 4);
                    a.fill(x);
                    libraries[which]->qelcFft(a.c(), order, flags);
                    complexes[which] = a.read<SComplex>(n);
                    Placed in(libraries[which], n, 0);
                    Placed out(libraries[which], n + 2, (order + 2) % 4);
                    in.fill(r);
                    libraries[which]->qelsRealFftNip(in.f(), out.c(), order, flags);
                    reals[which] = out.read<SComplex>(n / 2 + 1);
                }
                EXPECT_TRUE(sameBits(complexes[0], complexes[1]))
                    << "order " << order << " flags " << flags << (nonFinite ? " with NaNs" : "");
                EXPECT_TRUE(sameBits(reals[0], reals[1]))
                    << "real order " << order << " flags " << flags << (nonFinite ? " with NaNs" : "");
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, SameFftBits, ::testing::ValuesIn(sameFftBitsPairs()),
                         [](const ::testing::TestParamInfo<zv::test::SameFftBits>& info) {
                             return std::string(info.param.code) + "_" + info.param.other;
                         });

void setReferenceSwitch(bool on) {
#if defined(_WIN32)
    _putenv_s("ZENTAVOL_REFERENCE_PATHS", on ? "1" : "");
#else
    if (on)
        setenv("ZENTAVOL_REFERENCE_PATHS", "1", 1);
    else
        unsetenv("ZENTAVOL_REFERENCE_PATHS");
#endif
}

// A second instance of a variant with its reference paths on: a copy of the
// file (the loader hands back the loaded library for the same one), loaded
// while ZENTAVOL_REFERENCE_PATHS is set, which a library reads as it loads.
// Loaded once per process.
const zv::test::LibraryApi* referenceInstance(const std::string& code) {
    static std::map<std::string, zv::test::LibraryApi> loaded;
    if (const auto found = loaded.find(code); found != loaded.end()) return &found->second;
    namespace fs = std::filesystem;
    const fs::path from = zv::test::libraryPath(code);
    const fs::path to = fs::temp_directory_path() / ("zv_reference_" + std::to_string(std::random_device{}()) + "_" +
                                                      from.filename().string());
    std::error_code error;
    if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing, error)) return nullptr;
    setReferenceSwitch(true);
    void* handle = zv::test::loadLibraryFile(to.string());
    setReferenceSwitch(false);
    fs::remove(to, error);  // the mapping stays (where the system allows the removal)
    if (handle == nullptr) return nullptr;
    zv::test::LibraryApi api;
    api.name = code;
    api.handle = handle;
#define ZV_EXPORT(ordinal, fn) api.fn = reinterpret_cast<decltype(api.fn)>(zv::test::findExport(handle, #fn));
#include "runtime/export_list.h"
#undef ZV_EXPORT
    return &loaded.emplace(code, api).first->second;
}

// The data kinds of the path comparison: noise; floats of many magnitudes
// with zeros of both signs, subnormals and infinities; those with NaNs of
// both signs (one with a payload) and more infinities sprinkled in, so that
// NaNs meet NaNs and the order of every sum's operands shows; and a signal
// of one value (exact zeros everywhere after the first stage).
std::vector<std::vector<SComplex>> pathSignals(int order) {
    const std::size_t n = std::size_t{1} << order;
    std::vector<std::vector<SComplex>> signals;
    signals.push_back(randomSignal(order, static_cast<unsigned>(order + 700)));
    const auto edgy = edgyFloats(2 * n, static_cast<unsigned>(order + 701));
    std::vector<SComplex> x(n);
    std::memcpy(x.data(), edgy.data(), n * sizeof(SComplex));
    signals.push_back(x);
    zv::test::sprinkleNonFinite(x, 3 + n / 16, static_cast<unsigned>(order + 702));
    signals.push_back(x);
    signals.push_back(std::vector<SComplex>(n, SComplex{0.75f, -1.5f}));
    return signals;
}

// The streaming builds on x86-64 take their 256-bit kernels where the
// processor has AVX and every other accelerated path they have; the instance
// with the reference switch takes none. The same bits for every order 0 to
// 20, complex and real, both directions, every ordering (from order 17 one
// case per kind of data, the orderings and offsets taken in turn), at 0, 4,
// 8 and 12 bytes past a 16-byte boundary.
TEST_P(WithinBuild, StreamingBuildsGiveTheReferencePathsBits) {
    if (!qel::kWidePaths || !zv::test::traitsOf(GetParam()).avxKernels)
        GTEST_SKIP() << "the accelerated paths of the 64-bit streaming builds";
    const zv::test::LibraryApi* libraries[2] = {api, referenceInstance(GetParam())};
    ASSERT_NE(libraries[1], nullptr) << "the reference instance of " << GetParam();
    int turn = 0;
    std::vector<SComplex> complexes[2];
    std::vector<SComplex> reals[2];
    for (int order = 0; order <= 20; ++order) {
        const std::size_t n = std::size_t{1} << order;
        const auto signals = pathSignals(order);
        // Each library's blocks at each offset, for every case of the order.
        std::vector<std::unique_ptr<Placed>> as[2], ins[2], outs[2];
        for (int which = 0; which < 2; ++which) {
            for (int offset = 0; offset < 4; ++offset) {
                as[which].push_back(std::make_unique<Placed>(libraries[which], 2 * n, offset));
                ins[which].push_back(std::make_unique<Placed>(libraries[which], 2 * n, offset));
                outs[which].push_back(std::make_unique<Placed>(libraries[which], 2 * n + 2, (offset + 1) % 4));
            }
        }
        for (std::size_t kind = 0; kind < signals.size(); ++kind) {
            std::vector<float> samples(2 * n);
            std::memcpy(samples.data(), signals[kind].data(), 2 * n * sizeof(float));
            for (int ordering : kOrderingFlags) {
                for (int direction : {QEL_FFT_FORWARD, QEL_FFT_INVERSE}) {
                    for (int offset = 0; offset < 4; ++offset) {
                        if (order > 16 && turn++ % 24 != 0) continue;
                        const int flags = direction | ordering;
                        for (int which = 0; which < 2; ++which) {
                            Placed& a = *as[which][offset];
                            a.fill(signals[kind]);
                            libraries[which]->qelcFft(a.c(), order, flags);
                            a.readInto(complexes[which], n);
                            reals[which].clear();
                            if (ordering != 0) continue;  // the real transform takes no ordering
                            Placed& in = *ins[which][offset];
                            Placed& out = *outs[which][offset];
                            in.fill(samples);
                            libraries[which]->qelsRealFftNip(in.f(), out.c(), order + 1, direction);
                            out.readInto(reals[which], n + 1);
                        }
                        EXPECT_TRUE(sameBits(complexes[0], complexes[1]))
                            << "order " << order << " flags " << flags << " offset " << offset << " data " << kind;
                        EXPECT_TRUE(sameBits(reals[0], reals[1]))
                            << "real order " << order + 1 << " direction " << direction << " offset " << offset
                            << " data " << kind;
                    }
                }
            }
        }
    }
}


}  // namespace
