/* SPDX-License-Identifier: MIT */
/* qelspectrum's analysis through the front library: windowed frames, real
 * FFT, magnitudes, an averaged power spectrum, peaks and, on request, a
 * coarse spectrogram. Frames arrive one by one, however many there are. */
#ifndef QELSPECTRUM_ANALYSIS_H
#define QELSPECTRUM_ANALYSIS_H

#include <stddef.h>

#include "zentavol.h"

typedef enum WindowKind { kWindowHann, kWindowHamming, kWindowBlackman, kWindowRectangular } WindowKind;

/* name <-> kind; windowFromName returns -1 for an unknown name */
int windowFromName(const char* name);
const char* windowName(WindowKind kind);

typedef struct Analysis {
    int order;
    int n;                 /* samples per frame, 2^order */
    int bins;              /* n/2 + 1 */
    double rate;
    long long analysed;    /* frames seen so far */
    double seconds;        /* time the frames span, for the spectrogram's axis */
    double gain;           /* |X| of a full-scale sine at its bin: sum of the window / 2 */
    double sampleLimit;    /* largest magnitude of a sample whose spectrum stays finite */
    float* window;         /* the blocks below come from qelMalloc */
    float* frame;
    SComplex* spectrum;
    float* magnitude;
    float* power;          /* summed |X|^2, then the average */
    float largest;         /* largest |X| of any frame */
    double* levels;        /* averaged level per bin, dB full scale */
    int columns, rows;     /* spectrogram cells in use, null when not asked for */
    float* cells;          /* largest |X| per cell, row-major, row 0 at 0 Hz */
    int capacity;          /* columns the cells have room for (row stride until analysisFinish) */
    long long framesPerColumn; /* doubles whenever the columns fill up */
} Analysis;

typedef struct Peak {
    double frequency; /* Hz, interpolated between bins */
    double level;     /* dB full scale */
    int bin;
} Peak;

/* Returns 0, or -1 with a one-line reason. */
int analysisInit(Analysis* analysis, int order, WindowKind window, double rate, int spectrogram, char* error,
                 size_t errorSize);
/* The index of the first of count samples that is not finite or beyond
 * sampleLimit, or -1 when all of them may enter a frame. */
int analysisFirstUnfit(const Analysis* analysis, const float* samples, int count);
/* Analyses one frame of n samples (left untouched), each checked with
 * analysisFirstUnfit. Returns 0, or -1 when the summed power of some bin has
 * overflowed: the analysis cannot go on. */
int analysisFrame(Analysis* analysis, const float* samples);
/* Turns the sums into the averaged spectrum and its levels. */
int analysisFinish(Analysis* analysis, char* error, size_t errorSize);
/* The strongest local maxima of the averaged spectrum, strongest first;
 * returns how many were found (at most count). */
int analysisPeaks(const Analysis* analysis, Peak* peaks, int count);
void analysisFree(Analysis* analysis);

#endif
