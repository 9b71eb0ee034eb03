/* SPDX-License-Identifier: MIT */
/* Whole-or-nothing replacement of a file: a failed write (a full disk, a
 * file size limit, an I/O error) removes the temporary and never leaves a
 * plausible half-file where the target was, nor touches an earlier one. */
#define _POSIX_C_SOURCE 200809L
#include "replace.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

/* The permissions the target ends with: those of the file it replaces, or
 * those a newly created file would get (mkstemp's 0600 suits only the
 * temporary). */
static mode_t targetMode(const char* path) {
    struct stat existing;
    if (stat(path, &existing) == 0 && S_ISREG(existing.st_mode)) return existing.st_mode & 07777;
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

static void describe(const Replacement* r, int error, char* text, size_t textSize) {
    snprintf(text, textSize, "cannot write '%s': %s", r->path, strerror(error));
}

int replacementOpen(Replacement* r, const char* path, char* error, size_t errorSize) {
    memset(r, 0, sizeof *r);
    r->path = path;
    r->fd = -1;
    /* same folder, so that the rename stays within one file system */
    const char* slash = strrchr(path, '/');
    const int folder = slash != NULL ? (int)(slash - path + 1) : 0;
    const int length = snprintf(r->temporary, sizeof r->temporary, "%.*s.qelspectrum-XXXXXX", folder, path);
    if (length < 0 || (size_t)length >= sizeof r->temporary) {
        r->temporary[0] = '\0';
        describe(r, ENAMETOOLONG, error, errorSize);
        return -1;
    }
    r->fd = mkstemp(r->temporary);
    if (r->fd < 0) {
        r->temporary[0] = '\0';
        describe(r, errno, error, errorSize);
        return -1;
    }
    if (fchmod(r->fd, targetMode(path)) != 0) {
        const int failure = errno;
        replacementAbandon(r);
        describe(r, failure, error, errorSize);
        return -1;
    }
    return 0;
}

int replacementWrite(Replacement* r, const void* bytes, size_t size) {
    const char* next = (const char*)bytes;
    while (r->error == 0 && size > 0) {
        ssize_t written = write(r->fd, next, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            /* a write of nothing with no error would repeat for ever */
            r->error = written < 0 ? errno : EIO;
            break;
        }
        next += written;
        size -= (size_t)written;
    }
    return r->error == 0 ? 0 : -1;
}

void replacementAbandon(Replacement* r) {
    if (r->fd >= 0) close(r->fd);
    r->fd = -1;
    if (r->temporary[0] != '\0') unlink(r->temporary);
    r->temporary[0] = '\0';
}

int replacementCommit(Replacement* r, char* error, size_t errorSize) {
    /* the bytes reach the disk before the name does, or a crash could leave
     * an empty file under the target's name; EINVAL: a file system without
     * the call, where there is nothing to wait for */
    if (r->error == 0 && fsync(r->fd) != 0 && errno != EINVAL) r->error = errno;
    /* some file systems report a failed write only here */
    if (close(r->fd) != 0 && r->error == 0) r->error = errno;
    r->fd = -1;
    if (r->error == 0 && rename(r->temporary, r->path) != 0) r->error = errno;
    if (r->error != 0) {
        const int failure = r->error;
        replacementAbandon(r);
        describe(r, failure, error, errorSize);
        return -1;
    }
    r->temporary[0] = '\0';
    return 0;
}
