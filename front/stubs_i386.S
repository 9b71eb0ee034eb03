/* SPDX-License-Identifier: MIT */
/* The sixteen exports of the front library on i386, generated from the
 * export list; each jumps through its entry slot with no frame and no check. */

/* A DLL's code is relocated by its loader, so there the stub is the single
 * jump. Position-independent ELF code first needs its own address, which a
 * call to a two-instruction thunk leaves in EAX: a scratch register that the
 * exports, all cdecl, never read on entry. The call and its return leave the
 * stack, and so the caller's arguments and return address, as they were. */

#if defined(_WIN32)

#define ZV_EXPORT(ordinal, name)                          \
    .globl _##name;                                       \
    .p2align 4;                                           \
_##name:                                                  \
    jmp *_qelEntrySlots + 4 * ((ordinal) - 1);

    .text
#include "runtime/export_list.h"

#else

#define ZV_EXPORT(ordinal, name)                          \
    .globl name;                                          \
    .type name, @function;                                \
    .p2align 4;                                           \
name:                                                     \
    call qelFrontPcThunk;                                 \
1:  jmp *(qelEntrySlots + 4 * ((ordinal) - 1) - 1b)(%eax); \
    .size name, . - name;

    .text
    .p2align 4
    .hidden qelFrontPcThunk
    .type qelFrontPcThunk, @function
qelFrontPcThunk:
    movl (%esp), %eax
    ret
    .size qelFrontPcThunk, . - qelFrontPcThunk

#include "runtime/export_list.h"

    .section .note.GNU-stack, "", @progbits

#endif
