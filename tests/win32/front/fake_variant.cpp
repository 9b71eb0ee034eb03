// SPDX-License-Identifier: MIT
// A stand-in variant DLL for the tests of the front library's choice: every
// export exists and does nothing but qelsbSet, which sets as it should (the
// application linked to the front library calls it). Built as
// ZV_FAKE_COMPLETE, ZV_FAKE_REFUSING (DllMain refuses process attach) and
// ZV_FAKE_NO_QELSMIN (its .def leaves qelsMin out); the tests copy it under
// variant names.
#include <windows.h>

#include "zentavol.h"

extern "C" {

void* qelMalloc(int) { return nullptr; }
void qelFree(void*) {}
void qelcFft(SComplex*, int, int) {}
void qelsRealFftNip(const float*, SComplex*, int, int) {}
void qelsbSet(float value, float* dst, int n) {
    for (int i = 0; i < n; ++i) dst[i] = value;
}
void qelsbAdd1(float, float*, int) {}
void qelsbAdd2(const float*, float*, int) {}
void qelsbMpy1(float, float*, int) {}
void qelsbMpy2(const float*, float*, int) {}
void qelcbConjExtend1(SComplex*, int) {}
void qelcbReal(const SComplex*, float*, int) {}
void qelcbMag(const SComplex*, float*, int) {}
float qelsMax(const float*, int) { return 0.0f; }
float qelsMin(const float*, int) { return 0.0f; }
void qelsbFloatToInt(const float*, void*, int, int, int) {}
void qelsbIntToFloat(const void*, float*, int, int, int) {}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
#if defined(ZV_FAKE_REFUSING)
    return reason == DLL_PROCESS_ATTACH ? FALSE : TRUE;
#else
    (void)reason;
    return TRUE;
#endif
}

}  // extern "C"
