/* SPDX-License-Identifier: MIT */
/* qelspectrum's input: a channel of an audio file through libsndfile, read in
 * chunks so that long files need no more memory than a frame, or the default
 * signal of a few tones over low noise, generated here. */
#include "source.h"

#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <sndfile.h>

const double kDefaultRate = 48000.0;
const double kDefaultSeconds = 4.0;

/* Levels in dB full scale: -6, -12, -18, -20 (on for half the time, so -23 on
 * average) and -26. Frequencies fall between bins for every frame order, so
 * the peak search has to interpolate. */
const DefaultTone kDefaultTones[kDefaultToneCount] = {
    {440.0, 0.5, 0.0, 4.0},
    {1000.0, 0.25, 0.0, 4.0},
    {3150.0, 0.125, 0.0, 4.0},
    {6000.0, 0.1, 2.0, 4.0},
    {12500.0, 0.05, 0.0, 4.0},
};

/* White noise at -60 dB full scale (RMS), from a fixed seed so that every run
 * prints the same table. */
static const double kNoiseRms = 0.001;

static unsigned long long nextRandom(unsigned long long* state) {
    /* xorshift64*: plenty for noise, and the same on every platform */
    *state ^= *state >> 12;
    *state ^= *state << 25;
    *state ^= *state >> 27;
    return *state * 2685821657736338717ull;
}

static void oneLine(char* text) {
    for (char* c = text; *c != '\0'; ++c) {
        if (*c == '\n' || *c == '\r') *c = ' ';
    }
    size_t length = strlen(text);
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '.')) text[--length] = '\0';
}

int sourceOpenDefault(Source* source, char* error, size_t errorSize) {
    memset(source, 0, sizeof *source);
    source->channels = 1;
    source->rate = kDefaultRate;
    source->promised = (long long)(kDefaultRate * kDefaultSeconds);
    source->signal = (float*)malloc((size_t)source->promised * sizeof(float));
    if (source->signal == NULL) {
        snprintf(error, errorSize, "out of memory for the default signal");
        return -1;
    }
    snprintf(source->name, sizeof source->name, "default signal");

    /* uniform noise of half-width a has RMS a/sqrt(3) */
    const double noiseHalfWidth = kNoiseRms * sqrt(3.0);
    const double twoPi = 6.283185307179586;
    unsigned long long state = 0x9E3779B97F4A7C15ull;
    for (long long i = 0; i < source->promised; ++i) {
        double t = (double)i / kDefaultRate;
        double x = 0.0;
        for (int k = 0; k < kDefaultToneCount; ++k) {
            const DefaultTone* tone = &kDefaultTones[k];
            if (t >= tone->start && t < tone->end) x += tone->amplitude * sin(twoPi * tone->frequency * t);
        }
        double uniform = (double)(nextRandom(&state) >> 11) * (1.0 / 9007199254740992.0);
        x += noiseHalfWidth * (2.0 * uniform - 1.0);
        source->signal[i] = (float)x;
    }
    return 0;
}

