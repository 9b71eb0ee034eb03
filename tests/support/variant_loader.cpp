// SPDX-License-Identifier: MIT
// Library loading for the black-box suites.
#include "tests/support/variant_loader.h"

#include <map>
#include <sstream>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace zv::test {

namespace {

#if defined(_WIN32)
// The DLLs are built beside the test programs, so the folder is the
// program's own; it holds under Wine and on Windows wherever the folder is.
std::string libraryDir() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, length);
    const auto slash = dir.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
}
#endif

}  // namespace

void* loadLibraryFile(const std::string& path) {
#if defined(_WIN32)
    return reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
#else
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
}

void* findExport(void* handle, const char* name) {
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
#else
    return dlsym(handle, name);
#endif
}

bool unloadLibrary(void* handle) {
#if defined(_WIN32)
    return FreeLibrary(static_cast<HMODULE>(handle)) != FALSE;
#else
    return dlclose(handle) == 0;
#endif
}

bool libraryLoaded(const std::string& path) {
#if defined(_WIN32)
    return GetModuleHandleA(path.c_str()) != nullptr;
#else
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr) dlclose(handle);
    return handle != nullptr;
#endif
}

std::string libraryPath(const std::string& code) {
    const std::string file = code == "front" ? std::string("Zentavol") : "Zentavol" + code;
#if defined(_WIN32)
    return libraryDir() + "\\" + file + ".dll";
#else
    return std::string(ZV_LIBRARY_DIR) + "/lib" + file + ".so";
#endif
}

const LibraryApi* openLibrary(const std::string& code) {
    static std::map<std::string, LibraryApi> opened;
    auto found = opened.find(code);
    if (found != opened.end()) return &found->second;
    void* handle = loadLibraryFile(libraryPath(code));
    if (handle == nullptr) return nullptr;
    LibraryApi api;
    api.name = code;
    api.handle = handle;
#define ZV_EXPORT(ordinal, fn) api.fn = reinterpret_cast<decltype(api.fn)>(findExport(handle, #fn));
#include "runtime/export_list.h"
#undef ZV_EXPORT
    return &opened.emplace(code, api).first->second;
}

std::vector<std::string> builtVariants() {
    std::vector<std::string> codes;
    std::istringstream list(ZV_VARIANT_CODES);
    for (std::string code; std::getline(list, code, ',');)
        if (!code.empty()) codes.push_back(code);
    return codes;
}

}  // namespace zv::test
