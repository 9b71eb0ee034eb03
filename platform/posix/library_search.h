// SPDX-License-Identifier: MIT
// Where the dynamic loader would find a library the front library asks for by
// its bare file name, passing over files that are not complete libraries of
// this machine.
#pragma once

#include <cstddef>

namespace qel::platform {

// Fills `path` with the first complete library (isCompleteElfLibrary) called
// `file` along the search of a dlopen made by the front library: the
// folders of LD_LIBRARY_PATH, the front library's RUNPATH, the loader's cache,
// the loader's default folders. A missing, unreadable or damaged file, or
// one that is no regular file (a FIFO, a socket, a device, a folder), is
// passed over at once, as the loader passes over a library of another
// machine. False when no complete one is found or `path` is too short.
bool findLibraryFile(const char* file, char* path, std::size_t size);

// The path that the loader's cache `cacheFile` gives for `file` on this
// machine's class of libraries (entries for a processor-level subfolder
// excepted); false when the cache is unreadable, of an unknown form, or has
// no such entry.
bool cachedLibraryPath(const char* cacheFile, const char* file, char* path, std::size_t size);

}  // namespace qel::platform
