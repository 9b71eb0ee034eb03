// SPDX-License-Identifier: MIT
// The operating-system facilities the variant libraries use, shaped like the
// Win32 calls they stand for so that each backend is a thin file:
// platform/posix (pthread key and mutex, calloc, stderr) and platform/win32.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel::platform {

// A thread-local-storage slot; kTlsOutOfIndexes means "none allocated".
using TlsIndex = std::uint32_t;
inline constexpr TlsIndex kTlsOutOfIndexes = 0xFFFFFFFFu;

// What the slot's per-thread clean-up runs for a thread that ends with a
// value in the slot: the library's thread detach, registered at process
// attach before the slot is allocated. The POSIX backend calls it from the
// key's destructor; on Windows the loader sends thread detach to DllMain,
// and the handler is not needed.
using ThreadExitHandler = void (*)();
void setThreadExitHandler(ThreadExitHandler handler);

TlsIndex tlsAlloc();
void* tlsGetValue(TlsIndex index);
bool tlsSetValue(TlsIndex index, void* value);
// Deleting the slot also stops the per-thread clean-up at thread exit: once
// it returns, no thread will run the library's code for that slot again (the
// POSIX backend waits for destructors that had already begun).
bool tlsFree(TlsIndex index);

// The one lock of a variant library, around the list of every thread's
// context. It is taken only while a context is created or destroyed, never
// by a transform. It exists from initializeListLock at process attach to
// deleteListLock at process detach; both may be called again.
void initializeListLock();
void enterListLock();
void leaveListLock();
void deleteListLock();

// A fixed, zero-filled block and its release.
void* localAllocZeroInit(std::size_t bytes);
void localFree(void* block);

// The start of an environment variable's value, at most size - 1
// characters and a terminating zero; false (and "") when it is unset or
// empty. size >= 1.
bool getEnvironmentVariable(const char* name, char* buffer, std::size_t size);

// Ends the process at once after showing the message; runs no exit handlers.
[[noreturn]] void fatalAppExit(const char* message);

// The x87 precision of an export's work. The library's x87 arithmetic (the
// FFTs' combining stages, the power spectrum, the conversions) rounds its
// intermediate results to 64 bits, as on Linux, and the accelerated paths
// reproduce exactly that. Windows x64 starts every thread with 53-bit
// precision, so there an export that computes through the x87 unit holds one
// of these for the call: it sets 64-bit precision (the caller's rounding and
// exception masks stay) and gives the caller's control word back when the
// call returns. Elsewhere, the 32-bit Windows DLLs included, the caller's
// precision is kept and this does nothing.
std::uint32_t enterExtendedPrecision();
void leaveExtendedPrecision(std::uint32_t saved);

class ExtendedPrecision {
public:
    ExtendedPrecision() : saved_(enterExtendedPrecision()) {}
    ~ExtendedPrecision() { leaveExtendedPrecision(saved_); }
    ExtendedPrecision(const ExtendedPrecision&) = delete;
    ExtendedPrecision& operator=(const ExtendedPrecision&) = delete;

private:
    std::uint32_t saved_;
};

}  // namespace qel::platform
