// The application side of the front library's choice: run from a folder that
// holds it, Zentavol.dll and some variant DLLs, it loads "Zentavol" by name
// as an application does and reports, as its exit code, the index (0..5 in
// the name table) of the one variant then loaded, or 6 when the front
// library's load failed. Codes from 10 on name a broken promise: more than
// one variant left loaded, a call through the front library that does not
// reach the chosen variant, a variant left loaded after unloading.
#include <windows.h>

#include "zentavol.h"

namespace {

const char* const kVariantNames[6] = {"Zentavolg1", "Zentavolg2", "Zentavoln1",
                                      "Zentavoln2", "Zentavols1", "Zentavols2"};

int loadedVariant() {
    int found = -1;
    for (int i = 0; i < 6; ++i) {
        if (GetModuleHandleA(kVariantNames[i]) == nullptr) continue;
        if (found != -1) return -2;
        found = i;
    }
    return found;
}

}  // namespace

int main() {
    if (loadedVariant() != -1) return 10;
    HMODULE front = LoadLibraryA("Zentavol");
    if (front == nullptr) return loadedVariant() == -1 ? 6 : 11;
    const int chosen = loadedVariant();
    if (chosen < 0) return 12;
    // The stand-in variants' qelMalloc returns their module handle.
    auto malloc = reinterpret_cast<decltype(&qelMalloc)>(
        reinterpret_cast<void*>(GetProcAddress(front, "qelMalloc")));
    if (malloc == nullptr) return 13;
    if (malloc(0) != GetModuleHandleA(kVariantNames[chosen])) return 14;
    if (!FreeLibrary(front)) return 15;
    if (loadedVariant() != -1) return 16;  // the front library unloads its variant
    return chosen;
}
