#include "ui/notices.h"

#include "model/fm-assert.h"
#include "platform/toolkit/kivel-banner.h"
#include "platform/toolkit/kivel-note.h"
#include "vfs/glib-ptr.h"

#include <libintl.h>
#include <locale.h>

using ulvo::GCharPtr;
using ulvo::GUriList;

static GtkWindow *main_window(void)
{
    if (global_ofm && global_ofm->window && GTK_IS_WINDOW(global_ofm->window))
        return GTK_WINDOW(global_ofm->window);
    return nullptr;
}

// Runs `note` to its answer, unregisters it when it was registered and
// destroys it. The reference keeps the note valid when something else
// destroys it while it runs.
static gint run_note(GtkWidget *note, gboolean registered)
{
    g_object_ref(note);
    gint response = gtk_dialog_run(GTK_DIALOG(note));
    if (registered)
        fm_unregister_dialog(note);
    gtk_widget_destroy(note);
    g_object_unref(note);
    return response;
}

gint fm_confnote(GtkWindow *window, const gchar *description, const gchar *first_label,
                 gint first_response, const gchar *second_label, gint second_response,
                 gint register_note)
{
    FM_RETURN_VAL_IF_FAIL(!window || GTK_IS_WINDOW(window), "!window || GTK_IS_WINDOW (window)",
                          -1);
    GtkWidget *note = kivel_note_new_confirmation_add_buttons(main_window(), description,
                                                              first_label, first_response,
                                                              second_label, second_response, NULL);
    if (!note)
        return -1;
    if (register_note)
        fm_register_dialog(note);
    return run_note(note, register_note != 0);
}

void fm_infonote(GtkWindow *window, const gchar *text, const gchar *button_text)
{
    FM_RETURN_IF_FAIL(text != NULL, "text != NULL");
    GtkWidget *note = kivel_note_new_information(window ? window : main_window(), text);
    if (!note) {
        g_warning("fm_infonote:Unable to create dialog\n");
        return;
    }
    if (button_text)
        kivel_note_set_button_text(KIVEL_NOTE(note), button_text);
    gtk_widget_show(note);
    run_note(note, FALSE);
}

void fm_infoprint(GtkWindow *window, const gchar *text)
{
    FM_RETURN_IF_FAIL(!window || GTK_IS_WINDOW(window), "!window || GTK_IS_WINDOW (window)");
    FM_RETURN_IF_FAIL(text != NULL, "text != NULL");
    kivel_banner_show_information(nullptr, nullptr, text);
}

// ---- Registered dialog ----------------------------------------------------------

static GSList *copy_uri_list(const GSList *list)
{
    GSList *copy = nullptr;
    for (const GSList *l = list; l; l = l->next)
        copy = g_slist_prepend(copy, g_strdup(static_cast<const gchar *>(l->data)));
    return g_slist_reverse(copy);
}

// A registered dialog destroyed without being unregistered is forgotten, so
// that a later selection change never answers a dialog that is gone.
static void forget_destroyed_dialog(gpointer, GObject *dialog)
{
    if (global_ofm && global_ofm->registered_dialog == (GtkWidget *)dialog) {
        global_ofm->registered_dialog = nullptr;
        g_slist_free_full(global_ofm->registered_paths, g_free);
        global_ofm->registered_paths = nullptr;
    }
}

static void watch_registered_dialog(GtkWidget *dialog, gboolean watch)
{
    if (!dialog)
        return;
    if (watch)
        g_object_weak_ref(G_OBJECT(dialog), forget_destroyed_dialog, nullptr);
    else
        g_object_weak_unref(G_OBJECT(dialog), forget_destroyed_dialog, nullptr);
}

void fm_register_dialog(GtkWidget *dialog)
{
    FM_RETURN_IF_FAIL(global_ofm != NULL, "global_ofm != NULL");
    watch_registered_dialog(global_ofm->registered_dialog, FALSE);
    g_slist_free_full(global_ofm->registered_paths, g_free);
    global_ofm->registered_paths = nullptr;
    global_ofm->registered_dialog = dialog;
    watch_registered_dialog(dialog, TRUE);
    if (global_ofm->selection_info)
        global_ofm->registered_paths = copy_uri_list(global_ofm->selection_info->current_selection);
}

void fm_unregister_dialog(GtkWidget *dialog)
{
    FM_RETURN_IF_FAIL(global_ofm != NULL, "global_ofm != NULL");
    if (dialog != global_ofm->registered_dialog)
        g_warning("UNREGISTERING a non REGISTERED DIALOG\n");
    watch_registered_dialog(global_ofm->registered_dialog, FALSE);
    global_ofm->registered_dialog = nullptr;
    g_slist_free_full(global_ofm->registered_paths, g_free);
    global_ofm->registered_paths = nullptr;
}

