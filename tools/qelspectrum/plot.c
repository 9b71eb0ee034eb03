/* qelspectrum's pictures with cairo: axes with rounded ticks, the averaged
 * level per pixel column (the highest bin that falls in it, so narrow peaks
 * survive the reduction), marked peaks, and a spectrogram in false colour. */
#include "plot.h"

#include <math.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <cairo-svg.h>
#include <cairo.h>

enum { kWidth = 1000, kSpectrumHeight = 460, kSpectrogramHeight = 440 };
static const double kLeft = 72.0, kRight = 24.0, kTop = 40.0, kBottom = 48.0;
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

/* Frequency ticks along the bottom of box, grid lines inside it. */
static void frequencyAxis(cairo_t* cr, Box box, double nyquist, int grid) {
    double step = tickStep(nyquist, 10);
    cairo_set_line_width(cr, 1.0);
    for (double f = 0.0; f <= nyquist * 1.0001; f += step) {
        double x = box.x + box.w * f / nyquist;
        if (grid) {
            cairo_set_source_rgb(cr, 0.88, 0.88, 0.88);
            cairo_move_to(cr, x, box.y);
            cairo_line_to(cr, x, box.y + box.h);
            cairo_stroke(cr);
        }
        char text[32];
        frequencyLabel(text, sizeof text, f);
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        centredText(cr, x, box.y + box.h + 16.0, text);
    }
    centredText(cr, box.x + box.w / 2.0, box.y + box.h + 36.0, "frequency / Hz");
}

