#include "app/startup.h"

#include "app/load-report.h"
#include "app/ulvo-fm-app.h"
#include "app/ulvo-fm-browser.h"
#include "platform/libulvo/ulvo.h"
#include "platform/services/kivel-mime.h"
#include "platform/toolkit/kivel-locale.h"

#include <glib-unix.h>
#include <libintl.h>
#include <locale.h>
#include <signal.h>
#include <stdlib.h>

void ulvo_fm_init_locale_and_environment(void)
{
    // Programs opened from the window keep their data where the person's
    // environment says, whatever this program sets for itself below.
    kivel_mime_keep_launch_environment();
    setlocale(LC_ALL, "");
    kivel_locale_prefer_english();
    // gtk_init would set the locale from the environment again and undo
    // the English fallback.
    gtk_disable_setlocale();
    bindtextdomain("ulvo-filemanager", kivel_locale_dir());
    bind_textdomain_codeset("ulvo-filemanager", "UTF-8");
    textdomain("ulvo-filemanager");

    g_setenv("XDG_DATA_DIRS", "/usr/share", FALSE);
    g_setenv("XDG_DATA_HOME", "/usr/share", FALSE);
}

static const gchar APPLICATION[] = "ulvo_filemanager";
// Long enough for a running program busy with a large folder.
static const gint RUNNING_INSTANCE_TIMEOUT_MS = 10000;

gboolean ulvo_fm_defer_to_running_instance(int *exit_status)
{
    // The running one may be ending just now: its name is then free to take.
    for (int attempt = 0; attempt < 3; attempt++) {
        if (ulvo_claim_application(APPLICATION) != ULVO_ERROR_ALREADY_RUNNING)
            return FALSE; // ours now, or no bus: the window runs without one
        gint result =
            ulvo_call_application(APPLICATION, "top_application", RUNNING_INSTANCE_TIMEOUT_MS);
        if (result == ULVO_OK) {
            *exit_status = 0;
            return TRUE;
        }
        if (result != ULVO_ERROR_NO_SERVICE) {
            // A second window could own neither the service nor the saved
            // state, so none is shown; the failure is said, not hidden.
            g_warning("The file manager is running already but does not answer (%d)", result);
            *exit_status = 1;
            return TRUE;
        }
    }
    return FALSE;
}

GtkWidget *ulvo_fm_create_main_window(void)
{
    // The window's initialization stores the selection record into it.
    global_ofm = g_new0(UlvoFmApp, 1);
    global_ofm->keyfile = nullptr;

    GtkWidget *window = GTK_WIDGET(g_object_new(ULVO_FM_TYPE_BROWSER, NULL));
    global_ofm->window = window;
    ulvo_fm_load_report_start();
    gtk_widget_show(window);

    global_ofm->cur_operation = OPER_NONE;
    return window;
}

static gboolean on_sigint(gpointer)
{
    gdk_threads_enter();
    if (global_ofm && global_ofm->window && !shutting_down)
        gtk_widget_destroy(global_ofm->window);
    // A dialog, note or plugin window runs a loop of its own beneath this
    // one, and gtk_main would only return once it is answered. Everything
    // is saved by now: end as main would.
    if (g_main_depth() > 1)
        exit(0);
    gdk_threads_leave();
    return G_SOURCE_CONTINUE;
}

void ulvo_fm_install_sigint_handler(void)
{
    g_unix_signal_add(SIGINT, on_sigint, nullptr);
}