static gboolean same_uri_lists(const GSList *a, const GSList *b)
{
    for (; a && b; a = a->next, b = b->next) {
        if (g_strcmp0(static_cast<const gchar *>(a->data), static_cast<const gchar *>(b->data)))
            return FALSE;
    }
    return !a && !b;
}

void fm_check_registered_dialog(UlvoFmApp *app)
{
    if (!app || !app->registered_dialog)
        return;
    FM_RETURN_IF_FAIL(KIVEL_IS_FILE_SELECTION(app->file_selection),
                      "KIVEL_IS_FILE_SELECTION (app->file_selection)");
    KivelFileSelection *fs = KIVEL_FILE_SELECTION(app->file_selection);
    GCharPtr folder(kivel_file_selection_get_current_folder_uri(fs));
    // Built as the selection record builds it, so that a dialog opened for
    // the current folder standing in stays while nothing gets selected.
    GUriList selected(ulvo_fm_selection_items(fs, folder.get(), nullptr));
    if (!same_uri_lists(selected.get(), app->registered_paths))
        gtk_dialog_response(GTK_DIALOG(app->registered_dialog), GTK_RESPONSE_NONE);
}

// ---- Media server rule --------------------------------------------------------------

namespace
{

// A text to show (catalog and ID), a warning to log (no catalog), or
// nothing (neither).
struct MediaCell {
    const char *catalog;
    const char *text;
};

const MediaCell NO = {nullptr, nullptr};
const MediaCell R = {"kivel-fm", "sfil_ib_readonly_location"};
const MediaCell G = {"ulvo-backup", "back_fi_general_error"};
const MediaCell DF = {"kivel-fm", "sfil_ib_cannot_delete_file"};
const MediaCell DD = {"kivel-common-strings", "sfil_ib_unable_to_delete_selected_folder"};
const MediaCell MD = {"kivel-common-strings", "sfil_ib_unable_to_move_selected_folder"};
const MediaCell DI = {"kivel-common-strings", "sfil_ib_unable_to_delete_selected_items"};
const MediaCell MI = {"kivel-common-strings", "sfil_ib_unable_to_move_selected_items"};
const MediaCell RN = {nullptr, "media_items_get_rename_error:This case should not arraise\n"};
const MediaCell CN = {nullptr, "media_items_get_cut_error:This case should not arraise\n"};
const MediaCell SE = {nullptr, "SIT_ERROR_IN_GETTING_INFO\n"};

// Rows by selection type; columns new folder, rename, delete, copy, move.
const MediaCell media_table[SIT_ERROR_IN_GETTING_INFO + 1][5] = {
    /* SIT_NONE */ {R, NO, NO, NO, NO},
    /* SIT_SINGLE_FILE */ {R, G, DF, NO, MI},
    /* SIT_SINGLE_FOLDER */ {R, G, DD, NO, MD},
    /* SIT_MULTIPLE_FILES */ {R, RN, DI, NO, MI},
    /* SIT_MULTIPLE_FOLDERS */ {R, RN, DI, NO, MI},
    /* SIT_SINGLE_SAFE_FOLDER */ {R, RN, CN, NO, CN},
    /* SIT_MULTIPLE_SAFE_FOLDERS */ {R, RN, CN, NO, CN},
    /* SIT_GATEWAY */ {R, G, G, G, G},
    /* SIT_DEVICE_ROOT */ {R, RN, CN, NO, CN},
    /* SIT_FILES_AND_FOLDERS */ {R, RN, DI, NO, MI},
    /* SIT_ERROR_IN_GETTING_INFO */ {R, SE, SE, NO, SE},
};

// The table column of `operation`, or -1 for operations the rule lets through.
int media_column(gint operation)
{
    switch (operation) {
    case OPER_NEW_FOLDER:
        return 0;
    case OPER_RENAME:
        return 1;
    case OPER_DELETE:
        return 2;
    case OPER_COPY:
        return 3;
    case OPER_MOVE:
        return 4;
    default:
        return -1;
    }
}

} // namespace

gboolean media_items_check_operation(gint operation, UlvoFmApp *app)
{
    FM_RETURN_VAL_IF_FAIL(app != NULL, "app != NULL", FALSE);
    if (!app->selection_info || !app->selection_info->in_media_server)
        return FALSE;
    int column = media_column(operation);
    if (column < 0)
        return FALSE;
    UlvoFmSelectionInfoType type = ulvo_fm_selection_info_get_selection_type(app->selection_info);
    if (type < SIT_NONE || type > SIT_ERROR_IN_GETTING_INFO)
        return FALSE;
    const MediaCell &cell = media_table[type][column];
    if (!cell.catalog) {
        if (cell.text)
            g_warning("%s", cell.text);
        return FALSE;
    }
    GtkWindow *window =
        app->window && GTK_IS_WINDOW(app->window) ? GTK_WINDOW(app->window) : nullptr;
    fm_infoprint(window, dcgettext(cell.catalog, cell.text, LC_MESSAGES));
    return TRUE;
}
