#include "naming/rename.h"

#include "model/fm-assert.h"
#include "model/location.h"
#include "model/paths.h"
#include "naming/unique-names.h"
#include "ops/xfer.h"
#include "platform/selection/kivel-file-chooser-dialog.h"
#include "platform/services/kivel-mime.h"
#include "ui/memory-card.h"
#include "ui/notices.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-uri.h"

#include <libintl.h>
#include <locale.h>
#include <string.h>
#include <strings.h>
#include <sys/stat.h>

using ulvo::GCharPtr;

namespace
{

const gchar *tr(const gchar *catalog, const gchar *id)
{
    return dcgettext(catalog, id, LC_MESSAGES);
}

void banner(GtkWidget *window, const gchar *catalog, const gchar *id)
{
    fm_infoprint(GTK_WINDOW(window), tr(catalog, id));
}

// ---- Texts by the kind of content -------------------------------------------

struct KindTexts {
    KivelMimeCategory category;
    const gchar *title;  // "kivel-libs"
    const gchar *exists; // "kivel-common-strings"
};

const KindTexts kind_texts[] = {
    {KIVEL_MIME_CATEGORY_BOOKMARKS, "ckdg_ti_rename_bookmark", "ckdg_ib_bookmark_exists"},
    {KIVEL_MIME_CATEGORY_DOCUMENTS, "ckdg_ti_rename_document", "ckdg_ib_document_exists"},
    {KIVEL_MIME_CATEGORY_EMAILS, "ckdg_ti_rename_message", "ckdg_ib_message_exists"},
    {KIVEL_MIME_CATEGORY_IMAGES, "ckdg_ti_rename_image", "ckdg_ib_image_exists"},
    {KIVEL_MIME_CATEGORY_AUDIO, "ckdg_ti_rename_sound", "ckdg_ib_sound_exists"},
    {KIVEL_MIME_CATEGORY_VIDEO, "ckdg_ti_rename_video", "ckdg_ib_video_exists"},
};
const KindTexts other_kind = {KIVEL_MIME_CATEGORY_OTHER, "ckdg_ti_rename_default",
                              "ckdg_ib_file_exists"};

const KindTexts &kind_texts_of(const gchar *texturi)
{
    GCharPtr mime_type(kivel_mime_get_type_for_uri(texturi));
    KivelMimeCategory category = kivel_mime_get_category_for_mime_type(mime_type.get());
    for (const KindTexts &texts : kind_texts)
        if (texts.category == category)
            return texts;
    return other_kind;
}

// ---- Names ------------------------------------------------------------------

// TRUE when `newname` is `oldname` spelt in other letter case and names the
// very same item: a file system that ignores case. Two distinct files whose
// names differ in case only are a conflict.
gboolean is_same_item_in_other_case(const gchar *oldname, const gchar *newname)
{
    if (strcasecmp(oldname, newname) != 0)
        return FALSE;
    GCharPtr old_path(ulvo_vfs_get_local_path_from_uri(oldname));
    GCharPtr new_path(ulvo_vfs_get_local_path_from_uri(newname));
    struct stat old_st, new_st;
    return old_path && new_path && lstat(old_path.get(), &old_st) == 0 &&
           lstat(new_path.get(), &new_st) == 0 && old_st.st_dev == new_st.st_dev &&
           old_st.st_ino == new_st.st_ino;
}

// TRUE when `name` is the title of one of the documents folder's special
// folders, which it shows under those titles.
gboolean is_special_folder_title(const gchar *name)
{
    static const gchar *const ids[] = {"sfil_li_folder_documents", "sfil_li_folder_images",
                                       "sfil_li_folder_sound_clips", "sfil_li_folder_video_clips",
                                       "sfil_li_folder_camera"};
    for (const gchar *id : ids)
        if (g_utf8_collate(name, tr("kivel-fm", id)) == 0)
            return TRUE;
    return FALSE;
}

// TRUE, after a banner that says why, when the typed name is dots only:
// the chooser itself refuses empty names, "." and ".." and typed slashes.
gboolean refuse_typed_name(GtkWidget *mainwindow, const gchar *typed)
{
    GCharPtr stripped(g_strstrip(g_strdup(typed)));
    if (stripped.get()[0] && strspn(stripped.get(), ".") == strlen(stripped.get())) {
        banner(mainwindow, "ulvo-filemanager", "sfil_ib_name_only_dots");
        return TRUE;
    }
    return FALSE;
}

// (transfer full) (nullable) The URI of the typed name beside the old item,
// whatever folder the chooser shows.
gchar *new_uri_beside(const gchar *oldname, const gchar *chooser_uri)
{
    GCharPtr name(ulvo_fm_texturi_get_shortname(global_ofm->filesystem, chooser_uri));
    GCharPtr parent(ulvo_fm_uri_get_dirname(oldname));
    if (!name || !parent)
        return nullptr;
    return ulvo_vfs_uri_append_file_name(parent.get(), name.get());
}

// ---- The dialog -------------------------------------------------------------

// (transfer full) (nullable) The title for the item, or NULL when the dialog
// is not to be shown.
gchar *dialog_title(gint path_type, const gchar *oldname)
{
    switch (path_type) {
    case ULVO_VFS_FILE_TYPE_REGULAR:
        return get_rename_file_title(oldname);
    case ULVO_VFS_FILE_TYPE_DIRECTORY:
        return g_strdup(tr("kivel-libs", "ckdg_ti_rename_folder"));
    default:
        return nullptr;
    }
}

GtkWidget *new_dialog(GtkWidget *mainwindow, KivelFileSystemModel *model)
{
    if (model)
        return kivel_file_chooser_dialog_new_with_properties(
            GTK_WINDOW(mainwindow), "action", GTK_FILE_CHOOSER_ACTION_CREATE_FOLDER,
            "file-system-model", model, "select-multiple", FALSE, "show-folder-button", FALSE,
            "show-location", FALSE, "max-name-length", 255, "autonaming", FALSE, NULL);
    return kivel_file_chooser_dialog_new_with_properties(
        GTK_WINDOW(mainwindow), "action", GTK_FILE_CHOOSER_ACTION_CREATE_FOLDER, "select-multiple",
        FALSE, "show-folder-button", FALSE, "show-location", FALSE, "max-name-length", 255,
        "autonaming", FALSE, NULL);
}

// The title's width, but never wider than the screen: the buttons must stay
// within reach.
void size_for_title(GtkWidget *dialog, const gchar *title)
{
    gint width = ulvo_fm_predict_dialog_width_based_on_title(dialog, title);
    gint screen_width = gdk_screen_get_width(gtk_widget_get_screen(dialog));
    gtk_window_set_default_size(GTK_WINDOW(dialog), MIN(width, screen_width), -1);
}

// One confirmed answer of the dialog; TRUE when the dialog may close.
gboolean accept_answer(GtkWidget *mainwindow, GtkWidget *dialog, const gchar *oldname,
                       gint path_type)
{
    if (refuse_typed_name(mainwindow, kivel_file_chooser_dialog_get_name(dialog)))
        return FALSE;
    GCharPtr chooser_uri(gtk_file_chooser_get_uri(GTK_FILE_CHOOSER(dialog)));
    if (!ulvo_fm_uri_exists(oldname)) {
        if (path_type == ULVO_VFS_FILE_TYPE_REGULAR)
            banner(mainwindow, "kivel-common-strings", "sfil_ni_unable_to_rename_file_not_found");
        else if (path_type == ULVO_VFS_FILE_TYPE_DIRECTORY)
            banner(mainwindow, "ulvo-filemanager", "sfil_ni_cannot_rename_folder_not_found");
        return FALSE;
    }
    GCharPtr new_uri(chooser_uri ? new_uri_beside(oldname, chooser_uri.get()) : nullptr);
    if (!new_uri) {
        banner(mainwindow, "kivel-fm", "ckdg_ib_enter_name");
        return FALSE;
    }
    return on_rename_dialog_okbutton_clicked(mainwindow, oldname, new_uri.get());
}

void run_dialog(GtkWidget *mainwindow, GtkWidget *dialog, const gchar *oldname, gint path_type)
{
    for (;;) {
        g_signal_emit_by_name(dialog, "show");
        if (gtk_dialog_run(GTK_DIALOG(dialog)) != GTK_RESPONSE_OK)
            return;
        if (accept_answer(mainwindow, dialog, oldname, path_type))
            return;
    }
}

// ---- The command's rules ----------------------------------------------------

gboolean rename_memory_card(UlvoFmApp *app)
{
    auto *entry = static_cast<UlvoFmPathInfo *>(
        app->selection_info->path_info ? app->selection_info->path_info->data : nullptr);
    if (!entry)
        return FALSE;
    if (ulvo_fm_mmc_is_swap(entry->uri) || g_str_has_prefix(entry->uri, "file:///media/usb/")) {
        banner(app->window, "ulvo-backup", "back_fi_general_error");
        return FALSE;
    }
    ulvo_fm_rename_mmc(app, entry->uri, entry->model_extra);
    return TRUE;
}

gboolean rename_file_or_folder(UlvoFmApp *app, gboolean readonly)
{
    UlvoFmSelectionInfo *info = app->selection_info;
    const gchar *uri = static_cast<const gchar *>(info->current_selection->data);
    if (!ulvo_fm_uri_exists(uri)) {
        if (info->n_files >= 1)
            fm_infonote(GTK_WINDOW(app->window),
                        tr("kivel-common-strings", "sfil_ni_unable_to_rename_file_not_found"),
                        tr("kivel-common-strings", "sfil_ni_unable_to_rename_file_not_found_ok"));
        else
            fm_infonote(GTK_WINDOW(app->window),
                        tr("ulvo-filemanager", "sfil_ni_cannot_rename_folder_not_found"),
                        tr("kivel-common-strings", "sfil_ni_operation_failed_ok"));
        return FALSE;
    }
    if (readonly) {
        banner(app->window, "kivel-fm", "sfil_ib_renaming_not_allowed");
        return FALSE;
    }
    ulvo_create_rename_dialog(app->window, uri);
    return TRUE;
}

} // namespace

