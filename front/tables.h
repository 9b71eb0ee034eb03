// SPDX-License-Identifier: MIT
// The front library's fixed data: the variant names, the preference row of
// each processor class, and the binding table in the order the slots are
// filled. Tables only, no logic.
#pragma once

#include <cstdint>

#include "front/entry_slots.h"

namespace qel::front {

inline constexpr int kVariantCount = 6;

// Index = processor class of the variant's first choice. Names without
// extension; the platform adds its own.
inline constexpr const char* kVariantNames[kVariantCount] = {
    "Zentavolg1", "Zentavolg2", "Zentavoln1", "Zentavoln2", "Zentavols1", "Zentavols2",
};

inline constexpr unsigned char kG1 = 0, kG2 = 1, kN1 = 2, kN2 = 3, kS1 = 4, kS2 = 5;

// The codes ZENTAVOL_VARIANT accepts, by index; any case.
inline constexpr const char* kVariantCodes[kVariantCount] = {"g1", "g2", "n1", "n2", "s1", "s2"};

// Leaf 1 EDX bits that a variant's instructions need.
inline constexpr std::uint32_t kFeatureFpu = 1u << 0;
inline constexpr std::uint32_t kFeatureCmov = 1u << 15;
inline constexpr std::uint32_t kFeatureMmx = 1u << 23;
inline constexpr std::uint32_t kFeatureSse = 1u << 25;
inline constexpr std::uint32_t kFeatureSse2 = 1u << 26;

// What a variant's code needs of the machine: a variant named by
// ZENTAVOL_VARIANT, or offered by the machine's row, that the machine cannot
// run is never loaded. The
// generic build needs nothing: every row ends in it. N1 is compiled for the
// family-5 integer instructions, which have no feature bit of their own; a
// processor with conditional moves has them. The conditional moves include
// the x87 ones, hence the x87 bit beside them. SSE registers must also be
// saved by the system, which an old system does not do.
struct VariantNeeds {
    std::uint32_t features;  // leaf 1 EDX bits, all needed (and so cpuid)
    std::uint32_t family;    // lowest 4-bit family field, 0 for any
    bool currentSystem;
};
inline constexpr VariantNeeds kVariantNeeds[kVariantCount] = {
    {0, 0, false},                                                                     // g1
    {kFeatureFpu | kFeatureCmov, 0, false},                                            // g2
    {kFeatureFpu, 5, false},                                                           // n1
    {kFeatureFpu | kFeatureCmov | kFeatureMmx, 0, false},                              // n2
    {kFeatureFpu | kFeatureCmov | kFeatureMmx | kFeatureSse, 0, true},                 // s1
    {kFeatureFpu | kFeatureCmov | kFeatureMmx | kFeatureSse | kFeatureSse2, 0, true},  // s2
};

// One past the last variant index ends a row; rows are seven wide so the
// longest list of six still has room for its end marker.
inline constexpr unsigned char kRowEnd = kVariantCount;
inline constexpr int kRowWidth = kVariantCount + 1;

inline constexpr unsigned char kPreferenceRows[kVariantCount][kRowWidth] = {
    {kG1, kRowEnd},                          // generic, and every processor of an old system
    {kG2, kG1, kRowEnd},                     // produced by no processor
    {kN1, kG1, kRowEnd},                     // family 5 with MMX: never falls back to G2
    {kN2, kN1, kG2, kG1, kRowEnd},           // family 6 with MMX
    {kS1, kN2, kN1, kG2, kG1, kRowEnd},      // family 6 with SSE
    {kS2, kS1, kN2, kN1, kG2, kG1, kRowEnd}, // family 15 with SSE2
};

struct Binding {
    void** slot;
    const char* name;
};

// The order in which the slots are filled; the first missing name is the one
// the user is told about. A null slot or name ends the table.
inline constexpr Binding kBindingTable[] = {
    {&qelEntrySlots[kQelSlot_qelMalloc], "qelMalloc"},
    {&qelEntrySlots[kQelSlot_qelFree], "qelFree"},
    {&qelEntrySlots[kQelSlot_qelsbSet], "qelsbSet"},
    {&qelEntrySlots[kQelSlot_qelsbAdd1], "qelsbAdd1"},
    {&qelEntrySlots[kQelSlot_qelsbAdd2], "qelsbAdd2"},
    {&qelEntrySlots[kQelSlot_qelsbMpy1], "qelsbMpy1"},
    {&qelEntrySlots[kQelSlot_qelsbMpy2], "qelsbMpy2"},
    {&qelEntrySlots[kQelSlot_qelsMax], "qelsMax"},
    {&qelEntrySlots[kQelSlot_qelsMin], "qelsMin"},
    {&qelEntrySlots[kQelSlot_qelcbConjExtend1], "qelcbConjExtend1"},
    {&qelEntrySlots[kQelSlot_qelcbReal], "qelcbReal"},
    {&qelEntrySlots[kQelSlot_qelcbMag], "qelcbMag"},
    {&qelEntrySlots[kQelSlot_qelcFft], "qelcFft"},
    {&qelEntrySlots[kQelSlot_qelsRealFftNip], "qelsRealFftNip"},
    {&qelEntrySlots[kQelSlot_qelsbIntToFloat], "qelsbIntToFloat"},
    {&qelEntrySlots[kQelSlot_qelsbFloatToInt], "qelsbFloatToInt"},
    {nullptr, nullptr},
};

}  // namespace qel::front
