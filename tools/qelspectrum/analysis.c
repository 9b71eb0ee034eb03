/* SPDX-License-Identifier: MIT */
/* qelspectrum's analysis, done the way an application uses the library: its
 * blocks from qelMalloc, the window applied with qelsbMpy2, qelsRealFftNip,
 * qelcbMag and qelsMax, the averaging with the element-wise arithmetic. */
#include "analysis.h"

#include <float.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char* const kWindowNames[] = {"hann", "hamming", "blackman", "rectangular"};

int windowFromName(const char* name) {
    for (int i = 0; i < (int)(sizeof kWindowNames / sizeof kWindowNames[0]); ++i) {
        if (strcmp(name, kWindowNames[i]) == 0) return i;
    }
    return -1;
}

const char* windowName(WindowKind kind) { return kWindowNames[kind]; }

/* Periodic windows (the DFT-even form): they tile exactly at 50% overlap. */
static double windowValue(WindowKind kind, int i, int n) {
    const double x = 6.283185307179586 * (double)i / (double)n;
    switch (kind) {
    case kWindowHann: return 0.5 - 0.5 * cos(x);
    case kWindowHamming: return 0.54 - 0.46 * cos(x);
    case kWindowBlackman: return 0.42 - 0.5 * cos(x) + 0.08 * cos(2.0 * x);
    case kWindowRectangular: break;
    }
    return 1.0;
}

static void* allocate(int bytes) { return qelMalloc(bytes); }

/* Spectrogram columns kept however long the input: when they fill up, pairs
 * merge and each column then covers twice as many frames. */
enum { kSpectrogramColumns = 1000 };

int analysisInit(Analysis* a, int order, WindowKind window, double rate, int spectrogram, char* error,
                 size_t errorSize) {
    memset(a, 0, sizeof *a);
    a->order = order;
    a->n = 1 << order;
    a->bins = a->n / 2 + 1;
    a->rate = rate;
    a->window = (float*)allocate(a->n * (int)sizeof(float));
    a->frame = (float*)allocate(a->n * (int)sizeof(float));
    a->spectrum = (SComplex*)allocate(a->bins * (int)sizeof(SComplex));
    a->magnitude = (float*)allocate(a->bins * (int)sizeof(float));
    a->power = (float*)allocate(a->bins * (int)sizeof(float));
    a->levels = (double*)malloc((size_t)a->bins * sizeof(double));
    if (spectrogram) {
        a->capacity = kSpectrogramColumns;
        a->framesPerColumn = 1;
        a->rows = a->bins < 512 ? a->bins : 512;
        a->cells = (float*)calloc((size_t)a->capacity * (size_t)a->rows, sizeof(float));
    }
    if (a->window == NULL || a->frame == NULL || a->spectrum == NULL || a->magnitude == NULL ||
        a->power == NULL || a->levels == NULL || (spectrogram && a->cells == NULL)) {
        analysisFree(a);
        snprintf(error, errorSize, "out of memory for frames of order %d", order);
        return -1;
    }
    double sum = 0.0, absoluteSum = 0.0;
    for (int i = 0; i < a->n; ++i) {
        a->window[i] = (float)windowValue(window, i, a->n);
        sum += a->window[i];
        absoluteSum += fabs(a->window[i]);
    }
    a->gain = sum / 2.0;
    /* Every value the transform forms, the butterflies' partial sums
     * included, is a sum of windowed samples times twiddles of magnitude 1,
     * so it is at most absoluteSum * L for samples of magnitude up to L; the
     * real transform's recombination adds two such values, and the
     * magnitudes square them in single precision. 4 * absoluteSum * L <=
     * sqrt(FLT_MAX) keeps a factor of 16 below overflow for all of that and
     * its rounding. */
    a->sampleLimit = sqrt((double)FLT_MAX) / (4.0 * absoluteSum);
    qelsbSet(0.0f, a->power, a->bins);
    /* built now rather than inside the first frame, as an application that
     * cares about latency would */
    qelsRealFftNip(NULL, NULL, order, QEL_FFT_INIT_ONLY);
    return 0;
}

int analysisFirstUnfit(const Analysis* a, const float* samples, int count) {
    for (int i = 0; i < count; ++i) {
        /* false for a NaN as well */
        if (!(fabs((double)samples[i]) <= a->sampleLimit)) return i;
    }
    return -1;
}

