// SPDX-License-Identifier: MIT
// An application linked to Zentavol.dll through its import library, as
// applications are: the loader loads the front library before main runs, and
// a failed front library keeps the program from starting at all. Exits with
// 0 when the front library's exports jump into the one loaded variant and a
// call through the import works, 20 and up otherwise.
#include <windows.h>

#include "tests/win32/front/binding_check.h"
#include "zentavol.h"

int main() {
    const int chosen = zv::test::loadedVariant();
    if (chosen < 0) return 20;
    if (!zv::test::exportsJumpInto(GetModuleHandleA("Zentavol"), GetModuleHandleA(zv::test::kVariantNames[chosen])))
        return 21;
    float v[3] = {0, 0, 0};
    qelsbSet(1.5f, v, 3);
    return v[0] == 1.5f && v[2] == 1.5f ? 0 : 22;
}
