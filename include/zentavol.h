/* Zentavol: single-precision signal processing with a C interface.
 *
 * Every function is exported by the front library (libZentavol / Zentavol.dll)
 * and by each variant library. A failed argument check ends the process with
 * exit code 1 and prints nothing; see each function for its checks. */
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

/* Flags of qelcFft and qelsRealFftNip. */
#define QEL_FFT_FORWARD          1
#define QEL_FFT_INVERSE          2
#define QEL_FFT_INIT_ONLY        4
#define QEL_FFT_RELEASE          8
#define QEL_FFT_NO_SCALE         16
#define QEL_FFT_NATURAL_ORDER    32
#define QEL_FFT_INPUT_REVERSED   64
#define QEL_FFT_OUTPUT_REVERSED  128

/* Flags of qelsbFloatToInt and qelsbIntToFloat. */
#define QEL_CVT_NEAREST   0x80
#define QEL_CVT_TRUNCATE  0x100
#define QEL_CVT_FLOOR     0x200
#define QEL_CVT_CEIL      0x400
#define QEL_CVT_UNSIGNED  0x800
#define QEL_CVT_SATURATE  0x1000
#define QEL_CVT_REPORT    0x2000

/* Memory: blocks aligned to 32 bytes, uninitialised. qelMalloc returns null
 * when the heap has no room, for a negative count, or when the request does
 * not fit the address space. qelFree takes any such block, or null. */
void* qelMalloc(int bytes);
void qelFree(void* block);

/* Transforms of n = 2^order points, 0 <= order <= 31. */
void qelcFft(SComplex* samps, int order, int flags);
void qelsRealFftNip(const float* inSamps, SComplex* outSamps, int order, int flags);

/* Element-wise arithmetic over n > 0 floats, in place on dst:
 * dst[i] = value, dst[i] + value, dst[i] + src[i], dst[i] * value, dst[i] * src[i].
 * Results are the correctly rounded single-precision sum or product. */
void qelsbSet(float value, float* dst, int n);
void qelsbAdd1(float value, float* dst, int n);
void qelsbAdd2(const float* src, float* dst, int n);
void qelsbMpy1(float value, float* dst, int n);
void qelsbMpy2(const float* src, float* dst, int n);

/* Complex vectors. */
void qelcbConjExtend1(SComplex* vec, int n);
void qelcbReal(const SComplex* src, float* dst, int n);
void qelcbMag(const SComplex* src, float* mag, int n);

/* Extremes of len > 0 floats. */
float qelsMax(const float* vec, int len);
float qelsMin(const float* vec, int len);

/* Conversions between floats and 8-, 16- or 32-bit integers. */
void qelsbFloatToInt(const float* src, void* dst, int len, int size, int flags);
void qelsbIntToFloat(const void* src, float* dst, int len, int size, int flags);

#ifdef __cplusplus
}
#endif

#endif /* ZENTAVOL_H */
