// The report line: "listed <items> items <files> files at <t> us; longest
// stall <ms> ms", where <t> is on the monotonic clock that
// g_get_monotonic_time reads. The files count once the content pane is on
// screen; stalls are counted from its first draw, which ends the window's
// construction, until the line is written.
#include "app/load-report.h"

#include "model/app-record.h"
#include "platform/selection/kivel-file-selection.h"

// How often the stall clock ticks.
static const guint TICK_MS = 5;

struct LoadReport {
    gchar *path;
    gint64 last_tick_us;
    gint64 longest_stall_us;
    gboolean watching; // the content pane's first draw is awaited
    gboolean drawn;    // and is over
    guint tick_source;
    guint idle_source;
};

static LoadReport report;

static KivelFileSelection *shown_selection(void)
{
    if (!global_ofm || !global_ofm->file_selection)
        return nullptr;
    return KIVEL_FILE_SELECTION(global_ofm->file_selection);
}

// TRUE when a folder (not the top) is current, loaded, and listed whole.
static gboolean folder_listed(KivelFileSelection *fs)
{
    GtkTreeIter folder;
    KivelFileSystemModel *model = nullptr;
    if (!fs || !kivel_file_selection_get_current_folder_iter(fs, &folder))
        return FALSE;
    g_object_get(fs, "model", &model, nullptr);
    gboolean loaded = model && kivel_file_system_model_children_loaded(model, &folder);
    if (model)
        g_object_unref(model);
    return loaded && kivel_file_selection_content_is_complete(fs);
}

static gint count_files(KivelFileSelection *fs)
{
    GtkTreeModel *model = nullptr;
    GtkTreeIter folder, child;
    g_object_get(fs, "model", &model, nullptr);
    gint files = 0;
    if (model && kivel_file_selection_get_current_folder_iter(fs, &folder) &&
        gtk_tree_model_iter_children(model, &child, &folder)) {
        do {
            gint type = 0;
            gtk_tree_model_get(model, &child, KIVEL_FILE_SYSTEM_MODEL_ITEM_TYPE, &type, -1);
            files += type == KIVEL_FILE_SYSTEM_MODEL_FILE;
        } while (gtk_tree_model_iter_next(model, &child));
    }
    if (model)
        g_object_unref(model);
    return files;
}

static void write_report(KivelFileSelection *fs, gint64 listed_us)
{
    gint items = kivel_file_selection_get_content_count(fs);
    gchar *line = g_strdup_printf(
        "listed %d items %d files at %" G_GINT64_FORMAT " us; longest stall %.1f ms\n", items,
        count_files(fs), listed_us, report.longest_stall_us / 1000.0);
    GError *error = nullptr;
    if (!g_file_set_contents(report.path, line, -1, &error)) {
        g_warning("Unable to write %s: %s", report.path, error->message);
        g_error_free(error);
    }
    g_free(line);
}

// Runs only when nothing of higher priority waits: redraws, loads, fills.
static gboolean on_idle(gpointer)
{
    report.idle_source = 0;
    KivelFileSelection *fs = shown_selection();
    if (!folder_listed(fs))
        return FALSE;
    gint64 now = g_get_monotonic_time();
    if (report.tick_source)
        g_source_remove(report.tick_source);
    report.tick_source = 0;
    write_report(fs, now);
    return FALSE;
}

static gboolean on_first_draw(GtkWidget *view, GdkEventExpose *, gpointer)
{
    g_signal_handlers_disconnect_by_func(view, reinterpret_cast<gpointer>(on_first_draw), nullptr);
    report.drawn = TRUE;
    // The draw itself belongs to the construction.
    report.last_tick_us = g_get_monotonic_time();
    return FALSE;
}

static gboolean on_tick(gpointer)
{
    gint64 now = g_get_monotonic_time();
    gint64 stall = now - report.last_tick_us - gint64(TICK_MS) * 1000;
    if (report.drawn && stall > report.longest_stall_us)
        report.longest_stall_us = stall;
    report.last_tick_us = now;
    KivelFileSelection *fs = shown_selection();
    if (fs && !report.watching) {
        report.watching = TRUE;
        g_signal_connect_after(kivel_file_selection_get_content_view(fs), "expose-event",
                               G_CALLBACK(on_first_draw), nullptr);
    }
    if (report.drawn && !report.idle_source && folder_listed(fs))
        report.idle_source = gdk_threads_add_idle_full(G_PRIORITY_LOW, on_idle, nullptr, nullptr);
    return TRUE;
}

void ulvo_fm_load_report_start(void)
{
    const gchar *path = g_getenv(ULVO_FM_LOAD_REPORT_ENV);
    if (!path || !*path || report.path)
        return;
    report.path = g_strdup(path);
    report.last_tick_us = g_get_monotonic_time();
    report.tick_source =
        gdk_threads_add_timeout_full(G_PRIORITY_HIGH, TICK_MS, on_tick, nullptr, nullptr);
}
