// SPDX-License-Identifier: MIT
// The fake platform of the front library's unit tests (see fake_platform.h);
// linked instead of a real backend.
#include "tests/front/fake_platform.h"

#include <cstdio>
#include <cstring>

#include "platform/front_platform.h"

namespace zv::test {

namespace {
FakeSystem& system() {
    static FakeSystem instance;
    return instance;
}

// Stable storage behind handles and addresses.
std::map<std::string, char>& handles() {
    static std::map<std::string, char> storage;
    return storage;
}
std::map<std::string, char>& addresses() {
    static std::map<std::string, char> storage;
    return storage;
}
}  // namespace

FakeSystem& fakeSystem() { return system(); }

void resetFakeSystem() { system() = FakeSystem{}; }

void* fakeAddress(const std::string& library, const std::string& name) {
    return &addresses()[library + "/" + name];
}

std::string fakeLibraryName(void* handle) {
    for (auto& [name, storage] : handles())
        if (&storage == handle) return name;
    return "";
}

}  // namespace zv::test

namespace qel::platform {

using zv::test::fakeSystem;

bool getVersionEx(OsVersionInfo* info) {
    fakeSystem().versionSizesAsked.push_back(info->size);
    auto found = fakeSystem().versionAnswers.find(info->size);
    if (found == fakeSystem().versionAnswers.end() || !found->second.accepted) return false;
    info->platformId = found->second.platformId;
    info->majorVersion = found->second.majorVersion;
    info->minorVersion = found->second.minorVersion;
    return true;
}

ModuleHandle loadLibrary(const char* name) {
    fakeSystem().loadRequests.push_back(name);
    if (fakeSystem().present.count(name) == 0) return nullptr;
    return &zv::test::handles()[name];
}

void* getProcAddress(ModuleHandle module, const char* name) {
    fakeSystem().lookups.push_back(name);
    const std::string library = zv::test::fakeLibraryName(module);
    auto found = fakeSystem().present.find(library);
    if (found == fakeSystem().present.end() || found->second.count(name) != 0) return nullptr;
    return zv::test::fakeAddress(library, name);
}

bool freeLibrary(ModuleHandle module) {
    fakeSystem().freed.push_back(zv::test::fakeLibraryName(module));
    return true;
}

void messageBeep(unsigned type) { fakeSystem().events.push_back("beep " + std::to_string(type)); }

int messageBox(const char* text, const char* caption, unsigned style) {
    fakeSystem().events.push_back(std::string("box ") + caption);
    fakeSystem().messages.push_back({text, caption, style});
    return 1;
}

int formatText(char* buffer, std::size_t size, const char* format, const char* argument) {
    return std::snprintf(buffer, size, format, argument);
}

bool getEnvironmentVariable(const char* name, char* buffer, std::size_t size) {
    auto found = fakeSystem().environment.find(name);
    const std::string value = found == fakeSystem().environment.end() ? "" : found->second;
    std::snprintf(buffer, size, "%s", value.c_str());
    return !value.empty();
}

bool isSecureProcess() { return fakeSystem().secureProcess; }

void writeErrorLine(const char* text) { fakeSystem().errorLines.push_back(text); }

void describeLoadFailure(char* buffer, std::size_t size) { std::snprintf(buffer, size, "not present"); }

bool moduleFileName(ModuleHandle module, char* buffer, std::size_t size) {
    std::snprintf(buffer, size, "/fake/%s", zv::test::fakeLibraryName(module).c_str());
    return true;
}

}  // namespace qel::platform