/* Halves the columns in use: each new column holds the larger of two. */
static void mergeColumns(Analysis* a) {
    const int half = a->capacity / 2;
    for (int r = 0; r < a->rows; ++r) {
        float* row = a->cells + (size_t)r * (size_t)a->capacity;
        for (int c = 0; c < half; ++c) row[c] = row[2 * c] > row[2 * c + 1] ? row[2 * c] : row[2 * c + 1];
        memset(row + half, 0, (size_t)(a->capacity - half) * sizeof(float));
    }
    a->framesPerColumn *= 2;
}

int analysisFrame(Analysis* a, const float* samples) {
    memcpy(a->frame, samples, (size_t)a->n * sizeof(float));
    qelsbMpy2(a->window, a->frame, a->n);
    qelsRealFftNip(a->frame, a->spectrum, a->order, QEL_FFT_FORWARD);
    qelcbMag(a->spectrum, a->magnitude, a->bins);

    float largest = qelsMax(a->magnitude, a->bins);
    if (largest > a->largest) a->largest = largest;

    if (a->cells != NULL) {
        if (a->analysed / a->framesPerColumn >= a->capacity) mergeColumns(a);
        const int column = (int)(a->analysed / a->framesPerColumn);
        a->columns = column + 1;
        for (int k = 0; k < a->bins; ++k) {
            int row = (int)((long long)k * a->rows / a->bins);
            float* cell = &a->cells[(size_t)row * (size_t)a->capacity + (size_t)column];
            if (a->magnitude[k] > *cell) *cell = a->magnitude[k];
        }
    }

    /* |X|^2 in place (source and destination may be the same vector), then
     * into the sum */
    qelsbMpy2(a->magnitude, a->magnitude, a->bins);
    qelsbAdd2(a->magnitude, a->power, a->bins);
    /* each frame's |X|^2 is finite for checked samples, but enough loud
     * frames sum beyond the largest float; the sums are never negative or
     * NaN, so their maximum says it */
    if (!(qelsMax(a->power, a->bins) <= FLT_MAX)) return -1;
    ++a->analysed;
    return 0;
}

int analysisFinish(Analysis* a, char* error, size_t errorSize) {
    if (a->analysed == 0) {
        snprintf(error, errorSize, "no frame was analysed");
        return -1;
    }
    qelsbMpy1((float)(1.0 / (double)a->analysed), a->power, a->bins);
    /* the columns in use, packed: the plot reads rows of `columns` cells */
    if (a->cells != NULL && a->columns < a->capacity) {
        for (int r = 1; r < a->rows; ++r)
            memmove(a->cells + (size_t)r * (size_t)a->columns, a->cells + (size_t)r * (size_t)a->capacity,
                    (size_t)a->columns * sizeof(float));
        a->capacity = a->columns;
    }
    /* 0 dB is a full-scale sine: its averaged |X| is gain */
    const double reference = 20.0 * log10(a->gain);
    for (int k = 0; k < a->bins; ++k) {
        double p = a->power[k];
        a->levels[k] = p > 0.0 ? 10.0 * log10(p) - reference : -400.0;
    }
    return 0;
}

int analysisPeaks(const Analysis* a, Peak* peaks, int count) {
    int found = 0;
    const double* level = a->levels;
    for (int k = 1; k + 1 < a->bins; ++k) {
        if (!(level[k] > level[k - 1] && level[k] >= level[k + 1])) continue;
        /* a parabola through the three levels (in dB) puts the maximum
         * between bins; for the usual windows it is within a tenth of a bin */
        double left = level[k - 1], centre = level[k], right = level[k + 1];
        double curvature = left - 2.0 * centre + right;
        double offset = curvature < 0.0 ? 0.5 * (left - right) / curvature : 0.0;
        Peak peak = {((double)k + offset) * a->rate / (double)a->n, centre - 0.25 * (left - right) * offset, k};

        /* insertion into the sorted list of the strongest */
        int at = found;
        while (at > 0 && peaks[at - 1].level < peak.level) --at;
        if (at >= count) continue;
        int last = found < count ? found : count - 1;
        memmove(&peaks[at + 1], &peaks[at], (size_t)(last - at) * sizeof(Peak));
        peaks[at] = peak;
        if (found < count) ++found;
    }
    return found;
}

void analysisFree(Analysis* a) {
    qelFree(a->window);
    qelFree(a->frame);
    qelFree(a->spectrum);
    qelFree(a->magnitude);
    qelFree(a->power);
    free(a->levels);
    free(a->cells);
    /* the FFT tables of this order stay with the thread until released */
    qelsRealFftNip(NULL, NULL, a->order, QEL_FFT_RELEASE);
    memset(a, 0, sizeof *a);
}
