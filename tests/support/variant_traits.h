// SPDX-License-Identifier: MIT
// What the black-box suites may expect of each build where the builds
// differ, one row per variant code; the suites ask these traits, never a
// build's name.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zv::test {

struct VariantTraits {
    const char* code;
    // Vector functions.
    bool x87ConjExtend;        // the conjugate is negated in the x87 unit: a signalling NaN comes out quiet
    bool floatPowerSpectrum;   // magnitudes of long vectors square in single precision (|z| = 1e20 overflows)
    bool genericExtremeOrder;  // NaNs and signed zeros ordered as the generic loops do
    bool laneExtremeOrder;     // extremes in four lanes: the later of equal elements, a NaN replaced by its lane's next
    bool bitOrderExtremes;     // extremes under the order of the bit patterns: -NaN < -inf < ... < -0 < +0 < ... < +NaN
    bool estimatedBlockRoots;  // block roots of magnitudes from an estimate and one Newton step (+inf gives NaN,
                               // a NaN lane 0 or a report, by its sign)
    bool softwareBlockRoots;   // block roots of magnitudes from Heron steps: within one unit of the correctly
                               // rounded root; an element with its sign bit set (a NaN too) is reported
    bool elementReports;       // conversions report each out-of-range element and leave it unwritten
    bool laneConversions;      // conversions eight per step in SSE lanes (see the conversion suite)
    bool lowBitConversions;    // out-of-range conversions written as the low-order bits of the x87 unit's
                               // 64-bit integer store (0 for NaN, infinity, 2^63 and beyond), saturated NaNs
                               // clamped by their sign, one report per call
    bool twiceRoundedUnsigned; // unsigned 32-bit integers from 2^31 become floats through two roundings
    // FFT.
    int fftScratchLength;      // SComplex elements the entries keep in scratch slot 3 (0: none)
    bool fftDitOnly;           // bit-reversed output is the natural-order result permuted, bit for bit
    // The bits of the factor at pi/4 that a forward order-3 transform of an
    // impulse at index 1 carries, in natural and in bit-reversed output.
    std::uint32_t fftPiQuarterNatural;
    std::uint32_t fftPiQuarterReversed;
};

// The N and G2 builds' split-radix kernel takes the float nearest to the
// square root of one half at pi/4, the generic one 0x3F3504F7.
inline constexpr VariantTraits kVariantTraits[] = {
    {"g1", true, true, true, false, false, false, false, true, false, false, false, 0, false, 0x3F3504F3u, 0x3F3504F7u},
    {"g2", false, true, false, false, true, false, false, false, false, true, false, 0, false, 0x3F3504F3u, 0x3F3504F3u},
    {"n1", false, true, false, false, true, false, true, false, false, true, false, 0, false, 0x3F3504F3u, 0x3F3504F3u},
    {"n2", false, true, false, false, true, false, false, false, false, true, false, 0, false, 0x3F3504F3u, 0x3F3504F3u},
    {"s1", false, true, false, true, false, true, false, false, true, false, true, 16384, true, 0x3F3504F4u, 0x3F3504F4u},
    {"s2", false, true, false, true, false, true, false, false, true, false, true, 16384, true, 0x3F3504F4u, 0x3F3504F4u},
};

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
