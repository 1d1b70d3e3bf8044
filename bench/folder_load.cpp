// Opens the file manager's window on a folder of N empty files and reports
// how long the content pane takes to list them all, and the longest stall of
// the main loop meanwhile. Run it on a display (xvfb-run is fine):
//   bench/folder_load 100000
#include "app/startup.h"
#include "model/app-record.h"
#include "platform/selection/kivel-file-selection.h"
#include "platform/toolkit/kivel-program.h"

#include <fcntl.h>
#include <glib/gstdio.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <string>

static const guint TICK_MS = 5;

struct Measure {
    gint expected = 0;
    gint64 start_us = 0;
    gint64 last_tick_us = 0;
    gint64 longest_stall_us = 0;
    gint64 done_us = 0;
};

static gboolean on_tick(gpointer data)
{
    auto *m = static_cast<Measure *>(data);
    gint64 now = g_get_monotonic_time();
    gint64 gap = now - m->last_tick_us - gint64(TICK_MS) * 1000;
    if (gap > m->longest_stall_us)
        m->longest_stall_us = gap;
    m->last_tick_us = now;

    if (global_ofm && global_ofm->file_selection &&
        kivel_file_selection_get_content_count(KIVEL_FILE_SELECTION(global_ofm->file_selection)) >=
            m->expected) {
        m->done_us = now;
        gtk_main_quit();
        return FALSE;
    }
    return TRUE;
}

static gboolean on_give_up(gpointer)
{
    gtk_main_quit();
    return FALSE;
}

static bool make_files(const std::string &folder, gint count)
{
    for (gint i = 0; i < count; i++) {
        std::string name = folder + "/file-" + std::to_string(i) + ".txt";
        int fd = open(name.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd < 0)
            return false;
        close(fd);
    }
    return true;
}

int main(int argc, char **argv)
{
    gint count = argc > 1 ? atoi(argv[1]) : 10000;
    if (count <= 0) {
        fprintf(stderr, "usage: %s N (number of files)\n", argv[0]);
        return 2;
    }
    gchar *home = g_dir_make_tmp("ulvo-bench-XXXXXX", nullptr);
    if (!home)
        return 1;
    std::string docs = std::string(home) + "/MyDocs";
    g_mkdir_with_parents(docs.c_str(), 0755);
    g_setenv("HOME", home, TRUE);
    g_setenv("XDG_CACHE_HOME", (std::string(home) + "/.cache").c_str(), TRUE);
    if (!make_files(docs, count)) {
        perror("creating files");
        return 1;
    }

    ulvo_fm_init_locale_and_environment();
    gdk_threads_init();
    gdk_threads_enter();
    if (!gtk_init_check(&argc, &argv)) {
        fprintf(stderr, "no display (run it under xvfb-run)\n");
        return 1;
    }
    kivel_init();

    Measure m;
    m.expected = count;
    m.start_us = m.last_tick_us = g_get_monotonic_time();
    ulvo_fm_create_main_window();
    gdk_threads_add_timeout(TICK_MS, on_tick, &m);
    g_timeout_add_seconds(900, on_give_up, nullptr);
    gtk_main();
    gdk_threads_leave();

    std::string cleanup = std::string("rm -rf '") + home + "'";
    if (system(cleanup.c_str()) != 0)
        fprintf(stderr, "could not remove %s\n", home);
    g_free(home);

    if (!m.done_us) {
        printf("entries %d: not all listed within the time limit\n", count);
        return 1;
    }
    printf("entries %d: all listed after %.2f s; longest main-loop stall %.1f ms\n", count,
           (m.done_us - m.start_us) / 1e6, m.longest_stall_us / 1000.0);
    return 0;
}
