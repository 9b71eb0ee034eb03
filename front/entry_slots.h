// SPDX-License-Identifier: MIT
// The front library's sixteen entry slots, one code pointer per export,
// indexed by ordinal - 1. Written once while the front library attaches, then
// only read: each export is a jump through its slot.
#pragma once

#if defined(_WIN32)
#define QEL_FRONT_HIDDEN
#else
#define QEL_FRONT_HIDDEN __attribute__((visibility("hidden")))
#endif

enum QelEntrySlot : int {
#define ZV_EXPORT(ordinal, name) kQelSlot_##name = (ordinal) - 1,
#include "runtime/export_list.h"
#undef ZV_EXPORT
    kQelEntrySlotCount
};

// The stubs name this array in assembly, hence C linkage.
extern "C" QEL_FRONT_HIDDEN void* qelEntrySlots[kQelEntrySlotCount];
