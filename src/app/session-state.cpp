#include "app/session-state.h"

#include "model/app-record.h"
#include "model/path-label.h"
#include "vfs/glib-ptr.h"

#include <string.h>

// Shorter states cannot hold the four fixed lines.
static const guint32 MIN_FULL_STATE_SIZE = 15;

static gboolean fullscreen_flag = FALSE;
static GSList *restored_selection = nullptr;

void ulvo_fm_set_fullscreen_flag(gboolean fullscreen)
{
    fullscreen_flag = fullscreen;
}

static KivelFileSelection *active_file_selection(void)
{
    if (!global_ofm || !global_ofm->file_selection)
        return nullptr;
    return KIVEL_FILE_SELECTION(global_ofm->file_selection);
}

static gboolean write_bytes(const gchar *data, gsize size)
{
    ulvo_state_t state;
    state.state_size = size;
    state.state_data = const_cast<gchar *>(data);
    if (ulvo_state_write(fm_app_ctx, &state) != ULVO_OK) {
        g_warning("Error writing state\n");
        return FALSE;
    }
    return TRUE;
}

void ulvo_fm_write_state(void)
{
    GString *text = g_string_new(nullptr);
    g_string_append(text, fullscreen_flag ? "Fullscreen\n" : "Normal\n");
    g_string_append(text, details_dialog_open ? "Details\n" : "None\n");

    KivelFileSelection *fs = active_file_selection();
    gint pane =
        fs ? kivel_file_selection_get_active_pane(fs) : KIVEL_FILE_SELECTION_PANE_NAVIGATION;
    g_string_append(text, pane == KIVEL_FILE_SELECTION_PANE_CONTENT ? "ContentPane\n"
                                                                    : "NavigationPane\n");
    ulvo::GCharPtr folder(fs ? kivel_file_selection_get_current_folder_uri(fs) : nullptr);
    g_string_append_printf(text, "%s\n", folder ? folder.get() : "");
    ulvo::GUriList selected(fs ? kivel_file_selection_get_selected_uris(fs) : nullptr);
    for (GSList *l = selected.get(); l; l = l->next) {
        if (l->data)
            g_string_append_printf(text, "%s\n", static_cast<const gchar *>(l->data));
    }
    write_bytes(text->str, text->len);
    g_string_free(text, TRUE);
}

void clear_fm_state(void)
{
    if (!fm_app_ctx) {
        g_warning("clear_fm_state: fm_app_ctx == NULL");
        return;
    }
    write_bytes("Closed", strlen("Closed"));
}

void ulvo_fm_reset_state(void)
{
    g_free(selection_uri);
    selection_uri = g_strdup("");
    details_dialog_open = FALSE;
}

// A saved selection may be long: the list is built in one pass.
static void set_restored_selection(gchar **lines)
{
    g_slist_free_full(restored_selection, g_free);
    restored_selection = nullptr;
    for (gchar **line = lines; *line; line++) {
        // The piece after the last line feed is no item.
        if (line[1] == nullptr && (*line)[0] == '\0')
            break;
        restored_selection = g_slist_prepend(restored_selection, g_strdup(*line));
    }
    restored_selection = g_slist_reverse(restored_selection);
}

void ulvo_fm_read_state(void)
{
    ulvo_state_t state = {0, nullptr};
    if (ulvo_state_read(fm_app_ctx, &state) != ULVO_OK) {
        ulvo_fm_reset_state();
        return;
    }
    ulvo::GCharPtr data(static_cast<gchar *>(state.state_data));
    if (state.state_size < MIN_FULL_STATE_SIZE || !data) {
        ulvo_fm_reset_state();
        return;
    }
    // The data is exactly state_size bytes, with no terminating NUL.
    ulvo::GCharPtr text(g_strndup(data.get(), state.state_size));
    ulvo::GStrvPtr lines(g_strsplit(text.get(), "\n", -1));
    gchar **l = lines.get();
    if (!l[0])
        return;
    fullscreen_flag = g_ascii_strcasecmp(l[0], "Fullscreen") == 0;
    if (!l[1]) {
        details_dialog_open = FALSE;
        return;
    }
    details_dialog_open = g_ascii_strcasecmp(l[1], "Details") == 0;
    if (!l[2])
        return;
    gboolean content_pane = g_ascii_strcasecmp(l[2], "ContentPane") == 0;
    if (!l[3])
        return;
    g_free(selection_uri);
    selection_uri = g_strdup(l[3]);
    set_restored_selection(l + 4);
    ulvo_fm_restore_view(!content_pane);
}

void ulvo_fm_restore_view(gboolean navigation_pane)
{
    if (!global_ofm || !global_ofm->window) {
        g_warning("Error getting view \n");
        return;
    }
    KivelFileSelection *fs = active_file_selection();
    if (!fs)
        return;
    // The folder may be deep and not loaded yet: its rows, and the items'
    // rows in it, arrive later.
    if (selection_uri && selection_uri[0]) {
        kivel_file_selection_select_uris_when_listed(fs, selection_uri, restored_selection);
        ulvo_fm_select_texturi_with_time(selection_uri, 0);
    }
    if (navigation_pane)
        g_object_set(fs, "active-pane", KIVEL_FILE_SELECTION_PANE_NAVIGATION, NULL);
}
