/* SPDX-License-Identifier: MIT */
/* The application of the front library's black-box tests: linked against
 * libZentavol.so as any program is, it prints which variant library the
 * process loaded, what each of the sixteen calls answered, and (on x86-64)
 * whether every export's slot holds the variant's address of the same name. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <link.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "zentavol.h"

static char variantPath[4096];

static int findVariant(struct dl_phdr_info* info, size_t size, void* data) {
    (void)size;
    (void)data;
    const char* slash = strrchr(info->dlpi_name, '/');
    const char* base = slash != NULL ? slash + 1 : info->dlpi_name;
    if (strncmp(base, "libZentavol", 11) == 0 && base[11] != '.') {
        printf("loaded %s\n", base);
        snprintf(variantPath, sizeof variantPath, "%s", info->dlpi_name);
    }
    return 0;
}

typedef union {
    char text[64];
    float f[16];
    SComplex c[8];
} Reply;

static void show(const char* name, const Reply* reply) { printf("reply %s: %.64s\n", name, reply->text); }

static void callEveryExport(void) {
    const float in[2] = {1.5f, 0.0f};
    const SComplex cin[1] = {{2.5f, -3.5f}};
    const int iin[1] = {-7};
    Reply r;

    printf("reply qelMalloc: %.64s\n", (const char*)qelMalloc(48));
    qelFree(r.text), show("qelFree", &r);
    qelcFft(r.c, 5, 33), show("qelcFft", &r);
    qelsRealFftNip(in, r.c, 6, 130), show("qelsRealFftNip", &r);
    qelsbSet(2.25f, r.f, 7), show("qelsbSet", &r);
    qelsbAdd1(-0.5f, r.f, 8), show("qelsbAdd1", &r);
    qelsbAdd2(in, r.f, 9), show("qelsbAdd2", &r);
    qelsbMpy1(3.75f, r.f, 10), show("qelsbMpy1", &r);
    qelsbMpy2(in, r.f, 11), show("qelsbMpy2", &r);
    qelcbConjExtend1(r.c, 12), show("qelcbConjExtend1", &r);
    qelcbReal(cin, r.f, 13), show("qelcbReal", &r);
    qelcbMag(cin, r.f, 14), show("qelcbMag", &r);
    printf("reply qelsMax: %.1f\n", (double)qelsMax(in, 3));
    printf("reply qelsMin: %.1f\n", (double)qelsMin(in, 5));
    qelsbFloatToInt(in, r.text, 15, 16, 0x1080), show("qelsbFloatToInt", &r);
    qelsbIntToFloat(iin, r.f, 17, 32, 0x800), show("qelsbIntToFloat", &r);
}

/* Each stub is "jmp *disp32(%rip)": read the slot it jumps through. */
static void checkSlots(void) {
#if defined(__x86_64__)
    static const char* const names[] = {
#define ZV_EXPORT(ordinal, name) #name,
#include "runtime/export_list.h"
#undef ZV_EXPORT
    };
    void* front = dlopen(ZV_FRONT_SONAME, RTLD_NOW | RTLD_NOLOAD);
    void* variant = dlopen(variantPath, RTLD_NOW | RTLD_NOLOAD);
    if (front == NULL || variant == NULL) {
        printf("slots unchecked: libraries not found\n");
        return;
    }
    int matching = 0;
    for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i) {
        const unsigned char* stub = (const unsigned char*)dlsym(front, names[i]);
        int32_t displacement;
        if (stub == NULL || stub[0] != 0xFF || stub[1] != 0x25) {
            printf("slot %s: not a jump through a slot\n", names[i]);
            continue;
        }
        memcpy(&displacement, stub + 2, sizeof displacement);
        void* const* slot = (void* const*)(stub + 6 + displacement);
        if (*slot == dlsym(variant, names[i]))
            ++matching;
        else
            printf("slot %s: %p, the variant's function is at %p\n", names[i], *slot, dlsym(variant, names[i]));
    }
    printf("slots matching %d\n", matching);
    dlclose(variant);
    dlclose(front);
#else
    printf("slots unchecked\n");
#endif
}

int main(int argc, char** argv) {
    dl_iterate_phdr(findVariant, NULL);
    if (argc > 1 && strcmp(argv[1], "calls") == 0) callEveryExport();
    checkSlots();
    return 0;
}
