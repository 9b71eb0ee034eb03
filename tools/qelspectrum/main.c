/* SPDX-License-Identifier: MIT */
/* qelspectrum: magnitude spectra of an audio file, or of a built-in test
 * signal, through the front library libZentavol; prints the strongest peaks
 * and the variant library the process runs on, and draws the spectrum. */
#define _GNU_SOURCE
#include <errno.h>
#include <getopt.h>
#include <limits.h>
#include <link.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "analysis.h"
#include "plot.h"
#include "source.h"
#include "zentavol.h"

enum { kMinOrder = 4, kMaxOrder = 20, kMaxPeaks = 1000 };

static const char kUsage[] =
    "usage: qelspectrum [options] [FILE]\n"
    "Magnitude spectrum of one channel of an audio file (any format libsndfile\n"
    "reads: WAV, FLAC, Ogg, ...), or of a built-in signal of five tones over\n"
    "low noise when no file is given. Prints the strongest peaks.\n"
    "\n"
    "  -o, --order N      frames of 2^N samples, 4 <= N <= 20 (default 12)\n"
    "  -H, --hop N        samples from one frame to the next (default half a frame)\n"
    "  -c, --channel N    channel to analyse, 1 is the first (default 1)\n"
    "  -p, --peaks N      how many peaks to list (default 5)\n"
    "  -w, --window NAME  hann, hamming, blackman or rectangular (default hann)\n"
    "      --plot FILE    draw the averaged spectrum to FILE (.png or .svg)\n"
    "      --spectrogram  draw a spectrogram below it, with its colour scale in dB\n"
    "                     (needs --plot)\n"
    "      --log-frequency  draw the plots on a logarithmic frequency axis, from\n"
    "                     the first bin above 0 Hz (needs --plot)\n"
    "  -h, --help         show this text\n"
    "\n"
    "Levels are in dB full scale: a sine of amplitude 1.0 reads 0 dB.\n"
    "Exit status: 0 on success, 2 on a bad option, unreadable input or an\n"
    "unwritable plot.\n";

/* Every failure is one line on stderr and exit status 2. */
static _Noreturn void fail(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    fputs("qelspectrum: ", stderr);
    vfprintf(stderr, format, arguments);
    fputc('\n', stderr);
    va_end(arguments);
    exit(2);
}

static long long parseCount(const char* text, const char* what, long long low, long long high) {
    char* end = NULL;
    errno = 0;
    long long value = strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0) fail("%s must be a whole number, not '%s'", what, text);
    if (value < low || value > high) fail("%s %s is out of range (%lld to %lld)", what, text, low, high);
    return value;
}

/* The variant is the library named libZentavol<code>.so... among the loaded
 * objects; the front library itself is libZentavol.so... */
typedef struct LoadedVariant {
    char path[PATH_MAX];
    char code[16];
} LoadedVariant;

static int findVariant(struct dl_phdr_info* info, size_t size, void* data) {
    (void)size;
    LoadedVariant* found = (LoadedVariant*)data;
    const char* slash = strrchr(info->dlpi_name, '/');
    const char* base = slash != NULL ? slash + 1 : info->dlpi_name;
    if (strncmp(base, "libZentavol", 11) != 0 || base[11] == '.' || base[11] == '\0') return 0;
    const char* dot = strchr(base + 11, '.');
    size_t length = dot != NULL ? (size_t)(dot - (base + 11)) : strlen(base + 11);
    if (length >= sizeof found->code) return 0;
    memcpy(found->code, base + 11, length);
    found->code[length] = '\0';
    snprintf(found->path, sizeof found->path, "%s", info->dlpi_name);
    return 1;
}

typedef struct Options {
    int order;
    long long hop;
    int channel;
    int peaks;
    WindowKind window;
    const char* plot;
    int spectrogram;
    int logFrequency;
    const char* input;
} Options;

static Options parseOptions(int argc, char** argv) {
    Options o = {12, 0, 1, 5, kWindowHann, NULL, 0, 0, NULL};
    enum { kPlot = 1000, kSpectrogram, kLogFrequency };
    static const struct option longOptions[] = {
        {"order", required_argument, NULL, 'o'},   {"hop", required_argument, NULL, 'H'},
        {"channel", required_argument, NULL, 'c'}, {"peaks", required_argument, NULL, 'p'},
        {"window", required_argument, NULL, 'w'},  {"plot", required_argument, NULL, kPlot},
        {"spectrogram", no_argument, NULL, kSpectrogram}, {"log-frequency", no_argument, NULL, kLogFrequency},
        {"help", no_argument, NULL, 'h'},
        {NULL, 0, NULL, 0},
    };
    long long hop = -1;
    opterr = 0;
    for (;;) {
        int c = getopt_long(argc, argv, ":o:H:c:p:w:h", longOptions, NULL);
        if (c == -1) break;
        switch (c) {
        case 'o': o.order = (int)parseCount(optarg, "frame order", kMinOrder, kMaxOrder); break;
        case 'H': hop = parseCount(optarg, "hop", 1, 1LL << 30); break;
        case 'c': o.channel = (int)parseCount(optarg, "channel", 1, 1 << 16); break;
        case 'p': o.peaks = (int)parseCount(optarg, "number of peaks", 1, kMaxPeaks); break;
        case 'w': {
            int kind = windowFromName(optarg);
            if (kind < 0) fail("unknown window '%s' (hann, hamming, blackman or rectangular)", optarg);
            o.window = (WindowKind)kind;
            break;
        }
        case kPlot: o.plot = optarg; break;
        case kSpectrogram: o.spectrogram = 1; break;
        case kLogFrequency: o.logFrequency = 1; break;
        case 'h': fputs(kUsage, stdout); exit(0);
        case ':': fail("option %s needs a value (see --help)", argv[optind - 1]);
        default: fail("unknown option %s (see --help)", argv[optind - 1]);
        }
    }
    if (optind < argc) o.input = argv[optind++];
    if (optind < argc) fail("one input file at most, '%s' is one too many", argv[optind]);
    if (o.spectrogram && o.plot == NULL) fail("--spectrogram draws into the --plot file; give --plot FILE too");
    if (o.logFrequency && o.plot == NULL) fail("--log-frequency changes the --plot file; give --plot FILE too");
    if (o.plot != NULL && !plotFormatKnown(o.plot)) fail("--plot '%s': the name must end in .png or .svg", o.plot);
    o.hop = hop > 0 ? hop : (1LL << o.order) / 2;
    return o;
}

