// For benchmarks: when the environment names a report file, the program
// writes one line there once its first folder is listed whole and the main
// loop has nothing left to do.
#pragma once

#include <gtk/gtk.h>

G_BEGIN_DECLS

// The variable that names the report file.
#define ULVO_FM_LOAD_REPORT_ENV "ULVO_FM_LOAD_REPORT"

// Starts watching the main file selection when the variable is set.
void ulvo_fm_load_report_start(void);

G_END_DECLS
