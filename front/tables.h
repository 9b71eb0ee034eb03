// SPDX-License-Identifier: MIT
// The front library's fixed data: the table of builds and the preference row
// of each processor class (generated from the rows), what a build may need
// of the machine, and the binding table in the order the slots are filled.
// Tables only, no logic.
#pragma once

#include <cstdint>

#include "front/entry_slots.h"

namespace qel::front {

// Leaf 1 EDX bits that a variant's instructions need.
inline constexpr std::uint32_t kFeatureFpu = 1u << 0;
inline constexpr std::uint32_t kFeatureCmov = 1u << 15;
inline constexpr std::uint32_t kFeatureMmx = 1u << 23;
inline constexpr std::uint32_t kFeatureSse = 1u << 25;
inline constexpr std::uint32_t kFeatureSse2 = 1u << 26;

// What a variant's code needs of the machine: a variant named by
// ZENTAVOL_VARIANT, or offered by the machine's row, that the machine cannot
// run is never loaded. The generic build needs nothing: every row ends in it.
// A build compiled for the family-5 integer instructions, which have no
// feature bit of their own, names the family; a processor with conditional
// moves has them. The conditional moves include the x87 ones, hence the x87
// bit beside them. SSE registers must also be saved by the system, which an
// old system does not do.
struct VariantNeeds {
    std::uint32_t features;  // leaf 1 EDX bits, all needed (and so cpuid)
    std::uint32_t family;    // lowest 4-bit family field, 0 for any
    bool currentSystem;
};

}  // namespace qel::front

// The table of builds and the preference rows of the processor classes,
// generated from the variant rows: kClassCount, kVariantCount,
// kVariantNames, kVariantCodes (and their lists for messages),
// kVariantNeeds, kRowEnd, kRowWidth, kPreferenceRows. A build's index is the
// processor class that prefers it first, for the builds some class does.
#include "front/builds.h"

namespace qel::front {

static_assert(kVariantCount < 255, "rows hold build indices and their end in bytes");

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
