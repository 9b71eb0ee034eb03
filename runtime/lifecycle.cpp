// SPDX-License-Identifier: MIT
// What a variant library does when it is loaded and unloaded and when a
// thread ends. Detach also frees the tables a context holds, so a finished
// thread leaves no memory behind, and process detach frees the contexts of
// every thread, so an unloaded library leaves none behind either.
#include "runtime/lifecycle.h"

#include "fft/driver.h"
#include "runtime/context.h"
#include "runtime/diagnostics.h"

namespace {

bool attachThread() { return qelCreateThreadContext() != nullptr; }

// What the platform layer runs where the system raises no thread-detach
// notification of its own (the POSIX slot's per-thread destructor).
void detachThread() { qelVariantNotify(QEL_THREAD_DETACH); }

}  // namespace

bool qelVariantNotify(int reason, bool processEnds) {
    switch (reason) {
        case QEL_PROCESS_ATTACH:
            qel::readReferenceSwitch();
            qel::probeProcessor();
            qel::fft::chooseStagePaths();
            qelOpenContextList();
            qel::platform::setThreadExitHandler(detachThread);
            qelTlsSlot = qel::platform::tlsAlloc();
            if (qelTlsSlot == qel::platform::kTlsOutOfIndexes) return false;
            return attachThread();
        case QEL_THREAD_ATTACH:
            // A failure here is harmless: qelGetContext creates it later.
            return attachThread();
        case QEL_THREAD_DETACH:
            if (qelTlsSlot != qel::platform::kTlsOutOfIndexes) qelFreeThreadContext();
            return true;
        case QEL_PROCESS_DETACH:
            if (processEnds) {
                // Other threads may still be computing, with their contexts
                // and the slot: all stays in place for them, and the library
                // stays mapped.
                qelFreeThreadContext();
                return true;
            }
            // Threads that live on keep their slots pointing at freed
            // contexts; freeing the slot makes sure none of them is read.
            qelFreeEveryContext();
            if (qelTlsSlot != qel::platform::kTlsOutOfIndexes) {
                qel::platform::tlsFree(qelTlsSlot);
                qelTlsSlot = qel::platform::kTlsOutOfIndexes;
            }
            qelCloseContextList();
            return true;
        default:
            return true;
    }
}
