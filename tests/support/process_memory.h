// SPDX-License-Identifier: MIT
// What the process holds in memory, counted two ways: the bytes its
// allocators have handed out and not taken back, and its resident set.
#pragma once

#include <cstdint>

namespace zv::test {

// Bytes in live heap blocks: on Linux the C library's in-use bytes (the
// sanitizer's own count in an AddressSanitizer build), on Windows the busy
// blocks of every heap of the process, LocalAlloc's and the C runtime's.
std::int64_t allocatedBytes();

// The resident set (Linux) or working set (Windows) in bytes; -1 where the
// number would not measure the program (an AddressSanitizer build keeps
// freed blocks in quarantine).
std::int64_t residentBytes();

}  // namespace zv::test
