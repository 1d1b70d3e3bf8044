#include "settings/sort-dialog.h"

#include "model/fm-assert.h"
#include "platform/toolkit/kivel-picker.h"
#include "settings/folder-state.h"
#include "vfs/glib-ptr.h"

#include <libintl.h>
#include <locale.h>

using ulvo::GCharPtr;

namespace
{

struct SortRow {
    const gchar *label_id;
    KivelFileSelectionSortKey key;
    GtkSortType order;
};

const SortRow sort_rows[] = {
    {"docm_li_sort_name_az", KIVEL_FILE_SELECTION_SORT_KEY_NAME, GTK_SORT_ASCENDING},
    {"docm_li_sort_name_za", KIVEL_FILE_SELECTION_SORT_KEY_NAME, GTK_SORT_DESCENDING},
    {"docm_li_sort_date_newest", KIVEL_FILE_SELECTION_SORT_KEY_MODIFIED, GTK_SORT_DESCENDING},
    {"docm_li_sort_date_oldest", KIVEL_FILE_SELECTION_SORT_KEY_MODIFIED, GTK_SORT_ASCENDING},
    {"docm_li_sort_size_largest", KIVEL_FILE_SELECTION_SORT_KEY_SIZE, GTK_SORT_DESCENDING},
    {"docm_li_sort_size_smallest", KIVEL_FILE_SELECTION_SORT_KEY_SIZE, GTK_SORT_ASCENDING},
};

const gchar *row_label(const SortRow &row)
{
    return dcgettext("ulvo-filemanager", row.label_id, LC_MESSAGES);
}

GtkWidget *new_sort_picker(GtkWindow *parent)
{
    GtkWidget *dialog = kivel_picker_dialog_new(parent);
    GtkWidget *selector = kivel_touch_selector_new_text();
    gtk_window_set_title(GTK_WINDOW(dialog), dcgettext("kivel-libs", "ckdg_ti_sort", LC_MESSAGES));
    for (const SortRow &row : sort_rows)
        kivel_touch_selector_append_text(KIVEL_TOUCH_SELECTOR(selector), row_label(row));
    kivel_picker_dialog_set_selector(KIVEL_PICKER_DIALOG(dialog), KIVEL_TOUCH_SELECTOR(selector));
    return dialog;
}

// The row whose label reads `text`, ignoring ASCII case; nullptr for none.
const SortRow *row_for_text(const gchar *text)
{
    for (const SortRow &row : sort_rows)
        if (text && g_ascii_strcasecmp(text, row_label(row)) == 0)
            return &row;
    return nullptr;
}

} // namespace

gboolean on_sort_activate(KivelFileSelection *fileselection)
{
    FM_RETURN_VAL_IF_FAIL(KIVEL_IS_FILE_SELECTION(fileselection),
                          "KIVEL_IS_FILE_SELECTION (fileselection)", FALSE);
    ulvo_fm_dialog_sort(fileselection, global_ofm ? global_ofm->keyfile : nullptr);
    return TRUE;
}

void ulvo_fm_dialog_sort(KivelFileSelection *file_selection, GKeyFile *keyfile)
{
    FM_RETURN_IF_FAIL(KIVEL_IS_FILE_SELECTION(file_selection),
                      "KIVEL_IS_FILE_SELECTION (file_selection)");
    GtkWidget *parent = gtk_widget_get_toplevel(GTK_WIDGET(file_selection));
    FM_RETURN_IF_FAIL(GTK_IS_WINDOW(parent), "GTK_IS_WINDOW (parent)");

    GtkWidget *dialog = new_sort_picker(GTK_WINDOW(parent));
    KivelFileSelectionSortKey key;
    GtkSortType order;
    kivel_file_selection_get_sort_key(file_selection, &key, &order);

    g_object_ref(dialog);
    gint response = gtk_dialog_run(GTK_DIALOG(dialog));
    if (response != GTK_RESPONSE_DELETE_EVENT) {
        KivelTouchSelector *selector =
            kivel_picker_dialog_get_selector(KIVEL_PICKER_DIALOG(dialog));
        GCharPtr text(kivel_touch_selector_get_current_text(selector));
        if (const SortRow *row = row_for_text(text.get())) {
            key = row->key;
            order = row->order;
        }
        kivel_file_selection_set_sort_key(file_selection, key, order);
        ulvo_fm_save_path_preferences(file_selection, keyfile);
    }
    gtk_widget_destroy(dialog);
    g_object_unref(dialog);
}

void ulvo_fm_save_path_preferences(KivelFileSelection *file_selection, GKeyFile *keyfile)
{
    FM_RETURN_IF_FAIL(KIVEL_IS_FILE_SELECTION(file_selection),
                      "KIVEL_IS_FILE_SELECTION (file_selection)");
    GCharPtr uri(kivel_file_selection_get_current_folder_uri(file_selection));
    FM_RETURN_IF_FAIL(uri != NULL, "uri != NULL");
    KivelFileSelectionSortKey key;
    GtkSortType order;
    kivel_file_selection_get_sort_key(file_selection, &key, &order);
    gint mode =
        kivel_file_selection_get_mode(file_selection) == KIVEL_FILE_SELECTION_MODE_THUMBNAILS;
    ulvo_fm_set_config_value_for_texturi(keyfile, uri.get(), mode, key,
                                         order == GTK_SORT_DESCENDING);
}

void ulvo_fm_apply_path_preferences(KivelFileSelection *file_selection, GKeyFile *keyfile)
{
    FM_RETURN_IF_FAIL(KIVEL_IS_FILE_SELECTION(file_selection),
                      "KIVEL_IS_FILE_SELECTION (file_selection)");
    GCharPtr uri(kivel_file_selection_get_current_folder_uri(file_selection));
    if (!keyfile || !uri)
        return;
    gint mode = 0, key = 0, order = 0;
    ulvo_fm_get_config_value_for_texturi(keyfile, uri.get(), &mode, &key, &order);
    // A key this program never stores (a file edited by hand) reads as name.
    if (key > KIVEL_FILE_SELECTION_SORT_KEY_SIZE)
        key = KIVEL_FILE_SELECTION_SORT_KEY_NAME;
    kivel_file_selection_set_mode(file_selection, mode ? KIVEL_FILE_SELECTION_MODE_THUMBNAILS
                                                       : KIVEL_FILE_SELECTION_MODE_LIST);
    kivel_file_selection_set_sort_key(file_selection, KivelFileSelectionSortKey(key),
                                      order ? GTK_SORT_DESCENDING : GTK_SORT_ASCENDING);
}
