// The per-thread record of a variant library and the slot that finds it.
// Every mutable datum of a variant lives here, so threads share nothing.
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
};

// The process-wide slot, set at process attach and only read afterwards.
extern qel::platform::TlsIndex qelTlsSlot;

// The calling thread's context, created on its first need; never null. A
// context that cannot be allocated ends the process.
QelContext* qelGetContext();

// Sets the three error fields to their defaults; null is ignored.
void qelInitContext(QelContext* context);

// A fresh zero-filled, initialised context, or null when there is no memory.
QelContext* qelNewContext();

// Frees every table and scratch buffer the context holds and empties the
// pointers; the context itself stays.
void qelReleaseContextTables(QelContext* context);
