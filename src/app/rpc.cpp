#include "app/rpc.h"

#include "model/app-record.h"
#include "model/path-label.h"
#include "platform/toolkit/kivel-program.h"
#include "platform/toolkit/kivel-window.h"
#include "vfs/vfs-uri.h"

#include <dbus/dbus.h>

void ulvo_fm_show_pending_folder(void)
{
    ulvo_fm_select_texturi_with_time(pending_folder_uri, 0);
    if (global_ofm && global_ofm->window)
        gtk_window_present(GTK_WINDOW(global_ofm->window));
    g_free(pending_folder_uri);
    pending_folder_uri = nullptr;
}

void ulvo_fm_open_folder(const gchar *uri)
{
    g_free(pending_folder_uri);
    pending_folder_uri = g_strdup(uri);

    // Not under an open details view; a folder that is not there yet (a card
    // still being mounted) stays pending until its volume appears.
    if (details_dialog_open || !ulvo_vfs_uri_exists(pending_folder_uri))
        return;
    ulvo_fm_show_pending_folder();
}

static void open_folder(GArray *arguments)
{
    if (!arguments || arguments->len < 1)
        return;
    const ulvo_rpc_t &first = g_array_index(arguments, ulvo_rpc_t, 0);
    if (first.type == DBUS_TYPE_STRING && first.value.s)
        ulvo_fm_open_folder(first.value.s);
}

static void top_application(gpointer program)
{
    kivel_program_set_can_hibernate(KIVEL_PROGRAM(program), FALSE);
    GtkWidget *top = kivel_window_stack_peek(kivel_window_stack_get_default());
    if (top)
        gtk_window_present(GTK_WINDOW(top));
}

gint ulvo_fm_rpc_handler(const gchar *, const gchar *method, GArray *arguments, gpointer data,
                         ulvo_rpc_t *retval)
{
    if (retval)
        retval->type = DBUS_TYPE_INVALID;
    if (g_strcmp0(method, "open_folder") == 0)
        open_folder(arguments);
    else if (g_strcmp0(method, "top_application") == 0)
        top_application(data);
    return ULVO_OK;
}
