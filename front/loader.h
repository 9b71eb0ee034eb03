// Loading the preferred variant library and binding the entry slots to its
// functions, and the front library's own load and unload handling. Linked by
// libZentavol.
#pragma once

#include "platform/front_platform.h"

namespace qel::front {

// The loaded variant, null until one is loaded; kept until process detach.
extern platform::ModuleHandle variantModule;

// The preference row for the machine: row 0 on an old system, else the row of
// the processor class (row 0 for a class outside 0..5).
int preferenceRowFor(int oldWindows, int processorClass);

// Tries the names of the row in order; the first that loads is the result.
// When none loads, tells the user once and returns null.
platform::ModuleHandle loadVariantFromRow(int row);

// Probes the machine and loads from its row.
platform::ModuleHandle loadVariant();

// 1 when the slot now holds the variant's function, else 0 after telling
// the user which name is missing; the slot is written either way.
int bindEntryPoint(platform::ModuleHandle module, void** slot, const char* name);

// Fills the slots in binding-table order and stops at the first failure:
// 1 when all sixteen are filled, else 0.
int bindEntryPoints(platform::ModuleHandle module);

}  // namespace qel::front

// The front library's notifications (the reasons of runtime/lifecycle.h):
// false when process attach failed, which must fail the front library's load.
bool qelFrontNotify(int reason);
