// SPDX-License-Identifier: MIT
// Win32 backend of the front library's platform layer: GetVersionExA,
// LoadLibraryA (the loader's own search path, the application's folder
// first), GetProcAddress, FreeLibrary, MessageBeep, MessageBoxA and
// wsprintfA.
#include "platform/front_platform.h"

#include <windows.h>

#include <cstring>

namespace qel::platform {

static_assert(sizeof(OSVERSIONINFOEXA) == kOsVersionInfoExSize);
static_assert(sizeof(OSVERSIONINFOA) == kOsVersionInfoSize);
static_assert(offsetof(OSVERSIONINFOEXA, dwPlatformId) == offsetof(OsVersionInfo, platformId));
static_assert(offsetof(OSVERSIONINFOEXA, wServicePackMajor) == offsetof(OsVersionInfo, servicePackMajor));
static_assert(offsetof(OSVERSIONINFOEXA, wProductType) == offsetof(OsVersionInfo, productType));
static_assert(kPlatformWin32Windows == VER_PLATFORM_WIN32_WINDOWS && kPlatformWin32Nt == VER_PLATFORM_WIN32_NT);
static_assert(kMbOk == MB_OK && kMbIconHand == MB_ICONHAND && kMbTaskModal == MB_TASKMODAL);

bool getVersionEx(OsVersionInfo* info) {
    if (info == nullptr) return false;
    // The system reads the size the caller chose and fills only that form.
    OSVERSIONINFOEXA version;
    std::memset(&version, 0, sizeof version);
    version.dwOSVersionInfoSize = info->size;
    if (info->size > sizeof version) return false;
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) return false;
    std::memcpy(info, &version, info->size);
    return true;
}

namespace {
// The system's error code of the last failed load; the front library loads
// from one thread only (its DllMain, or zentavol-which).
DWORD loadError = 0;
}  // namespace

ModuleHandle loadLibrary(const char* name) {
    HMODULE module = LoadLibraryA(name);
    loadError = module == nullptr ? GetLastError() : 0;
    return module;
}

void* getProcAddress(ModuleHandle module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

bool freeLibrary(ModuleHandle module) { return FreeLibrary(static_cast<HMODULE>(module)) != FALSE; }

void messageBeep(unsigned type) { MessageBeep(type); }

int messageBox(const char* text, const char* caption, unsigned style) {
    return MessageBoxA(nullptr, text, caption, style);
}

int formatText(char* buffer, std::size_t size, const char* format, const char* argument) {
    if (size == 0) return 0;
    // wsprintfA takes no size and writes at most 1024 characters and the
    // zero, so it formats into a buffer of that size and the part that fits
    // is copied out.
    char formatted[1025];
    const int length = wsprintfA(formatted, format, argument);
    const int kept = length < 0 ? 0 : (static_cast<std::size_t>(length) < size ? length : static_cast<int>(size - 1));
    lstrcpynA(buffer, formatted, kept + 1);
    return kept;
}

bool getEnvironmentVariable(const char* name, char* buffer, std::size_t size) {
    if (size == 0) return false;
    buffer[0] = '\0';
    const DWORD capacity = static_cast<DWORD>(size);
    const DWORD length = GetEnvironmentVariableA(name, buffer, capacity);
    if (length == 0) {
        buffer[0] = '\0';
        return false;
    }
    if (length >= capacity) {
        // Too long for the buffer, which the call left alone: read it whole
        // and keep its start.
        char* whole = static_cast<char*>(LocalAlloc(LMEM_FIXED, length));
        if (whole == nullptr) {
            lstrcpynA(buffer, "?", capacity);
            return true;
        }
        GetEnvironmentVariableA(name, whole, length);
        lstrcpynA(buffer, whole, capacity);
        LocalFree(whole);
    }
    return true;
}

// A Windows program never gains privileges from its file, as a set-user-ID
// one does: it runs with the token of whoever started it, whose environment
// it is.
bool isSecureProcess() { return false; }

void writeErrorLine(const char* text) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(error, text, static_cast<DWORD>(lstrlenA(text)), &written, nullptr);
    WriteFile(error, "\n", 1, &written, nullptr);
}

void describeLoadFailure(char* buffer, std::size_t size) {
    if (size == 0) return;
    const char* text = nullptr;
    switch (loadError) {
        case 0: text = ""; break;
        case ERROR_MOD_NOT_FOUND: text = "not found along the DLL search path"; break;
        case ERROR_DLL_INIT_FAILED: text = "its attach failed (DllMain refused)"; break;
        case ERROR_BAD_EXE_FORMAT: text = "not a valid 32-bit Windows DLL (damaged, or of another machine)"; break;
        default: break;
    }
    char formatted[64];
    if (text == nullptr) {
        wsprintfA(formatted, "Windows error %lu", static_cast<unsigned long>(loadError));
        text = formatted;
    }
    lstrcpynA(buffer, text, static_cast<int>(size));
}

bool moduleFileName(ModuleHandle module, char* buffer, std::size_t size) {
    if (module == nullptr || size == 0) return false;
    const DWORD length = GetModuleFileNameA(static_cast<HMODULE>(module), buffer, static_cast<DWORD>(size));
    return length > 0 && length < size;
}

}  // namespace qel::platform