gboolean ulvo_fm_rename_selection(UlvoFmApp *app)
{
    FM_RETURN_VAL_IF_FAIL(app != NULL, "app != NULL", FALSE);
    if (!app->window) {
        g_warning("Invalid parameter : window specified");
        return FALSE;
    }
    UlvoFmSelectionInfo *info = app->selection_info;
    if (!ulvo_fm_update_selection_info(info, KIVEL_FILE_SELECTION(app->file_selection), 1))
        return FALSE;
    // Read after the refresh: the record held before it may describe the
    // previous selection.
    gboolean readonly =
        !info->in_gateway && info->current_selection &&
        ulvo_fm_uri_is_readonly(static_cast<const gchar *>(info->current_selection->data), 1);
    UlvoFmSelectionInfoType type = ulvo_fm_selection_info_get_selection_type(info);
    if (info->in_gateway) {
        banner(app->window, "ulvo-backup", "back_fi_general_error");
        return FALSE;
    }
    if (media_items_check_operation(OPER_RENAME, app))
        return FALSE;
    switch (type) {
    case SIT_MULTIPLE_FILES:
    case SIT_MULTIPLE_FOLDERS:
    case SIT_MULTIPLE_SAFE_FOLDERS:
    case SIT_FILES_AND_FOLDERS:
        banner(app->window, "kivel-common-strings", "ckct_ib_select_single_item");
        return FALSE;
    case SIT_SINGLE_SAFE_FOLDER:
        banner(app->window, "kivel-common-strings", "sfil_ib_unable_to_rename_selected_folder");
        return FALSE;
    case SIT_GATEWAY:
        banner(app->window, "ulvo-backup", "back_fi_general_error");
        return FALSE;
    case SIT_DEVICE_ROOT:
        return rename_memory_card(app);
    case SIT_SINGLE_FILE:
    case SIT_SINGLE_FOLDER:
        return rename_file_or_folder(app, readonly);
    default:
        return FALSE;
    }
}

