// SPDX-License-Identifier: MIT
// The variant library's load and unload handling, run by the platform's
// notifications: the Win32 DllMain, or on POSIX the library's constructor,
// the slot's per-thread destructor and the library's destructor.
#pragma once

#include "platform/process_events.h"

// Returns false when the notification failed (a failed process attach fails
// the load). processEnds marks a process detach at the end of the process,
// while other threads may still be computing: only the caller's context is
// freed then; the slot, the list and the others' contexts stay for them.
bool qelVariantNotify(int reason, bool processEnds = false);

namespace qel {
// Called when a context is made on demand (not at attach), by the entry
// shim of the system: on POSIX exit() and dlclose both run the library's
// destructor, and from then on it can tell which (runtime/entry_posix.cpp);
// Windows tells DllMain, and there it does nothing.
void watchForProcessEnd();
}  // namespace qel
