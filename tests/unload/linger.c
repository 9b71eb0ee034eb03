/* SPDX-License-Identifier: MIT */
/* A library whose destructor waits a moment. Loaded after a variant, it is
   finalised after it when the process ends, so threads still running then
   go on computing with whatever the variant's destructor left them. */
#include <time.h>

static long lingerMs;

__attribute__((visibility("default"))) void zvLingerAtExit(long ms) { lingerMs = ms; }

__attribute__((destructor)) static void linger(void) {
    struct timespec pause = {0, lingerMs * 1000000L};
    if (lingerMs > 0) nanosleep(&pause, 0);
}
