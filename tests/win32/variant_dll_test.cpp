// SPDX-License-Identifier: MIT
// Each variant DLL under the Windows loader: DllMain refuses the load when no
// TLS index is left, so LoadLibraryA returns null (the front library then
// tries the next variant), and a DLL that did load holds one index and gives
// it back when it is unloaded.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/variant_loader.h"
#include "zentavol.h"

namespace {

class VariantDllDeathTest : public ::testing::TestWithParam<std::string> {};

std::vector<DWORD> takeEveryTlsIndex() {
    std::vector<DWORD> taken;
    taken.reserve(2048);
    for (DWORD index; (index = TlsAlloc()) != TLS_OUT_OF_INDEXES;) taken.push_back(index);
    return taken;
}

// One load and unload cycle with every TLS index but one taken; run in a
// child process of its own, where the DLL is not loaded yet. Returns 0, or
// the number of the step that failed.
int refusedThenAcceptedLoad(const std::string& path) {
    if (GetModuleHandleA(path.c_str()) != nullptr) return 9;
    std::vector<DWORD> taken = takeEveryTlsIndex();
    if (taken.empty()) return 10;
    if (LoadLibraryA(path.c_str()) != nullptr) return 11;
    if (GetModuleHandleA(path.c_str()) != nullptr) return 12;  // not left loaded
    TlsFree(taken.back());
    HMODULE dll = LoadLibraryA(path.c_str());
    if (dll == nullptr) return 13;
    if (TlsAlloc() != TLS_OUT_OF_INDEXES) return 14;  // the DLL holds the index
    auto set = reinterpret_cast<decltype(&qelsbSet)>(reinterpret_cast<void*>(GetProcAddress(dll, "qelsbSet")));
    if (set == nullptr) return 15;
    float v[3] = {0, 0, 0};
    set(2.5f, v, 3);
    if (v[0] != 2.5f || v[2] != 2.5f) return 16;
    if (!FreeLibrary(dll)) return 17;
    if (TlsAlloc() == TLS_OUT_OF_INDEXES) return 18;  // given back at unload
    return 0;
}

TEST_P(VariantDllDeathTest, NoTlsIndexRefusesTheLoadAndUnloadGivesItsIndexBack) {
    const std::string path = zv::test::libraryPath(GetParam());
    EXPECT_EXIT(std::_Exit(refusedThenAcceptedLoad(path)), ::testing::ExitedWithCode(0), "");
}

// DllMain is the runtime's, the same in every build: it runs on one.
INSTANTIATE_TEST_SUITE_P(SharedCode, VariantDllDeathTest, ::testing::ValuesIn(zv::test::sharedCodeVariants()),
                         zv::test::variantName);

}  // namespace
