/* SPDX-License-Identifier: MIT */
/* Goes through the front library as an application does: links only
 * libZentavol.so, reports which variant library the process was given for
 * this machine, and runs a few calls through the forwarded exports. */
#define _GNU_SOURCE
#include <link.h>
#include <stdio.h>
#include <string.h>

#include "zentavol.h"

/* The variant is the one library named libZentavol<code>.so in the process. */
static int reportVariant(struct dl_phdr_info* info, size_t size, void* data) {
    (void)size;
    const char* slash = strrchr(info->dlpi_name, '/');
    const char* base = slash != NULL ? slash + 1 : info->dlpi_name;
    if (strncmp(base, "libZentavol", 11) == 0 && base[11] != '.') {
        printf("libZentavol.so runs on %s\n", base);
        ++*(int*)data;
    }
    return 0;
}

int main(void) {
    int variants = 0;
    dl_iterate_phdr(reportVariant, &variants);
    if (variants != 1) {
        fprintf(stderr, "front_demo: expected one variant library, found %d\n", variants);
        return 1;
    }

    enum { N = 6 };
    float* v = (float*)qelMalloc(N * (int)sizeof(float));
    if (v == NULL) {
        fprintf(stderr, "front_demo: out of memory\n");
        return 1;
    }
    qelsbSet(1.5f, v, N);
    qelsbAdd1(-4.0f, v, 3);
    qelsbMpy1(2.0f, v, N);
    printf("values:");
    for (int i = 0; i < N; ++i) printf(" %.2f", v[i]);
    printf("\nqelsMax %.2f, qelsMin %.2f\n", qelsMax(v, N), qelsMin(v, N));
    qelFree(v);
    return 0;
}
