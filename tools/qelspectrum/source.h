/* SPDX-License-Identifier: MIT */
/* Where qelspectrum's samples come from: one channel of an audio file read
 * with libsndfile, or the default signal generated in the program. Samples
 * are delivered in order until the decoder has no more; the length a file's
 * header states is only a promise. The front library is not involved here. */
#ifndef QELSPECTRUM_SOURCE_H
#define QELSPECTRUM_SOURCE_H

#include <stddef.h>

typedef struct Source {
    void* file;              /* SNDFILE*, null for the default signal */
    int channels;
    int channel;             /* 0-based channel taken from the file */
    double rate;             /* samples per second */
    long long promised;      /* samples per channel the header states, -1 when it does not */
    long long position;      /* samples delivered or skipped so far */
    int ended;               /* the decoder has no more samples */
    char failure[200];       /* the decoder's reason for stopping, empty at a clean end */
    float* chunk;            /* interleaved read buffer of a file */
    int chunkFrames;
    float* signal;           /* the default signal, length samples */
    char name[256];          /* for titles: file name or "default signal" */
} Source;

/* One line describing each tone of the default signal, so a reader can
 * check the table of peaks against what was put in. */
enum { kDefaultToneCount = 5 };
typedef struct DefaultTone {
    double frequency;  /* Hz */
    double amplitude;  /* peak, full scale 1.0 */
    double start, end; /* seconds */
} DefaultTone;
extern const DefaultTone kDefaultTones[kDefaultToneCount];
extern const double kDefaultRate;
extern const double kDefaultSeconds;

/* Both return 0, or -1 with a one-line reason in error. channel is 1-based
 * as the user gives it. */
int sourceOpenFile(Source* source, const char* path, int channel, char* error, size_t errorSize);
int sourceOpenDefault(Source* source, char* error, size_t errorSize);

/* Reads up to count samples into dst and zero-fills the rest; returns the
 * number of samples read, fewer than count once the source has ended. */
long long sourceRead(Source* source, float* dst, long long count);
/* Drops up to count samples; returns how many, fewer once it has ended. */
long long sourceSkip(Source* source, long long count);
/* After the source has ended: 0 when it delivered all it promised, or -1
 * with a phrase saying why its end may not be the input's. */
int sourceShortfall(const Source* source, char* text, size_t textSize);
void sourceClose(Source* source);

#endif
