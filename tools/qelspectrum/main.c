/* SPDX-License-Identifier: MIT */
/* qelspectrum: magnitude spectra of an audio file, or of a built-in test
 * signal, through the front library libZentavol; prints the strongest peaks
 * and the variant library the process runs on, and draws the spectrum. */
#define _GNU_SOURCE
#include <errno.h>
#include <getopt.h>
#include <limits.h>
#include <link.h>
#include <math.h>
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
    "Input is read until its decoder has no more; a cut or broken stream is\n"
    "analysed as far as it goes, with a warning. Samples must be finite and\n"
    "small enough for the spectrum to stay finite.\n"
    "Exit status: 0 on success (also after a warning), 2 on a bad option,\n"
    "unreadable or unfit input, or an unwritable plot.\n";

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

/* Progress on a terminal: a percentage of what the source promises, or,
 * when it promises nothing, how far it has got. The promise only labels the
 * display; the frames analysed are those the source delivers. */
typedef struct Progress {
    int shown;
    long long expected; /* frames, -1 when unknown */
    int last;
} Progress;

static void showProgress(Progress* progress, long long frames, double seconds) {
    if (!progress->shown) return;
    if (progress->expected > 0) {
        long long total = frames > progress->expected ? frames : progress->expected;
        int percent = (int)(100 * frames / total);
        if (percent == progress->last) return;
        progress->last = percent;
        fprintf(stderr, "\rqelspectrum: %3d%% (%lld of %lld frames)", percent, frames, total);
    } else {
        int tenths = (int)(seconds * 10.0);
        if (tenths == progress->last) return;
        progress->last = tenths;
        fprintf(stderr, "\rqelspectrum: %lld frames (%.1f s)", frames, seconds);
    }
}

/* Everything main holds, so that a failure after the start releases it. */
typedef struct Run {
    Options options;
    Source source;
    Analysis analysis;
    float* samples;
    Peak* peaks;
    Progress progress;
} Run;

static void release(Run* run) {
    free(run->samples);
    free(run->peaks);
    run->samples = NULL;
    run->peaks = NULL;
    if (run->analysis.window != NULL) analysisFree(&run->analysis);
    sourceClose(&run->source);
}

static _Noreturn void failRun(Run* run, const char* format, ...) {
    char text[768];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    release(run);
    /* the message replaces an unfinished progress line */
    if (run->progress.shown) fputs("\r\033[K", stderr);
    fail("%s", text);
}

static const char* inputName(const Run* run) {
    return run->options.input != NULL ? run->options.input : "default signal";
}

/* The count new samples at samples[0..count), which start at sample
 * `first` of the input and are read for frame `frame`, must all be fit. */
static void checkSamples(Run* run, const float* samples, int count, long long first, long long frame) {
    int bad = analysisFirstUnfit(&run->analysis, samples, count);
    if (bad < 0) return;
    const long long index = first + bad;
    const double seconds = (double)index / run->source.rate;
    if (isfinite(samples[bad]))
        failRun(run,
                "%s: sample %lld (%.3f s, frame %lld) is %g, beyond the +-%.3g that frames of %d samples with "
                "the %s window can take without overflow",
                inputName(run), index, seconds, frame, (double)samples[bad], run->analysis.sampleLimit,
                run->analysis.n, windowName(run->options.window));
    failRun(run, "%s: sample %lld (%.3f s, frame %lld) is %s, not a finite number", inputName(run), index, seconds,
            frame, isnan(samples[bad]) ? "NaN" : samples[bad] > 0.0f ? "+inf" : "-inf");
}

static void analyseFrame(Run* run, long long frame) {
    if (analysisFrame(&run->analysis, run->samples) != 0)
        failRun(run, "%s: the summed power of some frequency overflows at frame %lld (%.3f s): the samples are "
                "too large to average", inputName(run), frame,
                (double)(frame * run->options.hop) / run->source.rate);
}

