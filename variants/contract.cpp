// SPDX-License-Identifier: MIT
// Holds the build's qel::variant and qel::line to the contract
// (variants/contract.h): every kernel with its signature, limits the FFT
// drivers and tables can work with, and report line numbers. Compiled into
// every variant; it emits no code.
#include <concepts>
#include <cstdint>
#include <type_traits>

#include "fft/tables.h"
#include "variant.h"
#include "vector/cvrts_kernels.h"

namespace qel::variant::contract {

template <typename Name, typename Signature>
inline constexpr bool kIs = std::is_same_v<Name, Signature>;

// The vector loops.
static_assert(kIs<decltype(setBits), void(std::uint32_t, float*, int)>);
static_assert(kIs<decltype(addConst), void(float, float*, int)>);
static_assert(kIs<decltype(mpyConst), void(float, float*, int)>);
static_assert(kIs<decltype(addVec), void(const float*, float*, int)>);
static_assert(kIs<decltype(mpyVec), void(const float*, float*, int)>);
static_assert(kIs<decltype(conjExtend), void(SComplex*, int)>);
static_assert(kIs<decltype(realParts), void(const SComplex*, float*, int)>);
// The conversion kernels, templates over the integer type and the handling
// of out-of-range elements (vector/cvrts_kernels.h): one instance stands for all.
static_assert(kIs<decltype(floatToInt<std::int16_t, true, true>),
                  void(const float*, unsigned char*, int, cvrt::Rounding)>);
static_assert(kIs<decltype(intToFloat<std::uint8_t>), void(const unsigned char*, float*, int)>);
static_assert(kIs<decltype(maxOf), float(const float*, int)>);
static_assert(kIs<decltype(minOf), float(const float*, int)>);
static_assert(kIs<decltype(sqrtLoop), bool(const float*, float*, int)>);

// The FFT kernels: the DIT blocks take the entries' scratch area when the
// build keeps one.
using DitBlock = std::conditional_t<(kFftScratchLength > 0), void(SComplex*, int, const SComplex*, SComplex*),
                                    void(SComplex*, int, const SComplex*)>;
static_assert(kIs<decltype(cFftDitBlockFwd), DitBlock>, "DIT block kernels with or without the scratch area");
static_assert(kIs<decltype(cFftDitBlockInv), DitBlock>, "DIT block kernels with or without the scratch area");
static_assert(kIs<decltype(realFftRecombine), void(SComplex*, int, int, const SComplex*)>);
static_assert(kIs<decltype(bitRevPermute), void(SComplex*, int, const std::int32_t*)>);
static_assert(kIs<decltype(bitRevCopyReal), void(const SComplex*, SComplex*, int, const std::int32_t*)>);

// The tables.
static_assert(kIs<decltype(fillDitTwiddles), void(SComplex*, const float*, int)>);
static_assert(kIs<decltype(fillRealTwiddles), void(SComplex*, const float*, int)>);
static_assert(ditTableBytes(0) > 0 && ditTableBytes(kFftBlockOrder) >= 8 * (std::int64_t{1} << kFftBlockOrder) / 4,
              "ditTableBytes is a constant expression");

// The limits.
static_assert(kFftBlockOrder >= 2 && kFftBlockOrder <= 16);
static_assert(kFftSuperblockLength >= (1 << kFftBlockOrder) &&
                  (kFftSuperblockLength & (kFftSuperblockLength - 1)) == 0,
              "a superblock is a power of two of at least one block");
static_assert(kFftCombineChunk > 0 && (kFftCombineChunk & (kFftCombineChunk - 1)) == 0);
static_assert(kFftScratchLength == 0 || kFftScratchLength >= (1 << kFftBlockOrder),
              "the entries' scratch area holds a whole block");
static_assert(!kFftHasDif || (kDifBlockOrder >= 2 && (1 << kDifBlockOrder) <= kFftSuperblockLength &&
                              kDifSuperblockChunk > 0 && (kDifSuperblockChunk & (kDifSuperblockChunk - 1)) == 0));
static_assert(kBitRevPermuteTiledAbove >= 32 && kBitRevCopyTiledAbove >= 32,
              "a tile of the bit-reversal walk takes 16 pairs of the table");
static_assert(kStringFill >= 0 && kStreamingFill >= 0 && kCachedVecBlocks >= 0);
static_assert(std::is_same_v<decltype(kFusedMagnitudeBlocks), const bool>);

// The DIF kernel and table fill exist only in a build with kFftHasDif, so
// they are asked for by calls whose arguments depend on a template
// parameter: such a call is looked up when the template is instantiated,
// which the discarded branch of a build without them never is. Each argument
// converts to its exact type alone, so the call matches only a function with
// exactly the parameters named.
template <typename T>
struct Exactly {
    template <typename U>
        requires std::is_same_v<U, T>
    operator U() const;
};

template <typename Complex>
constexpr bool difKernelsHold() {
    if constexpr (kFftHasDif)
        return requires(Exactly<Complex*> data, Exactly<int> n, Exactly<const Complex*> twiddles,
                        Exactly<const float*> s) {
            { cFftDifBlock(data, n, n, twiddles) } -> std::same_as<void>;
            { fillDifTwiddles(data, s, n) } -> std::same_as<void>;
        };
    return true;
}
static_assert(difKernelsHold<SComplex>(),
              "cFftDifBlock(SComplex*, int n, int direction, const SComplex*), "
              "fillDifTwiddles(SComplex*, const float*, int order)");

// Report line numbers are positive.
static_assert(line::qelsbSet > 0 && line::qelsbAdd1 > 0 && line::qelsbAdd2 > 0 && line::qelsbMpy1 > 0 &&
              line::qelsbMpy2 > 0 && line::qelcbConjExtend1 > 0 && line::qelsbFloatToIntElement > 0 &&
              line::qelsbSqrt2 > 0 && line::qelsbSqrt2Negative > 0 && line::qelsMax > 0 && line::qelsMin > 0);

}  // namespace qel::variant::contract
