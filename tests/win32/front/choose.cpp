// SPDX-License-Identifier: MIT
// The application side of the front library's choice: run from a folder that
// holds it, Zentavol.dll and some variant DLLs, it loads "Zentavol" by name
// as an application does and reports, as its exit code, the index (0..5 in
// the name table) of the one variant then loaded, or 6 when the front
// library's load failed. Codes from 10 on name a broken promise: more than
// one variant left loaded, an export of the front library that does not jump
// to the chosen variant's function, a variant left loaded after unloading.
#include <windows.h>

#include "tests/win32/front/binding_check.h"

int main() {
    using zv::test::loadedVariant;
    if (loadedVariant() != -1) return 10;
    HMODULE front = LoadLibraryA("Zentavol");
    if (front == nullptr) return loadedVariant() == -1 ? 6 : 11;
    const int chosen = loadedVariant();
    if (chosen < 0) return 12;
    if (!zv::test::exportsJumpInto(front, GetModuleHandleA(zv::test::kVariantNames[chosen]))) return 13;
    if (!FreeLibrary(front)) return 15;
    if (loadedVariant() != -1) return 16;  // the front library unloads its variant
    return chosen;
}
