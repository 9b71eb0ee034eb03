/* SPDX-License-Identifier: MIT */
/* A stand-in variant library for the front library's tests, built once per
 * variant name (and once without qelsMin): each export answers with the
 * library's name, its own name and the arguments it received, so a test sees
 * which function of which library a call through the front library reached. */
#include <stdarg.h>
#include <stdio.h>

#include "zentavol.h"

#define TV_EXPORT __attribute__((visibility("default")))

/* Every reply buffer the test application passes holds 64 bytes. */
#define TV_REPLY(dst, ...) tvReply((char*)(dst), __VA_ARGS__)

__attribute__((format(printf, 2, 3))) static void tvReply(char* dst, const char* format, ...) {
    char text[48];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    snprintf(dst, 64, "%s %s", ZV_TV_NAME, text);
}

__attribute__((constructor)) static void tvAttach(void) {
    fprintf(stderr, "%s attached\n", ZV_TV_NAME);
}

TV_EXPORT void* qelMalloc(int bytes) {
    static char reply[64];
    TV_REPLY(reply, "qelMalloc %d", bytes);
    return reply;
}

TV_EXPORT void qelFree(void* block) { TV_REPLY(block, "qelFree"); }

TV_EXPORT void qelcFft(SComplex* samps, int order, int flags) {
    TV_REPLY(samps, "qelcFft %d %d", order, flags);
}

TV_EXPORT void qelsRealFftNip(const float* inSamps, SComplex* outSamps, int order, int flags) {
    TV_REPLY(outSamps, "qelsRealFftNip %g %d %d", (double)inSamps[0], order, flags);
}

TV_EXPORT void qelsbSet(float value, float* dst, int n) { TV_REPLY(dst, "qelsbSet %g %d", (double)value, n); }
TV_EXPORT void qelsbAdd1(float value, float* dst, int n) { TV_REPLY(dst, "qelsbAdd1 %g %d", (double)value, n); }
TV_EXPORT void qelsbMpy1(float value, float* dst, int n) { TV_REPLY(dst, "qelsbMpy1 %g %d", (double)value, n); }
TV_EXPORT void qelsbAdd2(const float* src, float* dst, int n) {
    TV_REPLY(dst, "qelsbAdd2 %g %d", (double)src[0], n);
}
TV_EXPORT void qelsbMpy2(const float* src, float* dst, int n) {
    TV_REPLY(dst, "qelsbMpy2 %g %d", (double)src[0], n);
}

TV_EXPORT void qelcbConjExtend1(SComplex* vec, int n) { TV_REPLY(vec, "qelcbConjExtend1 %d", n); }
TV_EXPORT void qelcbReal(const SComplex* src, float* dst, int n) {
    TV_REPLY(dst, "qelcbReal %g %d", (double)src[0].im, n);
}
TV_EXPORT void qelcbMag(const SComplex* src, float* mag, int n) {
    TV_REPLY(mag, "qelcbMag %g %d", (double)src[0].re, n);
}

/* The reductions answer in their result: 1000 * (10 * id + 1 or 2) plus
 * vec[0] * len, exact in single precision for the test's small values. */
TV_EXPORT float qelsMax(const float* vec, int len) {
    return (float)(1000 * (10 * ZV_TV_ID + 1)) + vec[0] * (float)len;
}
#if !defined(ZV_TV_WITHOUT_QELSMIN)
TV_EXPORT float qelsMin(const float* vec, int len) {
    return (float)(1000 * (10 * ZV_TV_ID + 2)) + vec[0] * (float)len;
}
#endif

TV_EXPORT void qelsbFloatToInt(const float* src, void* dst, int len, int size, int flags) {
    TV_REPLY(dst, "qelsbFloatToInt %g %d %d %d", (double)src[0], len, size, flags);
}
TV_EXPORT void qelsbIntToFloat(const void* src, float* dst, int len, int size, int flags) {
    TV_REPLY(dst, "qelsbIntToFloat %d %d %d %d", *(const int*)src, len, size, flags);
}
