#include "app/ulvo-fm-context-menu.h"

#include "app/ulvo-fm-app.h"
#include "app/ulvo-fm-browser.h"
#include "model/fm-assert.h"
#include "model/location.h"
#include "platform/toolkit/kivel-gtk-menu.h"
#include "platform/toolkit/kivel-program.h"
#include "ui/memory-card.h"
#include "vfs/glib-ptr.h"

#include <libintl.h>
#include <string.h>

namespace
{

enum : guint {
    RENAME = 1 << 0,
    COPY = 1 << 1,
    MOVE = 1 << 2,
    DELETE = 1 << 3,
    DETAILS = 1 << 4,
    FORMAT = 1 << 5,
    // What may change or remove the item itself.
    CHANGING = RENAME | MOVE | DELETE,
    ITEM_ENTRIES = RENAME | COPY | MOVE | DELETE | DETAILS,
};

const char *const FIRST_CARD_BLOCK_DEVICE = "drive:///dev/mmcblk1";
const char *const FIRST_CARD_PATH = "/media/mmc1";
const char *const GATEWAY_DEVICE_PREFIX = "obex://[";

// Current-folder tests (see ulvo_fm_check_current_folder) that let items
// be changed: not on a media server, writable, and for folders no special
// folder of the documents folder selected.
const gint FOLDER_ITEMS_CHANGEABLE = 2 | 4 | 16;
const gint FILE_ITEMS_CHANGEABLE = 2 | 4;

void on_popup_details_activate(GtkWidget *, gpointer ofm)
{
    on_details_activate(ofm);
}

void on_popup_format_activate(GtkWidget *, gpointer)
{
    ulvo_fm_format_selection(global_ofm);
}

guint entries_for_memory_card(const gchar *uri)
{
    guint shown = DETAILS;
    ulvo::GCharPtr first_card(g_strdup_printf("file://%s", FIRST_CARD_PATH));
    if (g_ascii_strcasecmp(uri, first_card.get()) != 0)
        shown |= COPY;
    if (!ulvo_fm_uri_is_readonly(uri, FALSE))
        shown |= RENAME;
    if (ulvo_fm_uri_is_root(uri))
        shown |= FORMAT;
    return shown;
}

// Everything for an item, less what would change it when it or its folder
// may not be written.
guint entries_for_item(UlvoFmApp *ofm, gint n_readonly, gint changeable_flags)
{
    if (n_readonly > 0 || !ulvo_fm_check_current_folder(ofm, changeable_flags))
        return ITEM_ENTRIES & ~CHANGING;
    return ITEM_ENTRIES;
}

gboolean is_gateway_device(const gchar *uri)
{
    return g_str_has_prefix(uri, GATEWAY_DEVICE_PREFIX) &&
           strlen(uri) > strlen(GATEWAY_DEVICE_PREFIX);
}

gboolean is_remote_place(const gchar *uri)
{
    return ulvo_fm_uri_is_in_media_server(uri) || ulvo_fm_uri_is_in_samba_server(uri) ||
           ulvo_fm_uri_is_in_gateway(uri);
}

// The entries that fit the refreshed record: the first matching rule wins.
guint decide_entries(UlvoFmApp *ofm, const UlvoFmSelectionInfo *info)
{
    if (g_slist_length(info->current_selection) >= 2)
        return 0;
    const gchar *uri =
        info->current_selection ? static_cast<const gchar *>(info->current_selection->data) : "";

    if (g_str_has_prefix(uri, FIRST_CARD_BLOCK_DEVICE))
        return FORMAT;
    if (ulvo_fm_uri_is_in_mmc(uri, nullptr))
        return entries_for_memory_card(uri);
    if (info->n_folders >= 1 && info->n_gateways == 0 && info->n_device_roots == 0)
        return entries_for_item(ofm, info->n_readonly_folders, FOLDER_ITEMS_CHANGEABLE);
    if (info->n_files >= 1)
        return entries_for_item(ofm, info->n_readonly_files, FILE_ITEMS_CHANGEABLE);
    if (g_str_has_prefix(uri, "file://"))
        return DETAILS | FORMAT;
    // The top of the tree stands for no item: nothing to offer there.
    if (strcmp(uri, KIVEL_FILE_SYSTEM_ROOT_URI) == 0)
        return 0;
    if (is_gateway_device(uri) || is_remote_place(uri))
        return 0;
    g_critical("Unexpected context menu condition");
    return 0;
}

// Appends a hidden entry whose command also runs on a tap while the
// platform shows it insensitive: the command's own checks then say why.
void append_entry(GtkWidget *menu, guint shown, guint entry, const char *catalog, const char *id,
                  GCallback handler, gpointer data)
{
    GtkWidget *item = gtk_menu_item_new_with_label(dgettext(catalog, id));
    g_signal_connect(item, "activate", handler, data);
    g_signal_connect(item, "insensitive-press", handler, data);
    gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
    gtk_widget_set_visible(item, (shown & entry) != 0);
}

// The file selection the entries' commands will act on.
KivelFileSelection *acting_file_selection(UlvoFmBrowser *browser)
{
    GtkWidget *fs = global_ofm && global_ofm->file_selection ? global_ofm->file_selection
                                                             : browser->file_selection;
    return fs ? KIVEL_FILE_SELECTION(fs) : nullptr;
}

void forget_popup_menu(GtkWidget *menu, gpointer data)
{
    auto *ofm = static_cast<UlvoFmApp *>(data);
    if (ofm->popup_menu == menu)
        ofm->popup_menu = nullptr;
}

} // namespace

