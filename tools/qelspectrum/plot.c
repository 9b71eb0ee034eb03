/* SPDX-License-Identifier: MIT */
/* qelspectrum's pictures with cairo: axes with rounded ticks (linear or
 * logarithmic in frequency), the averaged level per pixel column (the highest
 * bin that falls in it, so narrow peaks survive the reduction), marked peaks,
 * and a spectrogram in false colour with its scale in dB. */
#include "plot.h"

#include <math.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <cairo-svg.h>
#include <cairo.h>

#include "replace.h"

enum { kWidth = 1000, kSpectrumHeight = 460, kSpectrogramHeight = 440 };
static const double kLeft = 72.0, kRight = 24.0, kTop = 40.0, kBottom = 48.0, kColourBarMargin = 110.0;
static const double kRangeDb = 100.0;

typedef enum Format { kFormatNone, kFormatPng, kFormatSvg } Format;

static Format formatOf(const char* path) {
    size_t length = strlen(path);
    if (length > 4 && strcasecmp(path + length - 4, ".png") == 0) return kFormatPng;
    if (length > 4 && strcasecmp(path + length - 4, ".svg") == 0) return kFormatSvg;
    return kFormatNone;
}

int plotFormatKnown(const char* path) { return formatOf(path) != kFormatNone; }

/* A step of 1, 2 or 5 times a power of ten giving about `wanted` ticks. */
static double tickStep(double span, int wanted) {
    double raw = span / wanted;
    double power = pow(10.0, floor(log10(raw)));
    double scaled = raw / power;
    double step = scaled < 1.5 ? 1.0 : scaled < 3.5 ? 2.0 : scaled < 7.5 ? 5.0 : 10.0;
    return step * power;
}

typedef struct Box {
    double x, y, w, h;
} Box;

static void frequencyLabel(char* text, size_t size, double hz) {
    if (hz >= 1000.0) snprintf(text, size, "%gk", hz / 1000.0);
    else snprintf(text, size, "%g", hz);
}

static void centredText(cairo_t* cr, double x, double y, const char* text) {
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text, &extents);
    cairo_move_to(cr, x - extents.width / 2.0 - extents.x_bearing, y);
    cairo_show_text(cr, text);
}

static void rightText(cairo_t* cr, double x, double y, const char* text) {
    cairo_text_extents_t extents;
    cairo_text_extents(cr, text, &extents);
    cairo_move_to(cr, x - extents.width - extents.x_bearing, y);
    cairo_show_text(cr, text);
}

/* The frequency axis of both plots: linear from 0 Hz, or logarithmic from
 * the first bin above 0 Hz; both end at the Nyquist frequency. */
typedef struct FrequencyAxis {
    double low, high;
    int logarithmic;
} FrequencyAxis;

static FrequencyAxis frequencyAxisOf(const Analysis* a, int logarithmic) {
    FrequencyAxis axis = {logarithmic ? a->rate / a->n : 0.0, a->rate / 2.0, logarithmic};
    return axis;
}

/* Where f lies along the axis, 0 at its low end and 1 at its high end. */
static double axisFraction(FrequencyAxis axis, double f) {
    if (axis.logarithmic) return log(f / axis.low) / log(axis.high / axis.low);
    return (f - axis.low) / (axis.high - axis.low);
}

static double axisFrequency(FrequencyAxis axis, double fraction) {
    if (axis.logarithmic) return axis.low * pow(axis.high / axis.low, fraction);
    return axis.low + (axis.high - axis.low) * fraction;
}

enum { kMaxTicks = 64 };

/* Tick frequencies: steps of 1, 2 or 5 times a power of ten giving about
 * `wanted` ticks on a linear axis; 1, 2 and 5 of every decade on a
 * logarithmic one. Returns how many. */
static int frequencyTicks(FrequencyAxis axis, int wanted, double ticks[kMaxTicks]) {
    int count = 0;
    if (!axis.logarithmic) {
        double step = tickStep(axis.high - axis.low, wanted);
        for (double f = 0.0; f <= axis.high * 1.0001 && count < kMaxTicks; f += step) ticks[count++] = f;
        return count;
    }
    static const double kMantissas[] = {1.0, 2.0, 5.0};
    for (double decade = pow(10.0, floor(log10(axis.low))); decade <= axis.high && count < kMaxTicks; decade *= 10.0)
        for (int m = 0; m < 3 && count < kMaxTicks; ++m) {
            double f = kMantissas[m] * decade;
            if (f >= axis.low * 0.9999 && f <= axis.high * 1.0001) ticks[count++] = f;
        }
    return count;
}

