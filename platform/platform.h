// The operating-system facilities the variant libraries use, shaped like the
// Win32 calls they stand for so that each backend is a thin file:
// platform/posix (pthread key, calloc, stderr) and platform/win32.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel::platform {

// A thread-local-storage slot; kTlsOutOfIndexes means "none allocated".
using TlsIndex = std::uint32_t;
inline constexpr TlsIndex kTlsOutOfIndexes = 0xFFFFFFFFu;

TlsIndex tlsAlloc();
void* tlsGetValue(TlsIndex index);
bool tlsSetValue(TlsIndex index, void* value);
bool tlsFree(TlsIndex index);

// A fixed, zero-filled block and its release.
void* localAllocZeroInit(std::size_t bytes);
void localFree(void* block);

// Ends the process at once after showing the message; runs no exit handlers.
[[noreturn]] void fatalAppExit(const char* message);

}  // namespace qel::platform
