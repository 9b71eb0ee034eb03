/* SPDX-License-Identifier: MIT */
/* The sixteen exports of libZentavol on x86-64, generated from the export
 * list: each is a single indirect jump through its entry slot, with no frame
 * and no check, so the caller's arguments, return address and result pass
 * to the variant's function untouched. */

#if defined(_WIN32)

/* PE/COFF: the symbol is declared a function through .def; a stub that
 * leaves the stack as it found it needs no unwind data (Windows takes a
 * function without any for a leaf, its return address at RSP). */
#define ZV_EXPORT(ordinal, name)                          \
    .globl name;                                          \
    .def name; .scl 2; .type 32; .endef;                  \
    .p2align 4;                                           \
name:                                                     \
    jmp *qelEntrySlots + 8 * ((ordinal) - 1)(%rip);

    .text
#include "runtime/export_list.h"

#else

#define ZV_EXPORT(ordinal, name)                          \
    .globl name;                                          \
    .type name, @function;                                \
    .p2align 4;                                           \
name:                                                     \
    jmp *qelEntrySlots + 8 * ((ordinal) - 1)(%rip);       \
    .size name, . - name;

    .text
#include "runtime/export_list.h"

    .section .note.GNU-stack, "", @progbits

#endif
