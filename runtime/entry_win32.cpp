// SPDX-License-Identifier: MIT
// DllMain of the variant libraries (Zentavol<code>.dll): the four loader
// notifications go to the load and unload handling of runtime/lifecycle.
#include <windows.h>

#include "platform/platform.h"
#include "runtime/lifecycle.h"

static_assert(QEL_PROCESS_DETACH == DLL_PROCESS_DETACH && QEL_PROCESS_ATTACH == DLL_PROCESS_ATTACH &&
              QEL_THREAD_ATTACH == DLL_THREAD_ATTACH && QEL_THREAD_DETACH == DLL_THREAD_DETACH);

// DllMain's reserved word tells the end of the process from an unload.
void qel::watchForProcessEnd() {}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    // At process exit (reserved not null) the other threads are gone, one may
    // have died holding the list lock, and the system takes back the memory:
    // nothing is freed then. FreeLibrary (reserved null) frees everything.
    if (reason == DLL_PROCESS_DETACH && reserved != nullptr) return TRUE;
    const bool ok = qelVariantNotify(static_cast<int>(reason));
    // A refused attach gives back what it took (the slot) before the load
    // fails; the detach the loader may still send then finds nothing to do.
    if (!ok && reason == DLL_PROCESS_ATTACH) qelVariantNotify(QEL_PROCESS_DETACH);
    return ok ? TRUE : FALSE;
}
