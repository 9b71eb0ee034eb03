// SPDX-License-Identifier: MIT
// Win32 backend of the platform layer of the variant libraries: a TLS index
// for the context slot, a critical section for the list lock,
// LocalAlloc(LMEM_ZEROINIT) blocks for the contexts and FatalAppExitA for the
// one fatal exit.
#include "platform/platform.h"

#include <windows.h>

#include "platform/fp_env.h"

namespace qel::platform {

static_assert(kTlsOutOfIndexes == TLS_OUT_OF_INDEXES);

// Thread detach comes to DllMain from the loader.
void setThreadExitHandler(ThreadExitHandler) {}

TlsIndex tlsAlloc() { return TlsAlloc(); }

void* tlsGetValue(TlsIndex index) { return TlsGetValue(index); }

bool tlsSetValue(TlsIndex index, void* value) { return TlsSetValue(index, value) != FALSE; }

// TlsFree also empties the slot in every thread, and the loader sends thread
// detach of an unloaded DLL to no thread, so nothing more is needed here.
bool tlsFree(TlsIndex index) { return TlsFree(index) != FALSE; }

namespace {
// A critical section: it exists on every Windows the front library accepts.
CRITICAL_SECTION listLock;
bool listLockLive = false;
}  // namespace

void initializeListLock() {
    if (listLockLive) return;
    InitializeCriticalSection(&listLock);
    listLockLive = true;
}

void enterListLock() { EnterCriticalSection(&listLock); }

void leaveListLock() { LeaveCriticalSection(&listLock); }

void deleteListLock() {
    if (!listLockLive) return;
    DeleteCriticalSection(&listLock);
    listLockLive = false;
}

void* localAllocZeroInit(std::size_t bytes) { return LocalAlloc(LMEM_ZEROINIT, bytes); }

void localFree(void* block) { LocalFree(block); }

bool getEnvironmentVariable(const char* name, char* buffer, std::size_t size) {
    buffer[0] = '\0';
    const DWORD capacity = static_cast<DWORD>(size);
    const DWORD length = GetEnvironmentVariableA(name, buffer, capacity);
    if (length < capacity) return length != 0;
    // Too long for the buffer, which the call left alone: read it whole and
    // keep its start (a value grown in between reads as unset).
    char* whole = static_cast<char*>(LocalAlloc(LMEM_FIXED, length));
    if (whole == nullptr) return false;
    const DWORD again = GetEnvironmentVariableA(name, whole, length);
    const bool read = again != 0 && again < length;
    if (read) lstrcpynA(buffer, whole, static_cast<int>(capacity));
    LocalFree(whole);
    return read;
}

#if defined(_WIN64)
// Bit 16 marks a word to restore; a caller already at 64-bit precision (the
// precision-control field, bits 8 and 9, both set) costs one fnstcw.
std::uint32_t enterExtendedPrecision() {
    const std::uint16_t word = fp::x87ControlWord();
    if ((word & fp::kX87PrecisionField) == fp::kX87Precision64) return 0;
    fp::setX87ControlWord(static_cast<std::uint16_t>((word & ~fp::kX87PrecisionField) | fp::kX87Precision64));
    return 0x10000u | word;
}

void leaveExtendedPrecision(std::uint32_t saved) {
    if (saved == 0) return;
    fp::setX87ControlWord(static_cast<std::uint16_t>(saved));
}
#else
std::uint32_t enterExtendedPrecision() { return 0; }

void leaveExtendedPrecision(std::uint32_t) {}
#endif

void fatalAppExit(const char* message) {
    FatalAppExitA(0, message);
    // FatalAppExitA does not return; should a system let it, the process
    // still must not go on without its context.
    ExitProcess(1);
}

}  // namespace qel::platform
