/* SPDX-License-Identifier: MIT */
/* Files that qelspectrum writes are replaced whole or not at all: the bytes
 * go to a temporary file beside the target, which is renamed over it only
 * once everything is written, flushed and closed. */
#ifndef QELSPECTRUM_REPLACE_H
#define QELSPECTRUM_REPLACE_H

#include <stddef.h>

typedef struct Replacement {
    const char* path;     /* the target */
    char temporary[4096]; /* beside it, empty once renamed or removed */
    int fd;
    int error;            /* errno of the first failed write, 0 while all went well */
} Replacement;

/* Both return 0, or -1 with a one-line reason naming the target. */
int replacementOpen(Replacement* replacement, const char* path, char* error, size_t errorSize);
/* Puts the temporary in the target's place; on any failure the temporary
 * is removed and the target left as it was. */
int replacementCommit(Replacement* replacement, char* error, size_t errorSize);

/* Appends bytes; returns 0, or -1 after a failure (this one or an earlier
 * one), which replacementCommit then reports. */
int replacementWrite(Replacement* replacement, const void* bytes, size_t size);
/* Removes the temporary, leaving the target as it was. */
void replacementAbandon(Replacement* replacement);

#endif