int main(int argc, char** argv) {
    Run run;
    memset(&run, 0, sizeof run);
    run.options = parseOptions(argc, argv);
    const Options* options = &run.options;
    char error[512];

    int opened = options->input != NULL
                     ? sourceOpenFile(&run.source, options->input, options->channel, error, sizeof error)
                     : sourceOpenDefault(&run.source, error, sizeof error);
    if (opened != 0) fail("%s", error);
    if (options->input == NULL && options->channel != 1)
        failRun(&run, "channel %d is out of range: the default signal has 1 channel", options->channel);

    const int n = 1 << options->order;
    if (analysisInit(&run.analysis, options->order, options->window, run.source.rate, options->spectrogram, error,
                     sizeof error) != 0)
        failRun(&run, "%s", error);
    run.samples = (float*)malloc((size_t)n * sizeof(float));
    if (run.samples == NULL) failRun(&run, "out of memory for frames of order %d", options->order);

    /* Frames that fit entirely, as many as the source delivers; a signal
     * shorter than one frame is padded. */
    Progress* progress = &run.progress;
    progress->expected = -1;
    progress->last = -1;
    const long long promised = run.source.promised;
    if (promised >= 0) progress->expected = promised <= n ? 1 : 1 + (promised - n) / options->hop;
    progress->shown = isatty(STDERR_FILENO) && (progress->expected < 0 || progress->expected >= 200);

    long long frames = 0;
    long long got = sourceRead(&run.source, run.samples, n);
    if (got > 0) {
        checkSamples(&run, run.samples, (int)got, 0, 0);
        analyseFrame(&run, 0);
        frames = 1;
        showProgress(progress, frames, (double)run.source.position / run.source.rate);
    }
    /* the loop ends at the decoder's end: a read or skip that comes short */
    while (got > 0) {
        /* the new samples go to fresh[0..wanted), sample `first` onwards */
        long long first = 0, wanted = 0;
        float* fresh = NULL;
        if (options->hop < n) {
            wanted = options->hop;
            fresh = run.samples + (n - wanted);
            memmove(run.samples, run.samples + wanted, (size_t)(n - wanted) * sizeof(float));
        } else {
            if (sourceSkip(&run.source, options->hop - n) < options->hop - n) break;
            wanted = n;
            fresh = run.samples;
        }
        first = run.source.position;
        if (sourceRead(&run.source, fresh, wanted) < wanted) break;
        checkSamples(&run, fresh, (int)wanted, first, frames);
        analyseFrame(&run, frames);
        ++frames;
        showProgress(progress, frames, (double)run.source.position / run.source.rate);
    }
    if (progress->shown) {
        if (progress->expected > 0) {
            progress->expected = frames;
            progress->last = -1;
            showProgress(progress, frames, 0.0);
        }
        fputs("\r\033[K", stderr);
        progress->shown = 0;
    }

    char shortfall[400];
    const int cut = sourceShortfall(&run.source, shortfall, sizeof shortfall);
    if (frames == 0 && cut != 0) failRun(&run, "%s: holds no samples that decode; %s", inputName(&run), shortfall);
    if (frames == 0) failRun(&run, "%s: holds no samples", inputName(&run));
    run.analysis.seconds = (double)((frames - 1) * options->hop + n) / run.source.rate;
    if (analysisFinish(&run.analysis, error, sizeof error) != 0) failRun(&run, "%s", error);

    run.peaks = (Peak*)malloc((size_t)options->peaks * sizeof(Peak));
    if (run.peaks == NULL) failRun(&run, "out of memory");
    int found = analysisPeaks(&run.analysis, run.peaks, options->peaks);

    LoadedVariant variant = {"", ""};
    if (dl_iterate_phdr(findVariant, &variant) == 0) snprintf(variant.path, sizeof variant.path, "(not found)");

    /* the warning comes first, so that a reader of both streams sees it
     * before the results it qualifies */
    if (cut != 0)
        fprintf(stderr, "qelspectrum: warning: %s: the input ends after %lld samples (%.3f s); %s; analysed as far as it goes\n",
                inputName(&run), run.source.position, (double)run.source.position / run.source.rate, shortfall);

    const long long length = run.source.position;
    if (options->input == NULL) {
        printf("input:    default signal, %.0f Hz, %.1f s, tones at", kDefaultRate, kDefaultSeconds);
        for (int k = 0; k < kDefaultToneCount; ++k) printf("%s %.0f Hz", k == 0 ? "" : ",", kDefaultTones[k].frequency);
        printf(" over noise at -60 dB\n");
    } else {
        printf("input:    %s, channel %d of %d, %.0f Hz, %lld samples (%.2f s)\n", options->input, options->channel,
               run.source.channels, run.source.rate, length, (double)length / run.source.rate);
    }
    printf("library:  %s (variant %s)\n", variant.path, variant.code[0] != '\0' ? variant.code : "unknown");
    printf("analysis: %lld frame%s of 2^%d = %d samples, hop %lld, %s window, bins %.3f Hz apart\n", frames,
           frames == 1 ? "" : "s", options->order, n, options->hop, windowName(options->window), run.source.rate / n);
    printf("\n  peak  frequency/Hz  level/dB\n");
    for (int i = 0; i < found; ++i)
        printf("  %4d  %12.2f  %8.2f\n", i + 1, run.peaks[i].frequency, run.peaks[i].level);
    if (found == 0) printf("  (no peak: the spectrum is flat)\n");
    if (fflush(stdout) != 0 || ferror(stdout)) failRun(&run, "cannot write the results: %s", strerror(errno));

    if (options->plot != NULL) {
        char title[400];
        snprintf(title, sizeof title, "%s: averaged spectrum, %lld frames of %d samples, %s window%s",
                 run.source.name, frames, n, windowName(options->window),
                 options->spectrogram ? ", and spectrogram" : "");
        if (plotWrite(options->plot, &run.analysis, run.peaks, found, title, options->logFrequency, error,
                      sizeof error) != 0)
            failRun(&run, "%s", error);
    }
    release(&run);
    return 0;
}