/* Frequency ticks along the bottom of box, grid lines inside it. */
static void frequencyAxis(cairo_t* cr, Box box, FrequencyAxis axis, int grid) {
    double ticks[kMaxTicks];
    int count = frequencyTicks(axis, 10, ticks);
    cairo_set_line_width(cr, 1.0);
    for (int i = 0; i < count; ++i) {
        double x = box.x + box.w * axisFraction(axis, ticks[i]);
        if (grid) {
            cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
            cairo_move_to(cr, x, box.y);
            cairo_line_to(cr, x, box.y + box.h);
            cairo_stroke(cr);
        }
        char text[32];
        frequencyLabel(text, sizeof text, ticks[i]);
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        centredText(cr, x, box.y + box.h + 16.0, text);
    }
    centredText(cr, box.x + box.w / 2.0, box.y + box.h + 36.0, "frequency / Hz");
}

/* Text turned a quarter anticlockwise, centred on (x, y). */
static void verticalText(cairo_t* cr, double x, double y, const char* text) {
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_rotate(cr, -M_PI / 2.0);
    centredText(cr, 0.0, 0.0, text);
    cairo_restore(cr);
}

/* The level of the averaged spectrum at frequency f, between bins. */
static double levelAt(const Analysis* a, double f) {
    double position = f / (a->rate / a->n);
    int k = (int)position;
    if (k >= a->bins - 1) return a->levels[a->bins - 1];
    return a->levels[k] + (a->levels[k + 1] - a->levels[k]) * (position - k);
}

static void drawSpectrum(cairo_t* cr, Box box, const Analysis* a, FrequencyAxis axis, const Peak* peaks,
                         int peakCount) {
    double top = -400.0;
    for (int k = 0; k < a->bins; ++k) top = a->levels[k] > top ? a->levels[k] : top;
    top = ceil(top / 10.0) * 10.0;
    if (top < -300.0) top = 0.0;
    const double bottom = top - kRangeDb;
    const double binWidth = a->rate / a->n;

    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_rectangle(cr, box.x, box.y, box.w, box.h);
    cairo_fill(cr);
    cairo_set_font_size(cr, 11.0);
    frequencyAxis(cr, box, axis, 1);
    for (double level = bottom; level <= top + 0.001; level += 10.0) {
        double y = box.y + box.h * (top - level) / kRangeDb;
        cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
        cairo_move_to(cr, box.x, y);
        cairo_line_to(cr, box.x + box.w, y);
        cairo_stroke(cr);
        char text[32];
        snprintf(text, sizeof text, "%g", level);
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        rightText(cr, box.x - 6.0, y + 4.0, text);
    }
    verticalText(cr, box.x - 48.0, box.y + box.h / 2.0, "level / dB full scale");

    /* one point per pixel column: the highest level among the bins that fall
     * in it, so narrow peaks survive; where a bin spans several columns (low
     * frequencies on a logarithmic axis), the level between bins */
    cairo_save(cr);
    cairo_rectangle(cr, box.x, box.y, box.w, box.h);
    cairo_clip(cr);
    cairo_set_source_rgb(cr, 0.05, 0.3, 0.65);
    cairo_set_line_width(cr, 1.2);
    const int columns = (int)box.w;
    for (int c = 0; c < columns; ++c) {
        double from = axisFrequency(axis, (double)c / columns) / binWidth;
        double to = axisFrequency(axis, (double)(c + 1) / columns) / binWidth;
        int first = (int)ceil(from), last = (int)ceil(to) - 1;
        if (last >= a->bins) last = a->bins - 1;
        double highest = -1e9;
        if (first <= last)
            for (int k = first; k <= last; ++k) highest = a->levels[k] > highest ? a->levels[k] : highest;
        else
            highest = levelAt(a, axisFrequency(axis, (c + 0.5) / columns));
        if (highest < bottom - 10.0) highest = bottom - 10.0;
        double x = box.x + c + 0.5;
        double y = box.y + box.h * (top - highest) / kRangeDb;
        if (c == 0) cairo_move_to(cr, x, y);
        else cairo_line_to(cr, x, y);
    }
    cairo_stroke(cr);
    cairo_restore(cr);

    cairo_set_font_size(cr, 10.0);
    for (int i = 0; i < peakCount; ++i) {
        if (peaks[i].frequency < axis.low) continue; /* left of a logarithmic axis */
        double x = box.x + box.w * axisFraction(axis, peaks[i].frequency);
        double y = box.y + box.h * (top - peaks[i].level) / kRangeDb;
        cairo_set_source_rgb(cr, 0.8, 0.1, 0.1);
        /* a path of its own: after the previous label the current point is
         * the label's end, and an arc would join it by a line */
        cairo_new_path(cr);
        cairo_arc(cr, x, y, 3.0, 0.0, 2.0 * M_PI);
        cairo_fill(cr);
        char text[48];
        snprintf(text, sizeof text, "%.0f Hz", peaks[i].frequency);
        cairo_move_to(cr, x + 5.0, y - 4.0);
        cairo_show_text(cr, text);
    }

    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, box.x, box.y, box.w, box.h);
    cairo_stroke(cr);
}

