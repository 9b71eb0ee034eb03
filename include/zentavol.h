/* SPDX-License-Identifier: MIT */
/* Zentavol: single-precision signal processing with a C interface.
 *
 * Every function is exported by the front library (libZentavol / Zentavol.dll)
 * and by each variant library; the front library forwards each call to the
 * variant it chose for the processor when it was loaded (docs/reference.md).
 *
 * Conventions that hold for every function below:
 *  - Vectors belong to the caller, need no alignment (blocks from qelMalloc
 *    are 32-byte aligned, which the SIMD builds use best) and are not kept
 *    after the call returns. Lengths count elements (SComplex elements for
 *    complex vectors) as a signed int.
 *  - Arguments are checked in the order listed for each function. The first
 *    failed check ends the process with exit code 1 through the C run-time's
 *    exit (atexit handlers run) and prints nothing; no output has been
 *    written by then. A call that returns has succeeded. The conversions
 *    also end the process for an out-of-range element when asked to report
 *    it (QEL_CVT_REPORT).
 *  - Threads: no function takes a lock. Any number of threads may call any
 *    function at once on distinct data; two threads must not write the same
 *    vector at once. Each thread has its own state: the FFT tables it builds
 *    are cached for that thread only, freed by QEL_FFT_RELEASE or when the
 *    thread ends. Results do not depend on which thread computes them.
 *  - Results are the same in every variant up to floating-point rounding,
 *    except where a function says otherwise. */
#ifndef ZENTAVOL_H
#define ZENTAVOL_H