GtkWidget *ulvo_fm_build_context_menu(UlvoFmBrowser *browser)
{
    FM_RETURN_VAL_IF_FAIL(ULVO_FM_IS_BROWSER(browser), "ULVO_FM_IS_BROWSER (browser)", NULL);
    KivelFileSelection *fs = acting_file_selection(browser);
    FM_RETURN_VAL_IF_FAIL(fs != NULL, "file_selection != NULL", NULL);
    FM_RETURN_VAL_IF_FAIL(browser->selection_info != NULL, "browser->selection_info != NULL", NULL);
    update_current_selection_state(fs);
    ulvo_fm_update_selection_info(browser->selection_info, fs, TRUE);
    guint shown = decide_entries(global_ofm, browser->selection_info);
    if (!shown)
        return nullptr;

    GtkWidget *menu = kivel_gtk_menu_new();
    append_entry(menu, shown, RENAME, "ulvo-filemanager", "hfil_me_rename",
                 G_CALLBACK(on_menu_file_rename_activate), global_ofm);
    append_entry(menu, shown, COPY, "ulvo-filemanager", "hfil_me_copy",
                 G_CALLBACK(on_popup_copy_activate), browser);
    append_entry(menu, shown, MOVE, "ulvo-filemanager", "hfil_me_move",
                 G_CALLBACK(on_popup_move_activate), browser);
    append_entry(menu, shown, DELETE, "kivel-libs", "wdgt_bd_delete",
                 G_CALLBACK(on_popup_delete_activate), browser);
    append_entry(menu, shown, DETAILS, "ulvo-filemanager", "hfil_me_details",
                 G_CALLBACK(on_popup_details_activate), global_ofm);
    append_entry(menu, shown, FORMAT, "ulvo-filemanager", "hfil_me_format",
                 G_CALLBACK(on_popup_format_activate), kivel_program_get_instance());
    return menu;
}

void ulvo_fm_popup_context_menu(KivelFileSelection *, gpointer data)
{
    auto *ofm = static_cast<UlvoFmApp *>(data);
    FM_RETURN_IF_FAIL(ofm != NULL, "data != NULL");
    if (ofm->popup_menu)
        gtk_widget_destroy(ofm->popup_menu);
    if (!ULVO_FM_IS_BROWSER(ofm->window))
        return;
    GtkWidget *menu = ulvo_fm_build_context_menu(ULVO_FM_BROWSER(ofm->window));
    ofm->popup_menu = menu;
    if (ofm->file_selection)
        update_current_selection_state(KIVEL_FILE_SELECTION(ofm->file_selection));
    if (!menu)
        return;

    g_signal_connect(menu, "destroy", G_CALLBACK(forget_popup_menu), ofm);
    // The menu goes with the pane it was opened on, an edit window's too.
    if (ofm->file_selection)
        g_signal_connect_object(ofm->file_selection, "destroy", G_CALLBACK(gtk_widget_destroy),
                                menu, G_CONNECT_SWAPPED);
    gtk_menu_popup(GTK_MENU(menu), nullptr, nullptr, nullptr, nullptr, 0,
                   gtk_get_current_event_time());
}

void ulvo_fm_context_menu_attach(KivelFileSelection *file_selection, UlvoFmApp *ofm)
{
    FM_RETURN_IF_FAIL(KIVEL_IS_FILE_SELECTION(file_selection),
                      "KIVEL_IS_FILE_SELECTION (file_selection)");
    g_object_connect(file_selection, "signal::navigation-pane-context-menu",
                     G_CALLBACK(ulvo_fm_popup_context_menu), ofm,
                     "signal::content-pane-context-menu", G_CALLBACK(ulvo_fm_popup_context_menu),
                     ofm, NULL);
}