static void drawSpectrum(cairo_t* cr, Box box, const Analysis* a, const Peak* peaks, int peakCount) {
    double top = -400.0;
    for (int k = 0; k < a->bins; ++k) top = a->levels[k] > top ? a->levels[k] : top;
    top = ceil(top / 10.0) * 10.0;
    if (top < -300.0) top = 0.0;
    const double bottom = top - kRangeDb;
    const double nyquist = a->rate / 2.0;

    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_rectangle(cr, box.x, box.y, box.w, box.h);
    cairo_fill(cr);
    cairo_set_font_size(cr, 11.0);
    frequencyAxis(cr, box, nyquist, 1);
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
    cairo_save(cr);
    cairo_translate(cr, box.x - 48.0, box.y + box.h / 2.0);
    cairo_rotate(cr, -M_PI / 2.0);
    centredText(cr, 0.0, 0.0, "level / dB full scale");
    cairo_restore(cr);

    /* one point per pixel column: the highest level among its bins */
    cairo_save(cr);
    cairo_rectangle(cr, box.x, box.y, box.w, box.h);
    cairo_clip(cr);
    cairo_set_source_rgb(cr, 0.05, 0.3, 0.65);
    cairo_set_line_width(cr, 1.2);
    int columns = (int)box.w;
    int k = 0;
    for (int c = 0; c < columns; ++c) {
        double highest = -1e9;
        int end = (int)((long long)(c + 1) * a->bins / columns);
        if (end <= k) end = k + 1;
        for (; k < end && k < a->bins; ++k) highest = a->levels[k] > highest ? a->levels[k] : highest;
        if (highest < bottom - 10.0) highest = bottom - 10.0;
        double x = box.x + c + 0.5;
        double y = box.y + box.h * (top - highest) / kRangeDb;
        if (c == 0) cairo_move_to(cr, x, y);
        else cairo_line_to(cr, x, y);
        if (k >= a->bins) break;
    }
    cairo_stroke(cr);
    cairo_restore(cr);

    cairo_set_font_size(cr, 10.0);
    for (int i = 0; i < peakCount; ++i) {
        double x = box.x + box.w * peaks[i].frequency / nyquist;
        double y = box.y + box.h * (top - peaks[i].level) / kRangeDb;
        cairo_set_source_rgb(cr, 0.8, 0.1, 0.1);
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

static int drawSpectrogram(cairo_t* cr, Box box, const Analysis* a) {
    cairo_surface_t* image = cairo_image_surface_create(CAIRO_FORMAT_RGB24, a->columns, a->rows);
    if (cairo_surface_status(image) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(image);
        return -1;
    }
    cairo_surface_flush(image);
    unsigned char* pixels = cairo_image_surface_get_data(image);
    int stride = cairo_image_surface_get_stride(image);
    double top = a->largest > 0.0f ? 20.0 * log10(a->largest) : 0.0;
    for (int r = 0; r < a->rows; ++r) {
        /* row 0 of the image is the highest frequency */
        unsigned int* line = (unsigned int*)(void*)(pixels + (size_t)(a->rows - 1 - r) * (size_t)stride);
        for (int c = 0; c < a->columns; ++c) {
            float m = a->cells[(size_t)r * (size_t)a->columns + (size_t)c];
            double level = m > 0.0f ? 20.0 * log10(m) : top - 1000.0;
            line[c] = colourOf(1.0 - (top - level) / kRangeDb);
        }
    }
    cairo_surface_mark_dirty(image);

    cairo_save(cr);
    cairo_translate(cr, box.x, box.y);
    cairo_scale(cr, box.w / a->columns, box.h / a->rows);
    cairo_set_source_surface(cr, image, 0.0, 0.0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_rectangle(cr, 0.0, 0.0, a->columns, a->rows);
    cairo_fill(cr);
    cairo_restore(cr);
    cairo_surface_destroy(image);

    /* time along the top, frequency on the left */
    cairo_set_font_size(cr, 11.0);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    const double nyquist = a->rate / 2.0;
    double step = tickStep(nyquist, 8);
    for (double f = 0.0; f <= nyquist * 1.0001; f += step) {
        char text[32];
        frequencyLabel(text, sizeof text, f);
        rightText(cr, box.x - 6.0, box.y + box.h - box.h * f / nyquist + 4.0, text);
    }
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
    return 0;
}

int plotWrite(const char* path, const Analysis* a, const Peak* peaks, int peakCount, const char* title,
              char* error, size_t errorSize) {
    Format format = formatOf(path);
    if (format == kFormatNone) {
        snprintf(error, errorSize, "cannot tell the format of '%s': the name must end in .png or .svg", path);
        return -1;
    }
    const int withSpectrogram = a->cells != NULL;
    const int height = kSpectrumHeight + (withSpectrogram ? kSpectrogramHeight : 0);
    cairo_surface_t* surface = format == kFormatPng
                                   ? cairo_image_surface_create(CAIRO_FORMAT_RGB24, kWidth, height)
                                   : cairo_svg_surface_create(path, kWidth, height);
    cairo_t* cr = cairo_create(surface);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);

    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_font_size(cr, 14.0);
    cairo_move_to(cr, kLeft, 24.0);
    cairo_show_text(cr, title);

    Box spectrum = {kLeft, kTop, kWidth - kLeft - kRight, kSpectrumHeight - kTop - kBottom};
    drawSpectrum(cr, spectrum, a, peaks, peakCount);
    int drawn = 0;
    if (withSpectrogram) {
        Box below = {kLeft, kSpectrumHeight + 8.0, spectrum.w, kSpectrogramHeight - 8.0 - kBottom};
        drawn = drawSpectrogram(cr, below, a);
    }

    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    if (status == CAIRO_STATUS_SUCCESS && drawn == 0 && format == kFormatPng) {
        status = cairo_surface_write_to_png(surface, path);
    }
    cairo_surface_finish(surface);
    if (status == CAIRO_STATUS_SUCCESS) status = cairo_surface_status(surface);
    cairo_surface_destroy(surface);
    /* cairo's font caches, so that a leak checker sees only real leaks */
    cairo_debug_reset_static_data();
    if (status != CAIRO_STATUS_SUCCESS || drawn != 0) {
        snprintf(error, errorSize, "cannot write '%s': %s", path,
                 drawn != 0 ? "out of memory for the spectrogram" : cairo_status_to_string(status));
        return -1;
    }
    return 0;
}
