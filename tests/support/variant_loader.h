// Opens a library of the system by path, as an application would, and finds
// its sixteen exports; the black-box suites run once per variant through it.
#pragma once

#include <string>
#include <vector>

#include "zentavol.h"

namespace zv::test {

struct LibraryApi {
    std::string name;  // "g1", ..., or "front"
    void* handle = nullptr;
#define ZV_EXPORT(ordinal, fn) decltype(&::fn) fn = nullptr;
#include "runtime/export_list.h"
#undef ZV_EXPORT
};

// The path of a library of the build by its code ("g1", ..., "front").
std::string libraryPath(const std::string& code);

// Loads the library (once per process) and looks up whichever of the
// sixteen names it exports; null when the file cannot be loaded.
const LibraryApi* openLibrary(const std::string& code);

// The codes of the variant libraries this build made.
std::vector<std::string> builtVariants();

}  // namespace zv::test
