// SPDX-License-Identifier: MIT
// The per-thread record of a variant library, the slot that finds it and the
// list that holds every thread's record for process detach. Every datum a
// transform changes lives here, so threads share nothing while they compute.
#pragma once

#include <cstdint>

#include "platform/platform.h"
#include "zentavol.h"

extern "C" {
typedef int (*QelErrorHandler)(int status, const char* funcName, const char* context,
                               const char* file, int line);
}

inline constexpr int kQelMaxOrder = 31;
inline constexpr int kQelTableSlots = 32;    // one table pointer per order 0..31
inline constexpr int kQelWorkBufferSlots = 4;

struct QelContext {
    std::int32_t status;
    std::int32_t errorMode;
    QelErrorHandler errorHandler;
    std::int32_t* bitRevTables[kQelTableSlots];
    SComplex* bigTwiddleTables[kQelTableSlots];
    SComplex* ditTwiddleTables[kQelTableSlots];
    SComplex* difTwiddleTables[kQelTableSlots];
    SComplex* realTwiddleTables[kQelTableSlots];
    std::uint32_t workBufferSizes[kQelWorkBufferSlots];  // in SComplex elements
    SComplex* workBuffers[kQelWorkBufferSlots];
    // Links of the list of every context, changed only under the list lock.
    QelContext* listPrevious;
    QelContext* listNext;
};

// The process-wide slot, set at process attach and only read afterwards.
extern qel::platform::TlsIndex qelTlsSlot;

// The calling thread's context, created on its first need; never null. A
// context that cannot be allocated ends the process.
QelContext* qelGetContext();

// Sets the three error fields to their defaults; null is ignored.
void qelInitContext(QelContext* context);

// A fresh zero-filled, initialised context, or null when there is no memory;
// it is on no list and in no slot.
QelContext* qelNewContext();

// Opens the list of contexts (process attach).
void qelOpenContextList();

// Gives the calling thread a new context: on the list and in the slot. Null
// when there is no memory.
QelContext* qelCreateThreadContext();

// Frees the calling thread's context with its tables and empties the slot
// (thread detach). Once the list is closed, the context has been freed by
// process detach and is not touched.
void qelFreeThreadContext();

// Closes the list and frees every context on it with its tables: those of
// live threads and of threads that ended without thread detach (process
// detach). The calling thread's slot is emptied.
void qelFreeEveryContext();

// Deletes the list's lock, once no thread can reach it (process detach, after
// the slot is freed).
void qelCloseContextList();

// Frees every table and scratch buffer the context holds and empties the
// pointers; the context itself stays.
void qelReleaseContextTables(QelContext* context);
