// Win32 backend of the front library's platform layer: GetVersionExA,
// LoadLibraryA (the loader's own search path, the application's folder
// first), GetProcAddress, FreeLibrary, MessageBeep, MessageBoxA and
// wsprintfA. Linked by Zentavol.dll.
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

ModuleHandle loadLibrary(const char* name) { return LoadLibraryA(name); }

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

}  // namespace qel::platform