#ifdef __cplusplus
extern "C" {
#endif

/* A single-precision complex value: real part first, 8 bytes. */
typedef struct SComplex {
    float re;
    float im;
} SComplex;

/* Flags of qelcFft and qelsRealFftNip (bits not listed are ignored). */
#define QEL_FFT_FORWARD          1   /* exponent -2*pi*i*j*k/n */
#define QEL_FFT_INVERSE          2   /* exponent +2*pi*i*j*k/n, result scaled by 1/n */
#define QEL_FFT_INIT_ONLY        4   /* build this thread's tables of the order, transform nothing */
#define QEL_FFT_RELEASE          8   /* free this thread's tables of the order, check nothing */
#define QEL_FFT_NO_SCALE         16  /* with QEL_FFT_INVERSE: leave out the 1/n */
#define QEL_FFT_NATURAL_ORDER    32  /* qelcFft: input and output in natural order (the default) */
#define QEL_FFT_INPUT_REVERSED   64  /* qelcFft: input in bit-reversed order, output natural */
#define QEL_FFT_OUTPUT_REVERSED  128 /* qelcFft: input natural, output left bit-reversed */

/* Flags of qelsbFloatToInt and qelsbIntToFloat. */
#define QEL_CVT_NEAREST   0x80   /* round to nearest, ties to even */
#define QEL_CVT_TRUNCATE  0x100  /* round toward zero */
#define QEL_CVT_FLOOR     0x200  /* round toward minus infinity */
#define QEL_CVT_CEIL      0x400  /* round toward plus infinity */
#define QEL_CVT_UNSIGNED  0x800  /* the integers are unsigned */
#define QEL_CVT_SATURATE  0x1000 /* store an out-of-range element as the type's minimum or maximum */
#define QEL_CVT_REPORT    0x2000 /* end the process at an out-of-range element */

/* ---- Memory ----------------------------------------------------------------
 *
 * qelMalloc(bytes): a block of at least `bytes` bytes whose address is a
 * multiple of 32, uninitialised. Returns null, and reports nothing, when the
 * heap has no room, for a negative count, or when the request does not fit
 * the address space. bytes = 0 gives a valid block that qelFree accepts.
 *
 * qelFree(block): releases a block from qelMalloc; null does nothing. Any
 * other pointer, or a block freed twice, is undefined behaviour (it is not
 * checked).
 *
 * Neither function checks arguments in the sense above; both may be called
 * from any thread, and a block may be freed by a thread other than the one
 * that allocated it. */
void* qelMalloc(int bytes);
void qelFree(void* block);

/* ---- Transforms ------------------------------------------------------------
 * n = 2^order points, 0 <= order <= 31. The largest order transformed is 29
 * with 64-bit pointers and 27 on 32-bit Windows, memory permitting (the
 * tables of an order take about as much memory as its data); a larger order
 * up to 31 ends the process with exit code 1 as out of memory, at once,
 * before any table is built. */

/* qelcFft(samps, order, flags): in-place FFT of n complex values,
 *   X[k] = sum_j x[j] e^(-+2 pi i j k / n)   (- forward, + inverse),
 * the inverse divided by n unless QEL_FFT_NO_SCALE. The ordering flags pick
 * natural or bit-reversed order on either side (see the flags); a forward
 * transform with QEL_FFT_OUTPUT_REVERSED followed by an inverse with
 * QEL_FFT_INPUT_REVERSED returns the input with no permutation at all.
 * order = 0 leaves the value as it is.
 *
 * Order of work and checks:
 *  1. QEL_FFT_RELEASE: frees this thread's tables of the order (with
 *     QEL_FFT_OUTPUT_REVERSED: the bit-reversed-output tables) and returns;
 *     nothing is checked, an order outside 0..31 frees nothing.
 *  2. order < 0, order > 31: exit 1.
 *  3. Order above the largest (29, or 27 on 32-bit Windows): exit 1.
 *     Builds this thread's tables of the order if they are not cached; when
 *     memory runs out (also after freeing every cached table and trying
 *     again): exit 1.
 *  4. QEL_FFT_INIT_ONLY: returns (samps may be null).
 *  5. samps null; both or neither of FORWARD and INVERSE; two of the
 *     ordering flags 32, 64, 128 together: exit 1, samps untouched. */
void qelcFft(SComplex* samps, int order, int flags);

/* qelsRealFftNip(inSamps, outSamps, order, flags): FFT of n real samples
 * into the n/2 + 1 complex values X[0..n/2] of their conjugate-symmetric
 * spectrum (X[0] and X[n/2] have imaginary part +0.0), not in place:
 * outSamps needs room for n/2 + 1 SComplex values and must not overlap
 * inSamps, which is only read. Forward: exponent -2 pi i j k / n; inverse:
 * the same real-input transform with exponent +, divided by n unless
 * QEL_FFT_NO_SCALE (qelcbConjExtend1 completes such a half spectrum). The
 * ordering flags are ignored. Uses this thread's complex-FFT tables of order
 * - 1 and a real-FFT table of the order.
 *
 * Order of work and checks:
 *  1. QEL_FFT_RELEASE: frees this thread's tables of the order (including
 *     the complex-FFT tables of order - 1) and returns; nothing is checked.
 *  2. order < 0, order > 31: exit 1.
 *  3. Order above the largest (29, or 27 on 32-bit Windows): exit 1.
 *     Builds missing tables (orders >= 2); out of memory: exit 1.
 *  4. QEL_FFT_INIT_ONLY: returns (pointers may be null).
 *  5. inSamps null, outSamps null, both or neither of FORWARD and INVERSE:
 *     exit 1, outSamps untouched. */
void qelsRealFftNip(const float* inSamps, SComplex* outSamps, int order, int flags);

/* ---- Element-wise arithmetic ---------------------------------------------
 * In place on dst[0..n-1], the destination element being the left operand:
 *   qelsbSet   dst[i] = value  (the bit pattern: -0.0 and NaN payloads kept)
 *   qelsbAdd1  dst[i] = dst[i] + value
 *   qelsbAdd2  dst[i] = dst[i] + src[i]
 *   qelsbMpy1  dst[i] = dst[i] * value
 *   qelsbMpy2  dst[i] = dst[i] * src[i]
 * Results are the correctly rounded single-precision sum or product in every
 * variant (overflow gives infinity, subnormals are kept). src may equal dst
 * (doubling or squaring each element); other overlaps are not defined.
 * Checks: n <= 0, then src null (two-vector forms), then dst null: exit 1,
 * dst untouched. */
void qelsbSet(float value, float* dst, int n);
void qelsbAdd1(float value, float* dst, int n);
void qelsbAdd2(const float* src, float* dst, int n);
void qelsbMpy1(float value, float* dst, int n);
void qelsbMpy2(const float* src, float* dst, int n);

/* ---- Complex vectors ------------------------------------------------------ */

/* qelcbConjExtend1(vec, n): vec holds the points 0..n-1 of a spectrum of
 * N = 2n - 2 points (what qelsRealFftNip writes for N = 2^order); fills
 * points n..N-1 with vec[N-k] = conj(vec[k]), so the buffer needs room for
 * 2n - 2 elements. Points 0..n-1 are not changed; n = 1 and n = 2 write
 * nothing. Checks: n <= 0, vec null: exit 1. */
void qelcbConjExtend1(SComplex* vec, int n);

/* qelcbReal(src, dst, n): dst[i] = src[i].re, copied bit for bit.
 * Checks: n <= 0, src null, dst null: exit 1. src and dst must not overlap. */
void qelcbReal(const SComplex* src, float* dst, int n);

/* qelcbMag(src, mag, n): mag[i] = sqrt(re^2 + im^2) of src[i], rounded once.
 * Vectors longer than 128 are worked in blocks of 128 through a
 * single-precision power spectrum; the trailing n mod 128 elements, and
 * every element of a vector of at most 128, are computed directly. So an
 * element of a block whose squared magnitude exceeds the float range (|z|
 * above about 1.8e19) gets +infinity where the direct path gives its finite
 * magnitude, and the two paths may differ in the last place. Checks:
 * n <= 0, mag null, src null (in that order): exit 1. src and mag must not
 * overlap. */
void qelcbMag(const SComplex* src, float* mag, int n);

/* ---- Extremes --------------------------------------------------------------
 * qelsMax(vec, len), qelsMin(vec, len): the largest and the smallest element,
 * the first of equal ones (so -0.0 before +0.0 gives -0.0 for both). NaNs:
 * qelsMax skips them (but returns vec[0] when that is a NaN); qelsMin
 * restarts after each NaN (a NaN last gives a NaN). The SIMD and MMX builds
 * order NaNs and signed zeros their own way (docs/reference.md).
 * Checks: len <= 0, vec null: exit 1. */
float qelsMax(const float* vec, int len);
float qelsMin(const float* vec, int len);

/* ---- Conversions -----------------------------------------------------------
 * size is the integer width in bits: 8, 16 or 32; with QEL_CVT_UNSIGNED the
 * integers are unsigned. Integers are packed at their width, little-endian.
 *
 * qelsbFloatToInt(src, dst, len, size, flags): rounds each float by exactly
 * one of NEAREST, TRUNCATE, FLOOR, CEIL (the rounding mode of the processor
 * is not used). An element whose rounded value is outside the type (a NaN
 * counts as above) is stored as the type's minimum or maximum with
 * QEL_CVT_SATURATE, otherwise left as it was in dst (the generic build; the
 * other builds write low-order bits or their own saturation there); with
 * QEL_CVT_REPORT the call then ends the process with exit code 1: the
 * generic build at the first such element, the elements before it
 * converted, the other builds after converting every element.
 *
 * qelsbIntToFloat(src, dst, len, size, flags): converts each integer to the
 * nearest float (exact up to 2^24); flags must be 0 or QEL_CVT_UNSIGNED.
 *
 * Checks, all made before anything is written: len <= 0, src null, dst null,
 * size not 8, 16 or 32, flags invalid (FloatToInt: not exactly one rounding
 * bit; IntToFloat: anything but 0 or QEL_CVT_UNSIGNED): exit 1, dst
 * untouched. */
void qelsbFloatToInt(const float* src, void* dst, int len, int size, int flags);
void qelsbIntToFloat(const void* src, float* dst, int len, int size, int flags);

#ifdef __cplusplus
}
#endif

#endif /* ZENTAVOL_H */