int main(int argc, char** argv) {
    Options options = parseOptions(argc, argv);
    char error[512];

    Source source;
    int opened = options.input != NULL
                     ? sourceOpenFile(&source, options.input, options.channel, error, sizeof error)
                     : sourceOpenDefault(&source, error, sizeof error);
    if (opened != 0) fail("%s", error);
    if (options.input == NULL && options.channel != 1) {
        sourceClose(&source);
        fail("channel %d is out of range: the default signal has 1 channel", options.channel);
    }

    const int n = 1 << options.order;
    /* frames that fit entirely; a signal shorter than one frame is padded */
    const long long frames = source.length <= n ? 1 : 1 + (source.length - n) / options.hop;

    Analysis analysis;
    if (analysisInit(&analysis, options.order, options.window, source.rate, frames, options.spectrogram, error,
                     sizeof error) != 0) {
        sourceClose(&source);
        fail("%s", error);
    }
    analysis.seconds = (double)((frames - 1) * options.hop + n) / source.rate;

    float* samples = (float*)malloc((size_t)n * sizeof(float));
    if (samples == NULL) fail("out of memory for frames of order %d", options.order);

    const int progress = isatty(STDERR_FILENO) && frames >= 200;
    int shown = -1;
    sourceRead(&source, samples, n);
    for (long long f = 0; f < frames; ++f) {
        if (f > 0) {
            if (options.hop < n) {
                memmove(samples, samples + options.hop, (size_t)(n - options.hop) * sizeof(float));
                sourceRead(&source, samples + (n - options.hop), options.hop);
            } else {
                sourceSkip(&source, options.hop - n);
                sourceRead(&source, samples, n);
            }
        }
        analysisFrame(&analysis, samples);
        if (progress) {
            int percent = (int)(100 * (f + 1) / frames);
            if (percent != shown) {
                fprintf(stderr, "\rqelspectrum: %3d%% (%lld of %lld frames)", percent, f + 1, frames);
                shown = percent;
            }
        }
    }
    if (progress) fputs("\r\033[K", stderr);
    free(samples);
    if (analysisFinish(&analysis, error, sizeof error) != 0) fail("%s", error);

    Peak* peaks = (Peak*)malloc((size_t)options.peaks * sizeof(Peak));
    if (peaks == NULL) fail("out of memory");
    int found = analysisPeaks(&analysis, peaks, options.peaks);

    LoadedVariant variant = {"", ""};
    if (dl_iterate_phdr(findVariant, &variant) == 0) snprintf(variant.path, sizeof variant.path, "(not found)");

    if (options.input == NULL) {
        printf("input:    default signal, %.0f Hz, %.1f s, tones at", kDefaultRate, kDefaultSeconds);
        for (int k = 0; k < kDefaultToneCount; ++k) printf("%s %.0f Hz", k == 0 ? "" : ",", kDefaultTones[k].frequency);
        printf(" over noise at -60 dB\n");
    } else {
        printf("input:    %s, channel %d of %d, %.0f Hz, %lld samples (%.2f s)\n", options.input, options.channel,
               source.channels, source.rate, source.length, (double)source.length / source.rate);
    }
    printf("library:  %s (variant %s)\n", variant.path, variant.code[0] != '\0' ? variant.code : "unknown");
    printf("analysis: %lld frame%s of 2^%d = %d samples, hop %lld, %s window, bins %.3f Hz apart\n", frames,
           frames == 1 ? "" : "s", options.order, n, options.hop, windowName(options.window), source.rate / n);
    printf("\n  peak  frequency/Hz  level/dB\n");
    for (int i = 0; i < found; ++i) printf("  %4d  %12.2f  %8.2f\n", i + 1, peaks[i].frequency, peaks[i].level);
    if (found == 0) printf("  (no peak: the spectrum is flat)\n");
    fflush(stdout);

    int status = 0;
    if (options.plot != NULL) {
        char title[400];
        snprintf(title, sizeof title, "%s: averaged spectrum, %lld frames of %d samples, %s window%s", source.name,
                 frames, n, windowName(options.window), options.spectrogram ? ", and spectrogram" : "");
        if (plotWrite(options.plot, &analysis, peaks, found, title, options.logFrequency, error, sizeof error) != 0)
            status = 2;
    }
    free(peaks);
    analysisFree(&analysis);
    sourceClose(&source);
    if (status != 0) fail("%s", error);
    return 0;
}
