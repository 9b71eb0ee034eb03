// SPDX-License-Identifier: MIT
// The generic family's bit-reversal moves: the in-place permutation of the
// complex FFT and the bit-reversed copy of the real FFT, both driven by the
// compact table and moving integer words.
#include <cstdint>
#include <cstring>

#include "fft/bitrev_walk.h"
#include "kernels/generic/fft.h"
#include "runtime/diagnostics.h"
#include "variant.h"

namespace qel::generic {

namespace {

// Values travel as integer words: no floating-point load may quiet a
// signalling NaN or touch any other bit pattern. One 8-byte word holds an
// element's two floats as they lie in memory, so its copy is theirs.
struct Words {
    using Value = std::uint64_t;
    static Value load(const SComplex* at) {
        Value w;
        std::memcpy(&w, at, sizeof w);
        return w;
    }
    static void store(SComplex* at, Value w) { std::memcpy(at, &w, sizeof w); }
    static void exchange(SComplex* a, SComplex* b) {
        const Value wa = load(a);
        store(a, load(b));
        store(b, wa);
    }
    static void copy(const SComplex* from, SComplex* to) { store(to, load(from)); }
};

using WordMoves = bitrev::OneByOne<Words>;

// The walk by tiles visits the same pairs as the table in another order;
// the pairs are disjoint and every move copies bits, so both orders give
// the same array. The reference paths keep the table's order.
bitrev::Walk walk() { return referencePaths() ? bitrev::Walk::tableOrder : bitrev::Walk::bySize; }

}  // namespace

void bitRevPermute(SComplex* data, int n, const std::int32_t* table) {
    if (n < 4) return;
    bitrev::permute<WordMoves, variant::kBitRevPermuteTiledAbove>(data, n, table, walk());
}

void bitRevCopyReal(const SComplex* src, SComplex* dst, int N, const std::int32_t* table) {
    if (N < 8) return bitrev::copyFew<WordMoves>(src, dst, N);
    bitrev::copyReal<WordMoves, variant::kBitRevCopyTiledAbove>(src, dst, N, table, walk());
}

}  // namespace qel::generic
