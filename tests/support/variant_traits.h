// SPDX-License-Identifier: MIT
// What the black-box suites may expect of each build where the builds
// differ, generated from the variant rows; the suites ask these traits,
// never a build's name.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zv::test {

// The fields in the order of the trait words of zv_add_variant
// (cmake/ZentavolBuildTable.cmake); a row's TRAITS sets them.
struct VariantTraits {
    const char* code;
    // Vector functions.
    bool x87ConjExtend;        // x87_conj_extend: the conjugate is negated in the x87 unit: a signalling NaN
                               // comes out quiet
    bool floatPowerSpectrum;   // float_power_spectrum: magnitudes of long vectors square in single precision
                               // (|z| = 1e20 overflows)
    bool genericExtremeOrder;  // generic_extremes: NaNs and signed zeros ordered as the generic loops do
    bool laneExtremeOrder;     // lane_extremes: extremes in four lanes: the later of equal elements, a NaN
                               // replaced by its lane's next
    bool bitOrderExtremes;     // bit_order_extremes: extremes under the order of the bit patterns:
                               // -NaN < -inf < ... < -0 < +0 < ... < +NaN
    bool estimatedBlockRoots;  // estimated_block_roots: block roots of magnitudes from an estimate and one
                               // Newton step (+inf gives NaN, a NaN lane 0 or a report, by its sign)
    bool softwareBlockRoots;   // software_block_roots: block roots of magnitudes from Heron steps: within one
                               // unit of the correctly rounded root; an element with its sign bit set (a NaN
                               // too) is reported
    bool elementReports;       // element_reports: conversions report each out-of-range element and leave it
                               // unwritten
    bool laneConversions;      // lane_conversions: conversions eight per step in SSE lanes (see the
                               // conversion suite)
    bool lowBitConversions;    // low_bit_conversions: out-of-range conversions written as the low-order bits
                               // of the x87 unit's 64-bit integer store (0 for NaN, infinity, 2^63 and
                               // beyond), saturated NaNs clamped by their sign, one report per call
    bool twiceRoundedUnsigned; // twice_rounded_unsigned: unsigned 32-bit integers from 2^31 become floats
                               // through two roundings
    bool destinationNans;      // destination_nans: adding or multiplying two NaNs gives the destination
                               // element's NaN, quieted, at every position and length
    // FFT.
    bool fftDitOnly;           // fft_dit_only: bit-reversed output is the natural-order result permuted, bit
                               // for bit
    bool combinePrefetch;      // combine_prefetch: the combining stages prefetch (prefetchnta)
    bool vectorTables;         // vector_tables: the DIT table in one section of 96-byte vector groups per
                               // radix-4 stage size, the real table in groups of four A then four B from
                               // order 4 (otherwise: DIT entry k = w^k, w^(2k), w^(3k); real (A(k), B(k)))
    bool x87BitRevMoves;       // x87_bitrev_moves: the bit-reversal moves load and store every float through
                               // the x87 stack (a signalling NaN arrives quiet)
    bool mmxBitRevMoves;       // mmx_bitrev_moves: 8-byte MMX moves (bit for bit) for arrays at multiples of
                               // 8 bytes, x87 moves (quieting) otherwise and in the real copy of fewer than
                               // 8 pairs (neither: 32-bit integer moves, every value bit for bit)
    int setReportLine;         // set_line=<n>: the line qelsbSet's argument checks report, written out
                               // (taken from the constant the library reports, a wrong number would pass)
    int fftScratchLength;      // fft_scratch=<n>: SComplex elements the entries keep in scratch slot 3
                               // (0: none)
    // pi_quarter=<natural>/<reversed>: the bits of the factor at pi/4 that a
    // forward order-3 transform of an impulse at index 1 carries, in natural
    // and in bit-reversed output (the x87 split-radix kernels take the float
    // nearest to the square root of one half, the generic one 0x3F3504F7).
    std::uint32_t fftPiQuarterNatural;
    std::uint32_t fftPiQuarterReversed;
    // From the row's AVX_KERNELS: 256-bit kernels on x86-64 where the
    // processor has AVX, 128-bit ones with the reference paths.
    bool avxKernels;
};

// Two builds whose transforms give the same bits, complex and real, every
// ordering and both directions, up to an order: on random finite data, or
// also with infinities and NaNs.
struct SameFftBits {
    const char* code;
    const char* other;
    int highestOrder;
    bool finiteOnly;
};

}  // namespace zv::test

// kVariantTraits (a row per build), kSameFftBits (a null code when no rows
// pair) and kGenericVariant, the build every preference row ends in.
#include "tests/variant_rows.h"

namespace zv::test {

inline const VariantTraits& traitsOf(const std::string& code) {
    for (const auto& row : kVariantTraits)
        if (code == row.code) return row;
    throw std::invalid_argument("no traits for variant " + code);
}

// The row of a library by its name, which ends with the code ("Zentavols2").
inline const VariantTraits& traitsOfLibrary(const std::string& name) {
    return traitsOf(name.size() >= 2 ? name.substr(name.size() - 2) : name);
}

}  // namespace zv::test
