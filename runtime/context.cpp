// The per-thread context: lazy creation through the TLS slot, its defaults,
// and the release of what it owns. Linked by every variant.
#include "runtime/context.h"

#include "runtime/fault_injection.h"
#include "runtime/memory.h"
#include "runtime/status.h"

qel::platform::TlsIndex qelTlsSlot = qel::platform::kTlsOutOfIndexes;

namespace {
QelFaultCountdown contextAllocFault;
}

void qelInjectContextAllocFailureAfter(int successes) { contextAllocFault.remaining = successes; }

void qelInitContext(QelContext* context) {
    if (context == nullptr) return;
    context->status = QEL_STATUS_OK;
    context->errorMode = QEL_ERROR_MODE_EXIT;
    context->errorHandler = qelDefaultErrorHandler;
}

QelContext* qelNewContext() {
    if (contextAllocFault.refuse()) return nullptr;
    auto* context = static_cast<QelContext*>(qel::platform::localAllocZeroInit(sizeof(QelContext)));
    qelInitContext(context);
    return context;
}

QelContext* qelGetContext() {
    if (void* held = qel::platform::tlsGetValue(qelTlsSlot)) return static_cast<QelContext*>(held);
    QelContext* context = qelNewContext();
    if (context == nullptr)
        qel::platform::fatalAppExit("Problem to allocate memory for TLS QEL context.");
    qel::platform::tlsSetValue(qelTlsSlot, context);
    return context;
}

namespace {
template <typename T>
void freeTables(T* (&tables)[kQelTableSlots]) {
    for (T*& table : tables) {
        qelFree(table);
        table = nullptr;
    }
}
}  // namespace

void qelReleaseContextTables(QelContext* context) {
    freeTables(context->bitRevTables);
    freeTables(context->bigTwiddleTables);
    freeTables(context->ditTwiddleTables);
    freeTables(context->difTwiddleTables);
    freeTables(context->realTwiddleTables);
    for (int slot = 0; slot < kQelWorkBufferSlots; ++slot) {
        qelFree(context->workBuffers[slot]);
        context->workBuffers[slot] = nullptr;
        context->workBufferSizes[slot] = 0;
    }
}