void ulvo_create_rename_dialog(GtkWidget *mainwindow, const gchar *oldname)
{
    FM_RETURN_IF_FAIL(mainwindow != NULL, "mainwindow != NULL");
    FM_RETURN_IF_FAIL(oldname != NULL, "oldname != NULL");
    GCharPtr parent(ulvo_fm_uri_get_dirname(oldname));
    if (!parent) {
        g_warning("Error creating parent uri\n");
        return;
    }
    GCharPtr shortname(ulvo_fm_texturi_get_shortname(global_ofm->filesystem, oldname));
    if (!shortname) {
        g_warning("Error creating shortname\n");
        return;
    }
    KivelFileSystemModel *model = nullptr;
    g_object_get(global_ofm->file_selection, "model", &model, NULL);
    ulvo::GObjPtr<KivelFileSystemModel> model_ref(model);
    gint path_type = ulvo_fm_get_path_type(oldname);
    if (path_type == -2) {
        banner(mainwindow, "ke-recv", "memr_ib_operation_disabled");
        g_warning("Memory allocation error\n");
        return;
    }
    GCharPtr title(dialog_title(path_type, oldname));
    if (!title) {
        if (path_type == ULVO_VFS_FILE_TYPE_REGULAR)
            g_warning("Error getting rename dialog title\n");
        return;
    }
    GtkWidget *dialog = new_dialog(mainwindow, model);
    GCharPtr current_name(ulvo_fm_localize_name(shortname.get()));
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(dialog), current_name.get());
    gtk_window_set_title(GTK_WINDOW(dialog), title.get());
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    if (gtk_file_chooser_set_current_folder_uri(GTK_FILE_CHOOSER(dialog), parent.get())) {
        size_for_title(dialog, title.get());
        run_dialog(mainwindow, dialog, oldname, path_type);
    }
    gtk_widget_destroy(dialog);
}

