#include "app/rpc.h"

#include "model/app-record.h"
#include "model/location.h"
#include "model/path-label.h"
#include "platform/toolkit/kivel-program.h"
#include "platform/toolkit/kivel-window.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-result.h"
#include "vfs/vfs-uri.h"

#include <dbus/dbus.h>
#include <gio/gio.h>
#include <string.h>

void ulvo_fm_show_pending_folder(void)
{
    ulvo_fm_select_texturi_with_time(pending_folder_uri, 0);
    if (global_ofm && global_ofm->window)
        gtk_window_present(GTK_WINDOW(global_ofm->window));
    g_free(pending_folder_uri);
    pending_folder_uri = nullptr;
}

// "." and "..", escaped or not, would lead out of the place the caller named.
// Only the path is looked at: a gateway's bracketed address is no host name.
static gboolean has_dot_segment(const gchar *uri)
{
    const gchar *authority = strstr(uri, "://");
    const gchar *path = authority ? strchr(authority + 3, '/') : nullptr;
    if (!path)
        return FALSE;
    ulvo::GCharPtr bare(g_strndup(path, strcspn(path, "?#")));
    ulvo::GStrvPtr segments(g_strsplit(bare.get(), "/", -1));
    for (gchar **segment = segments.get(); *segment; segment++) {
        ulvo::GCharPtr name(g_uri_unescape_string(*segment, nullptr));
        if (name && (strcmp(name.get(), ".") == 0 || strcmp(name.get(), "..") == 0))
            return TRUE;
    }
    return FALSE;
}

// Only the places the file system model can show.
static gboolean is_known_location(const gchar *uri)
{
    return g_str_has_prefix(uri, "file:///") || ulvo_fm_uri_is_in_gateway(uri) ||
           ulvo_fm_uri_is_in_media_server(uri) || ulvo_fm_uri_is_in_samba_server(uri);
}

const gchar *ulvo_fm_location_uri_problem(const gchar *uri)
{
    if (!uri || !g_utf8_validate(uri, -1, nullptr))
        return "is not UTF-8 text";
    ulvo::GCharPtr scheme(g_uri_parse_scheme(uri));
    if (!scheme || !ulvo_vfs_uri_is_valid(uri))
        return "is not a URI";
    if (!is_known_location(uri))
        return "is no place this file manager shows";
    if (has_dot_segment(uri))
        return "names \".\" or \"..\" in its path";
    return nullptr;
}

gboolean ulvo_fm_open_folder(const gchar *uri, GError **error)
{
    const gchar *problem = ulvo_fm_location_uri_problem(uri);
    const gboolean exists = !problem && ulvo_vfs_uri_exists(uri);
    if (exists && ulvo_fm_get_path_type(uri) != ULVO_VFS_FILE_TYPE_DIRECTORY)
        problem = "is not a folder";
    if (problem) {
        g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_INVALID_ARGS, "%s %s", uri ? uri : "",
                    problem);
        return FALSE;
    }
    g_free(pending_folder_uri);
    pending_folder_uri = g_strdup(uri);

    // Not under an open details view; a folder that is not there yet (a card
    // still being mounted) stays pending until its volume appears.
    if (details_dialog_open || !exists)
        return TRUE;
    ulvo_fm_show_pending_folder();
    return TRUE;
}

static void open_folder(GArray *arguments)
{
    if (!arguments || arguments->len < 1) {
        g_warning("open_folder: refused: no folder given");
        return;
    }
    const ulvo_rpc_t &first = g_array_index(arguments, ulvo_rpc_t, 0);
    if (first.type != DBUS_TYPE_STRING || !first.value.s) {
        g_warning("open_folder: refused: the first argument is no string");
        return;
    }
    // Peers rely on the plain reply: a refusal is only logged.
    GError *error = nullptr;
    if (!ulvo_fm_open_folder(first.value.s, &error)) {
        g_warning("open_folder: refused: %s", error->message);
        g_error_free(error);
    }
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
