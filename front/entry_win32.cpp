// SPDX-License-Identifier: MIT
// DllMain of the front library Zentavol.dll: process attach chooses, loads and
// binds a variant, and refuses the front library's load when that fails, so
// LoadLibraryA("Zentavol") returns null and an application linked to it does
// not start.
#include <windows.h>

#include "front/loader.h"
#include "platform/process_events.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    const bool ok = qelFrontNotify(static_cast<int>(reason));
    // A refused attach frees the variant it loaded before the load fails,
    // whether or not the loader then sends the detach (which finds nothing
    // left to do).
    if (!ok && reason == DLL_PROCESS_ATTACH) qelFrontNotify(QEL_PROCESS_DETACH);
    return ok ? TRUE : FALSE;
}
