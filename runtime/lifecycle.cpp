// What a variant library does when it is loaded and unloaded and when a
// thread ends. Detach also frees the tables a context holds, so a finished
// thread leaves no memory behind.
#include "runtime/lifecycle.h"

#include "runtime/context.h"

namespace {

void freeContextOfThisThread() {
    auto* context = static_cast<QelContext*>(qel::platform::tlsGetValue(qelTlsSlot));
    if (context == nullptr) return;
    qelReleaseContextTables(context);
    qel::platform::localFree(context);
    // A later call on this thread during its shutdown starts a fresh context.
    qel::platform::tlsSetValue(qelTlsSlot, nullptr);
}

bool attachThread() {
    QelContext* context = qelNewContext();
    if (context == nullptr) return false;
    qel::platform::tlsSetValue(qelTlsSlot, context);
    return true;
}

}  // namespace

bool qelVariantNotify(int reason) {
    switch (reason) {
        case QEL_PROCESS_ATTACH:
            qelTlsSlot = qel::platform::tlsAlloc();
            if (qelTlsSlot == qel::platform::kTlsOutOfIndexes) return false;
            return attachThread();
        case QEL_THREAD_ATTACH:
            // A failure here is harmless: qelGetContext creates it later.
            return attachThread();
        case QEL_THREAD_DETACH:
            if (qelTlsSlot != qel::platform::kTlsOutOfIndexes) freeContextOfThisThread();
            return true;
        case QEL_PROCESS_DETACH:
            if (qelTlsSlot != qel::platform::kTlsOutOfIndexes) {
                freeContextOfThisThread();
                qel::platform::tlsFree(qelTlsSlot);
                qelTlsSlot = qel::platform::kTlsOutOfIndexes;
            }
            return true;
        default:
            return true;
    }
}
