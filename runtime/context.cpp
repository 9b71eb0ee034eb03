// SPDX-License-Identifier: MIT
// The per-thread context: lazy creation through the TLS slot, its defaults,
// the release of what it owns, and the list of every context that lets
// process detach free those of threads still alive.
#include "runtime/context.h"

#include "runtime/fault_injection.h"
#include "runtime/lifecycle.h"
#include "runtime/memory.h"
#include "runtime/status.h"

qel::platform::TlsIndex qelTlsSlot = qel::platform::kTlsOutOfIndexes;

namespace {
QelFaultCountdown contextAllocFault;

// Every context of the process, guarded by the platform's list lock. Open
// from process attach to process detach; a closed list means its contexts
// are freed, whatever slots still point to them.
QelContext* contextList = nullptr;
bool contextListOpen = false;
// Whether the lock exists; changed only by process attach and detach, when
// no other thread runs the library's code.
bool listLockReady = false;

void linkContext(QelContext* context) {
    context->listPrevious = nullptr;
    context->listNext = contextList;
    if (contextList != nullptr) contextList->listPrevious = context;
    contextList = context;
}

void unlinkContext(QelContext* context) {
    if (context->listPrevious != nullptr)
        context->listPrevious->listNext = context->listNext;
    else
        contextList = context->listNext;
    if (context->listNext != nullptr) context->listNext->listPrevious = context->listPrevious;
    context->listPrevious = context->listNext = nullptr;
}

void destroyContext(QelContext* context) {
    qelReleaseContextTables(context);
    qel::platform::localFree(context);
}

}  // namespace

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

void qelOpenContextList() {
    qel::platform::initializeListLock();
    listLockReady = true;
    qel::platform::enterListLock();
    contextListOpen = true;
    qel::platform::leaveListLock();
}

QelContext* qelCreateThreadContext() {
    QelContext* context = qelNewContext();
    if (context == nullptr) return nullptr;
    if (!listLockReady) {  // after detach: threads computing while the process ends, tests
        qel::platform::tlsSetValue(qelTlsSlot, context);
        return context;
    }
    qel::platform::enterListLock();
    linkContext(context);
    qel::platform::tlsSetValue(qelTlsSlot, context);
    qel::platform::leaveListLock();
    return context;
}

QelContext* qelGetContext() {
    if (void* held = qel::platform::tlsGetValue(qelTlsSlot)) return static_cast<QelContext*>(held);
    QelContext* context = qelCreateThreadContext();
    if (context == nullptr)
        qel::platform::fatalAppExit("Problem to allocate memory for TLS QEL context.");
    qel::watchForProcessEnd();
    return context;
}

void qelFreeThreadContext() {
    if (!listLockReady) return;
    qel::platform::enterListLock();
    QelContext* context = nullptr;
    if (contextListOpen) {
        context = static_cast<QelContext*>(qel::platform::tlsGetValue(qelTlsSlot));
        if (context != nullptr) unlinkContext(context);
    }
    // A later call on this thread during its shutdown starts a fresh context.
    qel::platform::tlsSetValue(qelTlsSlot, nullptr);
    qel::platform::leaveListLock();
    if (context != nullptr) destroyContext(context);
}

void qelFreeEveryContext() {
    if (!listLockReady) return;
    qel::platform::enterListLock();
    QelContext* context = contextList;
    contextList = nullptr;
    contextListOpen = false;
    qel::platform::tlsSetValue(qelTlsSlot, nullptr);
    qel::platform::leaveListLock();
    // Off the list, the contexts are reachable by no other thread's detach.
    while (context != nullptr) {
        QelContext* next = context->listNext;
        destroyContext(context);
        context = next;
    }
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

void qelCloseContextList() {
    if (!listLockReady) return;
    qel::platform::deleteListLock();
    listLockReady = false;
}