gboolean on_rename_dialog_okbutton_clicked(GtkWidget *mainwindow, const gchar *oldname,
                                           const gchar *newname)
{
    FM_RETURN_VAL_IF_FAIL(mainwindow != NULL, "mainwindow != NULL", FALSE);
    FM_RETURN_VAL_IF_FAIL(oldname != NULL, "oldname != NULL", FALSE);
    FM_RETURN_VAL_IF_FAIL(newname != NULL, "newname != NULL", FALSE);
    if (strcmp(oldname, newname) != 0 && ulvo_fm_uri_exists(newname) == TRUE &&
        !is_same_item_in_other_case(oldname, newname)) {
        gint type = ulvo_fm_get_path_type(newname);
        if (type == ULVO_VFS_FILE_TYPE_REGULAR) {
            GCharPtr text(get_rename_file_existing_error(newname));
            fm_infoprint(GTK_WINDOW(mainwindow), text.get());
        } else if (type == -2) {
            banner(mainwindow, "ke-recv", "memr_ib_operation_disabled");
        } else {
            banner(mainwindow, "kivel-common-strings", "ckdg_ib_folder_already_exists");
        }
        return FALSE;
    }
    GCharPtr new_short(ulvo_fm_texturi_get_shortname(global_ofm->filesystem, newname));
    GCharPtr new_parent(ulvo_fm_uri_get_dirname(newname));
    if (new_parent && is_path_from_home(new_parent.get(), "MyDocs") && new_short &&
        is_special_folder_title(new_short.get())) {
        banner(mainwindow, "kivel-common-strings", "ckdg_ib_folder_already_exists");
        return FALSE;
    }
    return ulvo_fm_rename_path(mainwindow, oldname, newname);
}

gboolean ulvo_fm_rename_path(GtkWidget *mainwindow, const gchar *sourcepath,
                             const gchar *targetpath)
{
    FM_RETURN_VAL_IF_FAIL(mainwindow != NULL, "mainwindow != NULL", FALSE);
    FM_RETURN_VAL_IF_FAIL(sourcepath != NULL, "sourcepath != NULL", FALSE);
    FM_RETURN_VAL_IF_FAIL(targetpath != NULL, "targetpath != NULL", FALSE);
    if (strcmp(sourcepath, targetpath) == 0)
        return TRUE;
    if (!ulvo_vfs_uri_is_valid(sourcepath) || !ulvo_vfs_uri_is_valid(targetpath))
        return TRUE;
    GList *sources = g_list_append(nullptr, g_file_new_for_uri(sourcepath));
    GList *targets = g_list_append(nullptr, g_file_new_for_uri(targetpath));
    xfer_uri(sources, targets, GTK_WINDOW(mainwindow), XFER_RENAME, 0, 0, 0);
    g_list_free(sources);
    g_list_free(targets);
    return TRUE;
}

gchar *get_rename_file_title(const gchar *oldpath)
{
    FM_RETURN_VAL_IF_FAIL(oldpath != NULL, "oldpath != NULL", nullptr);
    return g_strdup(tr("kivel-libs", kind_texts_of(oldpath).title));
}

gchar *get_rename_file_existing_error(const gchar *newname)
{
    FM_RETURN_VAL_IF_FAIL(newname != NULL, "newname != NULL", nullptr);
    return g_strdup(tr("kivel-common-strings", kind_texts_of(newname).exists));
}

gint ulvo_fm_predict_dialog_width_based_on_title(GtkWidget *dialog, const gchar *title)
{
    FM_RETURN_VAL_IF_FAIL(GTK_IS_WIDGET(dialog), "GTK_IS_WIDGET (dialog)", -1);
    ulvo::GObjPtr<PangoLayout> layout(gtk_widget_create_pango_layout(dialog, title));
    gint title_width = 0;
    pango_layout_get_pixel_size(layout.get(), &title_width, nullptr);
    return 100 + 2 * title_width;
}

gchar *ulvo_fm_localize_name(const gchar *name)
{
    if (!name)
        return nullptr;
    if (name[0] == '~' && name[1]) {
        const gchar *translated = tr("kivel-fm", name + 1);
        if (translated != name + 1)
            return g_strdup(translated);
    }
    return g_strdup(name);
}
