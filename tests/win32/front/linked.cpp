// An application linked to Zentavol.dll through its import library, as
// applications are: the loader loads the front library before main runs, and
// a failed front library keeps the program from starting at all. Exits with
// 0 when a call through the import reached a loaded variant (the stand-ins'
// qelMalloc returns their module handle), 20 when it did not.
#include <windows.h>

#include <initializer_list>

#include "zentavol.h"

int main() {
    void* reached = qelMalloc(0);
    for (const char* name : {"Zentavolg1", "Zentavolg2", "Zentavoln1", "Zentavoln2", "Zentavols1", "Zentavols2"})
        if (HMODULE module = GetModuleHandleA(name); module != nullptr && module == reached) return 0;
    return 20;
}