int sourceOpenFile(Source* source, const char* path, int channel, char* error, size_t errorSize) {
    memset(source, 0, sizeof *source);
    /* libsndfile's own text for a missing file is vaguer than the system's */
    FILE* probe = fopen(path, "rb");
    if (probe == NULL) {
        snprintf(error, errorSize, "cannot open '%s': %s", path, strerror(errno));
        return -1;
    }
    fclose(probe);

    SF_INFO info;
    memset(&info, 0, sizeof info);
    SNDFILE* file = sf_open(path, SFM_READ, &info);
    if (file == NULL) {
        char reason[200];
        snprintf(reason, sizeof reason, "%s", sf_strerror(NULL));
        oneLine(reason);
        snprintf(error, errorSize, "cannot read '%s' as audio: %s", path, reason);
        return -1;
    }
    if (info.channels < 1 || info.samplerate < 1) {
        sf_close(file);
        snprintf(error, errorSize, "'%s' declares no channels or no sample rate", path);
        return -1;
    }
    if (channel < 1 || channel > info.channels) {
        sf_close(file);
        snprintf(error, errorSize, "channel %d is out of range: '%s' has %d channel%s", channel, path,
                 info.channels, info.channels == 1 ? "" : "s");
        return -1;
    }
    source->chunkFrames = 4096;
    source->chunk = (float*)malloc((size_t)source->chunkFrames * (size_t)info.channels * sizeof(float));
    if (source->chunk == NULL) {
        sf_close(file);
        snprintf(error, errorSize, "out of memory reading '%s'", path);
        return -1;
    }
    source->file = file;
    source->channels = info.channels;
    source->channel = channel - 1;
    source->rate = info.samplerate;
    /* a stream whose end libsndfile could not find (a cut Ogg file) comes
     * with the largest count there is */
    source->promised = info.frames >= 0 && info.frames < SF_COUNT_MAX ? (long long)info.frames : -1;
    const char* slash = strrchr(path, '/');
    snprintf(source->name, sizeof source->name, "%s", slash != NULL ? slash + 1 : path);
    return 0;
}

/* Up to count samples of the file's channel into dst (or dropped when dst
 * is null); the decoder's end, and its complaint if any, are recorded. */
static long long readFile(Source* source, float* dst, long long count) {
    SNDFILE* file = (SNDFILE*)source->file;
    long long done = 0;
    while (done < count && !source->ended) {
        long long want = count - done;
        if (want > source->chunkFrames) want = source->chunkFrames;
        sf_count_t got = sf_readf_float(file, source->chunk, want);
        if (got <= 0) {
            /* the decoder's end, whatever the header said */
            source->ended = 1;
            if (sf_error(file) != SF_ERR_NO_ERROR) {
                snprintf(source->failure, sizeof source->failure, "%s", sf_strerror(file));
                oneLine(source->failure);
            }
            break;
        }
        if (dst != NULL) {
            for (sf_count_t i = 0; i < got; ++i) dst[done + i] = source->chunk[i * source->channels + source->channel];
        }
        done += got;
    }
    return done;
}

long long sourceRead(Source* source, float* dst, long long count) {
    long long done = 0;
    if (source->file == NULL) {
        long long available = source->promised - source->position;
        done = count < available ? count : available;
        if (done > 0) memcpy(dst, source->signal + source->position, (size_t)done * sizeof(float));
        if (done < 0) done = 0;
        if (done < count) source->ended = 1;
    } else {
        done = readFile(source, dst, count);
    }
    source->position += done;
    if (done < count) memset(dst + done, 0, (size_t)(count - done) * sizeof(float));
    return done;
}

long long sourceSkip(Source* source, long long count) {
    long long done = 0;
    if (source->file == NULL) {
        long long available = source->promised - source->position;
        done = count < available ? count : available;
        if (done < 0) done = 0;
        if (done < count) source->ended = 1;
    } else {
        /* reading and dropping works for every format, seeking does not */
        done = readFile(source, NULL, count);
    }
    source->position += done;
    return done;
}

int sourceShortfall(const Source* source, char* text, size_t textSize) {
    if (source->failure[0] != '\0') {
        snprintf(text, textSize, "the decoder stopped: %s", source->failure);
        return -1;
    }
    if (source->promised < 0) {
        snprintf(text, textSize, "no length is stated, so it may be cut short");
        return -1;
    }
    if (source->position < source->promised) {
        snprintf(text, textSize, "the header states %lld samples (%.3f s)", source->promised,
                 (double)source->promised / source->rate);
        return -1;
    }
    return 0;
}

void sourceClose(Source* source) {
    if (source->file != NULL) sf_close((SNDFILE*)source->file);
    free(source->chunk);
    free(source->signal);
    memset(source, 0, sizeof *source);
}
