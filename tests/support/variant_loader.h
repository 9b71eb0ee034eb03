// SPDX-License-Identifier: MIT
// Opens a library of the system by path, as an application would, and finds
// its sixteen exports; the black-box suites run once per variant through it
// (fixtures derived from VariantTest, instances named by variantName).
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/variant_traits.h"
#include "zentavol.h"

namespace zv::test {

struct LibraryApi {
    std::string name;  // a row's code, or "front"
    void* handle = nullptr;
#define ZV_EXPORT(ordinal, fn) decltype(&::fn) fn = nullptr;
#include "runtime/export_list.h"
#undef ZV_EXPORT
};

// The path of a library of the build by its code (or "front").
std::string libraryPath(const std::string& code);

// Loads the library (once per process) and looks up whichever of the
// sixteen names it exports; null when the file cannot be loaded.
const LibraryApi* openLibrary(const std::string& code);

// For suites that load and unload on their own: a new load of the file
// (null on failure), one of its exports, its unload, and whether the file is
// loaded in the process at all.
void* loadLibraryFile(const std::string& path);
void* findExport(void* handle, const char* name);
bool unloadLibrary(void* handle);
bool libraryLoaded(const std::string& path);

// The codes of the variant libraries this build made.
std::vector<std::string> builtVariants();

// One built variant for each distinct value of key(traits), the generic
// build first (in the order of builtVariants otherwise): for suites of shared
// code, which runs the same in builds that agree on the traits it depends on.
template <typename Key>
std::vector<std::string> oneVariantPer(Key key) {
    std::vector<std::string> codes = builtVariants();
    std::stable_partition(codes.begin(), codes.end(), [](const std::string& c) { return c == kGenericVariant; });
    std::vector<std::string> chosen;
    std::vector<decltype(key(traitsOf(codes.front())))> seen;
    for (const std::string& code : codes) {
        auto value = key(traitsOf(code));
        if (std::find(seen.begin(), seen.end(), value) == seen.end()) {
            seen.push_back(value);
            chosen.push_back(code);
        }
    }
    return chosen;
}

// The build for suites whose code no build changes (argument checks, the
// allocator, the library's lifecycle): the generic one.
inline std::vector<std::string> sharedCodeVariants() {
    return oneVariantPer([](const VariantTraits&) { return 0; });
}

// A black-box suite's fixture: the parameter is a variant's code, and each
// test starts with that library open (a library that cannot be loaded fails
// the test, naming its path).
class VariantTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        api = openLibrary(GetParam());
        ASSERT_NE(api, nullptr) << libraryPath(GetParam());
    }
    // Where the builds differ, what this one does.
    const VariantTraits& traits() const { return traitsOf(GetParam()); }

    const LibraryApi* api = nullptr;
};

// Names each instance of a test by its variant's code.
inline std::string variantName(const ::testing::TestParamInfo<std::string>& info) { return info.param; }

}  // namespace zv::test
