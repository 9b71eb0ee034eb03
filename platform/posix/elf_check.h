// SPDX-License-Identifier: MIT
// Whether a file is a complete shared object this process can map: the
// front library checks a variant's file with it before handing it to the
// dynamic loader, which would fault on a truncated one.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel::platform {

// Exactly `size` bytes of `fd` at `offset`, or false (an error or the end of
// the file first).
bool readAt(int fd, void* buffer, std::size_t size, std::uint64_t offset);

// True when the open file `fd` is a regular file holding an ELF shared object of this process's
// class, byte order and machine whose header tables and every segment's file
// range lie inside the file. Reads only through pread, in bounded pieces, and
// trusts nothing it reads: the file may change while it is read.
bool isCompleteElfLibrary(int fd);

}  // namespace qel::platform
