// SPDX-License-Identifier: MIT
// How a variant library tells the front library whether its process attach
// succeeded, on ELF systems where a constructor cannot fail its library's
// load: an ELF note names a word that holds the outcome. Written by the
// variants (runtime/entry_posix.cpp), read by libZentavol (front_platform.cpp).
#pragma once

// The note: owner "Zentavol" (with its terminating zero, 9 bytes), this
// type, and a 4-byte descriptor holding the signed distance from the
// descriptor itself to the outcome word. A distance rather than an address,
// so the linker settles it and the note needs no load-time relocation.
#define QEL_ATTACH_NOTE_OWNER "Zentavol"
#define QEL_ATTACH_NOTE_TYPE 0x5a56
#define QEL_ATTACH_NOTE_SECTION ".note.zentavol"

// Values of the outcome word.
#define QEL_ATTACH_PENDING 0u   // the constructor has not run (yet)
#define QEL_ATTACH_DONE 1u      // attached: the library may be used
#define QEL_ATTACH_REFUSED 2u   // attach failed and was undone
