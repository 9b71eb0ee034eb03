/* SPDX-License-Identifier: MIT */
/* An application built outside the source tree against an installed
 * Zentavol: the spectrum of a sine through the front library, its peak in
 * the right bin, every vector from qelMalloc. Prints "spectrum_app: ok", and
 * on Windows the variant DLL the front library loaded. */
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <zentavol.h>

#ifdef _WIN32
#include <windows.h>
/* after windows.h, which it needs */
#include <tlhelp32.h>

/* The variant is the module Zentavol<code>.dll, the one beside the front
 * library's Zentavol.dll: a letter and a digit. */
static void printVariant(void) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, GetCurrentProcessId());
    if (snapshot == INVALID_HANDLE_VALUE) return;
    MODULEENTRY32 entry;
    entry.dwSize = sizeof entry;
    for (BOOL more = Module32First(snapshot, &entry); more; more = Module32Next(snapshot, &entry)) {
        const char* name = entry.szModule;
        char head[9];
        if (strlen(name) != 14) continue;
        memcpy(head, name, 8);
        head[8] = '\0';
        if (lstrcmpiA(head, "Zentavol") == 0 && lstrcmpiA(name + 10, ".dll") == 0)
            printf("spectrum_app: variant %.2s\n", name + 8);
    }
    CloseHandle(snapshot);
}
#else
static void printVariant(void) {}
#endif

int main(void) {
    enum { kOrder = 10, kN = 1 << kOrder, kBins = kN / 2 + 1, kBin = 37 };
    float* signal = (float*)qelMalloc(kN * (int)sizeof(float));
    SComplex* spectrum = (SComplex*)qelMalloc(kBins * (int)sizeof(SComplex));
    float* magnitude = (float*)qelMalloc(kBins * (int)sizeof(float));
    if (signal == NULL || spectrum == NULL || magnitude == NULL) {
        fprintf(stderr, "spectrum_app: qelMalloc failed\n");
        return 1;
    }
    for (int i = 0; i < kN; ++i) signal[i] = (float)cos(6.283185307179586 * kBin * i / kN);
    qelsRealFftNip(signal, spectrum, kOrder, QEL_FFT_FORWARD);
    qelcbMag(spectrum, magnitude, kBins);
    float peak = qelsMax(magnitude, kBins);
    int at = -1;
    for (int k = 0; k < kBins; ++k) {
        if (magnitude[k] == peak) at = k;
    }
    qelFree(signal);
    qelFree(spectrum);
    qelFree(magnitude);
    /* a unit cosine on bin k gives |X[k]| = n/2 */
    if (at != kBin || fabsf(peak - kN / 2.0f) > 1e-2f * kN) {
        fprintf(stderr, "spectrum_app: peak %g at bin %d, expected %d at bin %d\n", peak, at, kN / 2, kBin);
        return 1;
    }
    /* the peak's bits, which builds of the same variant share across systems */
    unsigned int bits;
    memcpy(&bits, &peak, sizeof bits);
    printf("spectrum_app: peak %08x at bin %d\n", bits, at);
    printf("spectrum_app: ok\n");
    printVariant();
    return 0;
}