/* Dark blue through red to pale yellow, as level rises from the floor. */
static unsigned int colourOf(double t) {
    static const double stops[][3] = {
        {0.0, 0.0, 0.08}, {0.2, 0.05, 0.45}, {0.6, 0.1, 0.5}, {0.9, 0.35, 0.1}, {1.0, 0.95, 0.6},
    };
    const int last = (int)(sizeof stops / sizeof stops[0]) - 1;
    if (t < 0.0) t = 0.0;
    if (t > 1.0) t = 1.0;
    double position = t * last;
    int i = (int)position;
    if (i >= last) i = last - 1;
    double f = position - i;
    unsigned int rgb = 0xFF000000u;
    for (int c = 0; c < 3; ++c) {
        double v = stops[i][c] + (stops[i + 1][c] - stops[i][c]) * f;
        rgb |= (unsigned int)(v * 255.0 + 0.5) << (16 - 8 * c);
    }
    return rgb;
}

/* An image of width x height pixels, or NULL. */
static cairo_surface_t* newImage(int width, int height) {
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    if (cairo_surface_status(image) == CAIRO_STATUS_SUCCESS) return image;
    cairo_surface_destroy(image);
    return NULL;
}

/* Paints image over box, each pixel stretched to its share of the box. */
static void paintImage(cairo_t* cr, cairo_surface_t* image, Box box) {
    const int width = cairo_image_surface_get_width(image), height = cairo_image_surface_get_height(image);
    cairo_surface_mark_dirty(image);
    cairo_save(cr);
    cairo_translate(cr, box.x, box.y);
    cairo_scale(cr, box.w / width, box.h / height);
    cairo_set_source_surface(cr, image, 0.0, 0.0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_rectangle(cr, 0.0, 0.0, width, height);
    cairo_fill(cr);
    cairo_restore(cr);
}

static unsigned int* imageRow(cairo_surface_t* image, int row) {
    unsigned char* pixels = cairo_image_surface_get_data(image);
    return (unsigned int*)(void*)(pixels + (size_t)row * (size_t)cairo_image_surface_get_stride(image));
}

/* The colour scale beside the spectrogram: the colours from the floor to
 * the top level, ticks every 20 dB in dB full scale, and the scale's name. */
static int drawColourBar(cairo_t* cr, Box bar, double top) {
    const int height = (int)bar.h;
    cairo_surface_t* image = newImage(1, height);
    if (image == NULL) return -1;
    cairo_surface_flush(image);
    for (int r = 0; r < height; ++r) imageRow(image, r)[0] = colourOf(1.0 - (r + 0.5) / height);
    paintImage(cr, image, bar);
    cairo_surface_destroy(image);

    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    cairo_set_line_width(cr, 1.0);
    cairo_set_font_size(cr, 11.0);
    for (double level = ceil((top - kRangeDb) / 20.0) * 20.0; level <= top + 1e-9; level += 20.0) {
        double y = bar.y + bar.h * (top - level) / kRangeDb;
        cairo_move_to(cr, bar.x + bar.w, y);
        cairo_line_to(cr, bar.x + bar.w + 4.0, y);
        cairo_stroke(cr);
        char text[32];
        snprintf(text, sizeof text, "%g", level == 0.0 ? 0.0 : level);
        cairo_move_to(cr, bar.x + bar.w + 6.0, y + 4.0);
        cairo_show_text(cr, text);
    }
    verticalText(cr, bar.x + bar.w + 52.0, bar.y + bar.h / 2.0, "level / dB full scale");
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    cairo_rectangle(cr, bar.x, bar.y, bar.w, bar.h);
    cairo_stroke(cr);
    return 0;
}

static int drawSpectrogram(cairo_t* cr, Box box, const Analysis* a, FrequencyAxis axis) {
    /* one image row per pixel row of the box, each showing the cell row of
     * its frequency, so that either axis maps the cells the same way */
    const int height = (int)box.h;
    cairo_surface_t* image = newImage(a->columns, height);
    if (image == NULL) return -1;
    cairo_surface_flush(image);
    /* levels in dB full scale: a full-scale sine's |X| is the gain */
    const double reference = 20.0 * log10(a->gain);
    const double top = a->largest > 0.0f ? 20.0 * log10(a->largest) - reference : 0.0;
    const double binWidth = a->rate / a->n;
    for (int r = 0; r < height; ++r) {
        /* image row 0 is the highest frequency */
        double f = axisFrequency(axis, 1.0 - (r + 0.5) / height);
        long long cell = (long long)(f / binWidth * a->rows / a->bins);
        if (cell >= a->rows) cell = a->rows - 1;
        const float* cells = a->cells + (size_t)cell * (size_t)a->columns;
        unsigned int* line = imageRow(image, r);
        for (int c = 0; c < a->columns; ++c) {
            double level = cells[c] > 0.0f ? 20.0 * log10(cells[c]) - reference : top - 1000.0;
            line[c] = colourOf(1.0 - (top - level) / kRangeDb);
        }
    }
    paintImage(cr, image, box);
    cairo_surface_destroy(image);

    /* time along the bottom, frequency on the left, the colour scale right */
    cairo_set_font_size(cr, 11.0);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    double ticks[kMaxTicks];
    int count = frequencyTicks(axis, 8, ticks);
    for (int i = 0; i < count; ++i) {
        char text[32];
        frequencyLabel(text, sizeof text, ticks[i]);
        rightText(cr, box.x - 6.0, box.y + box.h * (1.0 - axisFraction(axis, ticks[i])) + 4.0, text);
    }
    verticalText(cr, box.x - 48.0, box.y + box.h / 2.0, "frequency / Hz");
    if (a->seconds > 0.0) {
        double tick = tickStep(a->seconds, 10);
        for (double t = 0.0; t <= a->seconds * 1.0001; t += tick) {
            char text[32];
            snprintf(text, sizeof text, "%g", t);
            centredText(cr, box.x + box.w * t / a->seconds, box.y + box.h + 16.0, text);
        }
        centredText(cr, box.x + box.w / 2.0, box.y + box.h + 36.0, "time / s");
    }
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    cairo_set_line_width(cr, 1.0);
    cairo_rectangle(cr, box.x, box.y, box.w, box.h);
    cairo_stroke(cr);

    Box bar = {box.x + box.w + 14.0, box.y, 14.0, box.h};
    return drawColourBar(cr, bar, top);
}

static cairo_status_t writeBytes(void* closure, const unsigned char* bytes, unsigned int size) {
    return replacementWrite((Replacement*)closure, bytes, size) == 0 ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
}

int plotWrite(const char* path, const Analysis* a, const Peak* peaks, int peakCount, const char* title,
              int logFrequency, char* error, size_t errorSize) {
    Format format = formatOf(path);
    if (format == kFormatNone) {
        snprintf(error, errorSize, "cannot tell the format of '%s': the name must end in .png or .svg", path);
        return -1;
    }
    Replacement file;
    if (replacementOpen(&file, path, error, errorSize) != 0) return -1;
    const int withSpectrogram = a->cells != NULL;
    const int height = kSpectrumHeight + (withSpectrogram ? kSpectrogramHeight : 0);
    cairo_surface_t* surface = format == kFormatPng
                                   ? cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, height)
                                   : cairo_svg_surface_create_for_stream(writeBytes, &file, kWidth, height);
    cairo_t* cr = cairo_create(surface);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);

    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_font_size(cr, 14.0);
    cairo_move_to(cr, kLeft, 24.0);
    cairo_show_text(cr, title);

    /* the colour scale of a spectrogram takes a margin on the right; both
     * plots keep the same width so that their frequency axes line up */
    const double right = withSpectrogram ? kColourBarMargin : kRight;
    const FrequencyAxis axis = frequencyAxisOf(a, logFrequency);
    Box spectrum = {kLeft, kTop, kWidth - kLeft - right, kSpectrumHeight - kTop - kBottom};
    drawSpectrum(cr, spectrum, a, axis, peaks, peakCount);
    int drawn = 0;
    if (withSpectrogram) {
        Box below = {kLeft, kSpectrumHeight + 8.0, spectrum.w, kSpectrogramHeight - 8.0 - kBottom};
        drawn = drawSpectrogram(cr, below, a, axis);
    }

    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    if (status == CAIRO_STATUS_SUCCESS && drawn == 0 && format == kFormatPng) {
        status = cairo_surface_write_to_png_stream(surface, writeBytes, &file);
    }
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    /* cairo's font caches, so that a leak checker sees only real leaks */
    cairo_debug_reset_static_data();
    if (status != CAIRO_STATUS_SUCCESS || drawn != 0) {
        const int failure = file.error;
        replacementAbandon(&file);
        /* the system's reason for a failed write says more than cairo's */
        snprintf(error, errorSize, "cannot write '%s': %s", path,
                 drawn != 0     ? "out of memory for the spectrogram"
                 : failure != 0 ? strerror(failure)
                                : cairo_status_to_string(status));
        return -1;
    }
    return replacementCommit(&file, error, errorSize);
}
