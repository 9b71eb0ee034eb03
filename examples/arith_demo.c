/* SPDX-License-Identifier: MIT */
/* Scales and offsets a short ramp with the library's arithmetic and prints
 * each step: the smallest complete use of aligned memory and the vector
 * operations. */
#include <stdint.h>
#include <stdio.h>

#include "zentavol.h"

static void show(const char* what, const float* v, int n) {
    printf("%-28s", what);
    for (int i = 0; i < n; ++i) printf(" %8.3f", v[i]);
    printf("\n");
}

int main(void) {
    enum { N = 8 };
    float* ramp = (float*)qelMalloc(N * (int)sizeof(float));
    float* gain = (float*)qelMalloc(N * (int)sizeof(float));
    if (ramp == NULL || gain == NULL) {
        fprintf(stderr, "arith_demo: out of memory\n");
        return 1;
    }
    printf("qelMalloc gave 32-byte aligned blocks: %s\n",
           ((uintptr_t)ramp % 32 == 0 && (uintptr_t)gain % 32 == 0) ? "yes" : "no");

    qelsbSet(0.0f, ramp, N);
    show("qelsbSet 0", ramp, N);
    for (int i = 0; i < N; ++i) ramp[i] = (float)i;
    show("ramp 0..7", ramp, N);
    qelsbMpy1(0.5f, ramp, N);
    show("qelsbMpy1 by 0.5", ramp, N);
    qelsbAdd1(-1.0f, ramp, N);
    show("qelsbAdd1 -1", ramp, N);
    qelsbSet(2.0f, gain, N);
    qelsbMpy2(gain, ramp, N);
    show("qelsbMpy2 by a vector of 2", ramp, N);
    qelsbAdd2(ramp, ramp, N);
    show("qelsbAdd2 onto itself", ramp, N);

    qelFree(ramp);
    qelFree(gain);
    return 0;
}
