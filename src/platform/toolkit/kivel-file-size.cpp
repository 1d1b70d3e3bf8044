#define G_LOG_DOMAIN "Kivel"

#include "platform/toolkit/kivel-file-size.h"

#include <libintl.h>
#include <stdio.h>

struct UnitFormat {
    const char *id;       // in "kivel-libs": a format with one "%s", the number
    const char *fallback; // when the catalog has no usable entry
};

static const UnitFormat unit_formats[] = {{"wdgt_va_file_size_b", "%s B"},
                                          {"wdgt_va_file_size_kb", "%s kB"},
                                          {"wdgt_va_file_size_mb", "%s MB"},
                                          {"wdgt_va_file_size_gb", "%s GB"},
                                          {"wdgt_va_file_size_tb", "%s TB"}};

// Whether `format` takes exactly one string and nothing else.
static gboolean is_one_string_format(const char *format)
{
    int strings = 0;
    for (const char *p = format; *p; p++) {
        if (*p != '%')
            continue;
        if (p[1] == '%') {
            p++;
            continue;
        }
        if (p[1] != 's')
            return FALSE;
        strings++;
        p++;
    }
    return strings == 1;
}

static gchar *format_with_unit(guint unit, const gchar *number)
{
    const char *format = dgettext("kivel-libs", unit_formats[unit].id);
    if (!is_one_string_format(format))
        format = unit_formats[unit].fallback;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    return g_strdup_printf(format, number);
#pragma GCC diagnostic pop
}

gchar *kivel_format_file_size_for_display(goffset bytes)
{
    if (bytes < 1000) {
        gchar number[24];
        g_snprintf(number, sizeof number, "%d", int(MAX(bytes, goffset(0))));
        return format_with_unit(0, number);
    }
    const guint last_unit = G_N_ELEMENTS(unit_formats) - 1;
    gdouble value = gdouble(bytes);
    guint unit = 0;
    // Go up while the number would show four digits.
    while (unit < last_unit && (unit == 0 || value >= 999.5)) {
        value /= 1024.0;
        unit++;
    }
    gchar number[32];
    if (value < 9.95)
        snprintf(number, sizeof number, "%.1f", value);
    else
        snprintf(number, sizeof number, "%.0f", value);
    return format_with_unit(unit, number);
}
