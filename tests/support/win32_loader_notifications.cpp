// SPDX-License-Identifier: MIT
// Windows unit programs link a variant's static core into the .exe, where the
// loader never calls the core's DllMain. A TLS callback of the program gets
// the same four notifications (process attach before main, thread attach and
// detach for every thread, process detach at exit) and hands them to it, so
// the unit suites run the core as the DLL runs.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

namespace {

void NTAPI forwardToDllMain(PVOID instance, DWORD reason, PVOID reserved) {
    DllMain(static_cast<HINSTANCE>(instance), reason, reserved);
}

}  // namespace

// The C runtime's TLS directory runs every callback placed between its
// .CRT$XLA and .CRT$XLZ markers.
extern "C" __attribute__((section(".CRT$XLF"), used))
const PIMAGE_TLS_CALLBACK zvForwardLoaderNotifications = forwardToDllMain;
