// SPDX-License-Identifier: MIT
// The loader's notifications to a library, numbered as DllMain's reasons;
// the POSIX entry shims raise them from constructors, destructors and the
// TLS slot's per-thread destructor.
#pragma once

enum QelNotification : int {
    QEL_PROCESS_DETACH = 0,
    QEL_PROCESS_ATTACH = 1,
    QEL_THREAD_ATTACH = 2,
    QEL_THREAD_DETACH = 3,
};
