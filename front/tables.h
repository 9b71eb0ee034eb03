// The front library's fixed data: the variant names, the preference row of
// each processor class, and the binding table in the order the slots are
// filled. Tables only, no logic. Linked by libZentavol.
#pragma once

#include "front/entry_slots.h"

namespace qel::front {

inline constexpr int kVariantCount = 6;

// Index = processor class of the variant's first choice. Names without
// extension; the platform adds its own.
inline constexpr const char* kVariantNames[kVariantCount] = {
    "Zentavolg1", "Zentavolg2", "Zentavoln1", "Zentavoln2", "Zentavols1", "Zentavols2",
};

inline constexpr unsigned char kG1 = 0, kG2 = 1, kN1 = 2, kN2 = 3, kS1 = 4, kS2 = 5;

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
