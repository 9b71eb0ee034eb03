// SPDX-License-Identifier: MIT
// The operating-system facilities the front library uses, shaped like the
// Win32 calls they stand for so that each backend is a thin file:
// platform/posix/front_platform.cpp (dlopen, stderr) and a Win32 one.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel::platform {

// The version record, laid out as the extended Win32 record (156 bytes); the
// plain record is its first 148 bytes. The caller sets `size` to say which
// form it passes, and a query may refuse a size it does not know.
struct OsVersionInfo {
    std::uint32_t size;
    std::uint32_t majorVersion;
    std::uint32_t minorVersion;
    std::uint32_t buildNumber;
    std::uint32_t platformId;
    char servicePack[128];
    std::uint16_t servicePackMajor;
    std::uint16_t servicePackMinor;
    std::uint16_t suiteMask;
    std::uint8_t productType;
    std::uint8_t reserved;
};

inline constexpr std::uint32_t kOsVersionInfoExSize = 156;
inline constexpr std::uint32_t kOsVersionInfoSize = 148;
static_assert(sizeof(OsVersionInfo) == kOsVersionInfoExSize);
static_assert(offsetof(OsVersionInfo, servicePackMajor) == kOsVersionInfoSize);

// Platform identifiers: only the Windows 95 family (1) can be an old system.
inline constexpr std::uint32_t kPlatformWin32Windows = 1;
inline constexpr std::uint32_t kPlatformWin32Nt = 2;
inline constexpr std::uint32_t kPlatformPosix = 0x10000;

// Message box styles and the beep type.
inline constexpr unsigned kMbOk = 0x0;
inline constexpr unsigned kMbIconHand = 0x10;
inline constexpr unsigned kMbTaskModal = 0x2000;

using ModuleHandle = void*;

// Fills the record up to info->size bytes; false when the size is refused
// or the version cannot be read.
bool getVersionEx(OsVersionInfo* info);

// Loads a library by its name without extension along the platform's search
// path; null when it is missing, cannot be loaded, or its own load handling
// refused to attach.
ModuleHandle loadLibrary(const char* name);

// The address of an exported function, or null.
void* getProcAddress(ModuleHandle module, const char* name);

bool freeLibrary(ModuleHandle module);

void messageBeep(unsigned type);

// Shows the text under the caption and returns when the user has seen it.
int messageBox(const char* text, const char* caption, unsigned style);

// Formats one string argument into the buffer, never writing more than size
// bytes (the terminating zero included); returns the length written.
int formatText(char* buffer, std::size_t size, const char* format, const char* argument);

// The value of an environment variable, cut to size - 1 characters; false
// (and an empty buffer) when it is unset or empty.
bool getEnvironmentVariable(const char* name, char* buffer, std::size_t size);

// True when the process runs with privileges its caller lacks (on POSIX
// systems set-user-ID or set-group-ID, or raised capabilities), so that its
// environment, set by that caller, must not choose the code it runs.
bool isSecureProcess();

// Writes the text and a line feed to the process's standard error, if it
// has one; a process without one loses the line.
void writeErrorLine(const char* text);

// Why the last loadLibrary that returned null failed, in a few words for a
// person ("not found along the search path", "its attach failed").
void describeLoadFailure(char* buffer, std::size_t size);

// The file a loaded module was mapped from; false when it cannot be told.
bool moduleFileName(ModuleHandle module, char* buffer, std::size_t size);

}  // namespace qel::platform
