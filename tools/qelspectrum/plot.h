/* SPDX-License-Identifier: MIT */
/* qelspectrum's pictures: the averaged spectrum and, on request, a
 * spectrogram below it, drawn with cairo to a PNG or SVG file. */
#ifndef QELSPECTRUM_PLOT_H
#define QELSPECTRUM_PLOT_H

#include <stddef.h>

#include "analysis.h"

/* Returns 0, or -1 with a one-line reason. The format follows the file
 * name's ending (.png or .svg); logFrequency draws both plots on a
 * logarithmic frequency axis from the first bin above 0 Hz. */
int plotWrite(const char* path, const Analysis* analysis, const Peak* peaks, int peakCount, const char* title,
              int logFrequency, char* error, size_t errorSize);

/* Whether a file name ends in a format plotWrite can write. */
int plotFormatKnown(const char* path);

#endif
