#include "ops/move-copy.h"

#include "model/fm-assert.h"
#include "model/location.h"
#include "model/paths.h"
#include "naming/unique-names.h"
#include "ops/xfer.h"
#include "platform/selection/kivel-file-chooser-dialog.h"
#include "platform/toolkit/kivel-window.h"
#include "ui/notices.h"
#include "vfs/glib-ptr.h"
#include "vfs/vfs-uri.h"

#include <string.h>
#include <string>

using ulvo::GCharPtr;
using ulvo::GUriList;

namespace
{

const gint UNDEFINED_TYPE = 0;
const gint FOLDER_TYPE = 2;
const gint FIRST_SPECIAL_TYPE = 3;
const gint LAST_KNOWN_TYPE = 10;

struct Text {
    const gchar *catalog;
    const gchar *id;
};

const Text GENERAL_ERROR = {"ulvo-backup", "back_fi_general_error"};
const Text CANNOT_MOVE_FILE = {"kivel-fm", "sfil_ib_cannot_move_file"};
const Text CANNOT_MOVE_FOLDER = {"kivel-common-strings", "sfil_ib_unable_to_move_selected_folder"};
const Text CANNOT_MOVE_ITEMS = {"kivel-common-strings", "sfil_ib_unable_to_move_selected_items"};

const gchar *translated(const Text &text)
{
    return xfer_text(text.catalog, text.id);
}

void show_banner(GtkWindow *window, const Text &text)
{
    fm_infoprint(window, translated(text));
}

const gchar *first_item(GSList *items)
{
    return items ? static_cast<const gchar *>(items->data) : nullptr;
}

// Refreshes the record for a command; FALSE when the application lacks it.
gboolean refresh_selection(UlvoFmApp *app)
{
    FM_RETURN_VAL_IF_FAIL(app != NULL, "app != NULL", FALSE);
    FM_RETURN_VAL_IF_FAIL(KIVEL_IS_FILE_SELECTION(app->file_selection),
                          "KIVEL_IS_FILE_SELECTION (app->file_selection)", FALSE);
    FM_RETURN_VAL_IF_FAIL(app->selection_info != NULL, "selection_info != NULL", FALSE);
    return ulvo_fm_update_selection_info(app->selection_info,
                                         KIVEL_FILE_SELECTION(app->file_selection), 1);
}

// FALSE when the selection may not be moved; `refusal` then names the
// banner, or is left empty when the case goes without one.
gboolean movable(const UlvoFmSelectionInfo *info, UlvoFmSelectionInfoType type, gboolean readonly,
                 Text *refusal)
{
    const gchar *first = first_item(info->current_selection);
    gboolean single_writable =
        info->in_gateway || !(readonly || (first && ulvo_fm_uri_is_readonly(first, 0)));
    switch (type) {
    case SIT_SINGLE_FILE:
        *refusal = CANNOT_MOVE_FILE;
        return single_writable;
    case SIT_SINGLE_FOLDER:
        *refusal = CANNOT_MOVE_FOLDER;
        return single_writable;
    case SIT_MULTIPLE_FILES:
    case SIT_MULTIPLE_FOLDERS:
    case SIT_FILES_AND_FOLDERS:
        *refusal = CANNOT_MOVE_ITEMS;
        return info->in_gateway || !readonly;
    case SIT_SINGLE_SAFE_FOLDER:
        *refusal = CANNOT_MOVE_FOLDER;
        return FALSE;
    case SIT_MULTIPLE_SAFE_FOLDERS:
        *refusal = CANNOT_MOVE_ITEMS;
        return FALSE;
    case SIT_GATEWAY:
    case SIT_DEVICE_ROOT:
        *refusal = GENERAL_ERROR;
        return FALSE;
    case SIT_ERROR_IN_GETTING_INFO:
        g_warning("SIT_ERROR_IN_GETTING_INFO\n");
        return FALSE;
    default:
        return FALSE;
    }
}

// ---- The destination dialog ------------------------------------------------

enum class Outcome { AGAIN, CLOSE, GATEWAY_REFUSED };

struct MoveRequest {
    GtkWidget *dialog;
    KivelFileSelection *file_selection;
    KivelFileSystemModel *model;
    GtkWindow *window;
    gboolean move;
    // Items left out of the move so far; earlier rounds unselected theirs.
    int removed;
};

// (transfer full) The folder to open the chooser on.
gchar *start_folder(KivelFileSelection *file_selection)
{
    gchar *folder = kivel_file_selection_get_current_folder_uri(file_selection);
    if (folder && ulvo_fm_uri_is_in_media_server(folder)) {
        g_free(folder);
        GCharPtr home(ulvo_vfs_make_uri_from_path(g_get_home_dir()));
        folder = home ? ulvo_vfs_uri_append_file_name(home.get(), "MyDocs") : nullptr;
    }
    return folder;
}

// Why a move has nothing left once what may not be moved is taken out.
void refuse_nothing_left(GtkWindow *parent, int removed)
{
    const UlvoFmSelectionState &counted = selection_state;
    gboolean one_folder = counted.n_folders == 1 && counted.n_files == 0;
    gboolean one_file = counted.n_folders == 0 && counted.n_files == 1;
    if (removed > 0) {
        show_banner(parent, one_folder ? CANNOT_MOVE_FOLDER
                            : one_file ? CANNOT_MOVE_FILE
                                       : CANNOT_MOVE_ITEMS);
        return;
    }
    const gchar *ok = xfer_text("kivel-common-strings", "sfil_ni_operation_failed_ok");
    if (one_file)
        fm_infonote(parent, xfer_text("ulvo-filemanager", "sfil_ni_cannot_move_file_not_found"),
                    ok);
    else
        fm_infonote(parent, xfer_text("ulvo-filemanager", "sfil_ni_cannot_move_items_not_found"),
                    one_folder
                        ? ok
                        : xfer_text("ulvo-filemanager", "sfil_bd_cannot_move_items_not_found_ok"));
}

// Takes out of `items` what may not be moved. The dialog then stands for
// the selection that is left, so that it stays open over it.
gboolean keep_movable_items(MoveRequest *request, GSList **items, GtkWindow *parent)
{
    // Counted before anything is unselected.
    update_current_selection_state(request->file_selection);
    int removed = remove_safe_folders_from_gslist(request->file_selection, items, 0);
    request->removed += removed;
    if (!*items) {
        refuse_nothing_left(parent, request->removed);
        return FALSE;
    }
    if (removed > 0 && global_ofm &&
        global_ofm->file_selection == GTK_WIDGET(request->file_selection) &&
        global_ofm->registered_dialog == request->dialog) {
        ulvo_fm_update_selection_info(global_ofm->selection_info, request->file_selection, 0);
        fm_register_dialog(request->dialog);
    }
    return TRUE;
}

// FALSE, after a banner, when the items may not go to `target`.
gboolean target_accepts(const MoveRequest *request, GSList *items, const gchar *target,
                        GtkWindow *parent)
{
    int in_sources = ulvo_fm_uri_check_target_in_sources(items, target);
    if (in_sources == -3) {
        show_banner(parent, {"kivel-common-strings",
                             "sfil_ib_unable_to_copy_or_move_a_subfolder_within_original_folder"});
        return FALSE;
    }
    if (in_sources < 0) {
        show_banner(parent, {"kivel-common-strings",
                             request->move ? "ckdg_ib_unable_to_move_folder_into_itself"
                                           : "ckdg_ib_unable_to_copy_folder_into_itself"});
        return FALSE;
    }
    if (ulvo_fm_uri_is_source_folder(items, target)) {
        show_banner(parent, request->move ? Text{"kivel-common-strings",
                                                 "ckdg_ib_unable_to_move_to_current_location"}
                                          : Text{"kivel-fm", "sfil_ib_file_already_saved"});
        return FALSE;
    }
    return TRUE;
}

// The main window follows the items to their new folder.
void show_destination(KivelFileSystemModel *model, const gchar *target)
{
    GtkWidget *main_selection = global_ofm->main_file_selection ? global_ofm->main_file_selection
                                                                : global_ofm->file_selection;
    if (!KIVEL_IS_FILE_SELECTION(main_selection))
        return;
    kivel_file_system_model_load_path(model, target, nullptr);
    kivel_file_selection_set_current_folder_uri(KIVEL_FILE_SELECTION(main_selection), target,
                                                nullptr);
}

void start_transfer(const MoveRequest *request, GSList *items, const gchar *target,
                    GtkWindow *parent)
{
    GList *sources = nullptr, *targets = nullptr;
    make_uri_list(items, &sources, target, &targets, request->model, FALSE);
    if (!sources || !targets) {
        g_list_free_full(sources, g_object_unref);
        g_list_free_full(targets, g_object_unref);
        fm_infonote(parent, xfer_text("kivel-common-strings", "sfil_ni_operation_failed"),
                    xfer_text("kivel-common-strings", "sfil_ni_operation_failed_ok"));
        return;
    }
    xfer_uri(sources, targets, parent, request->move ? XFER_MOVE : XFER_COPY,
             request->move ? request->removed : 0, 0, 0);
    g_list_free(sources);
    g_list_free(targets);
    show_destination(request->model, target);
}

// FALSE for a local folder that is gone, deleted while the chooser showed
// it; other places are left to the transfer to find out.
gboolean local_folder_exists(const gchar *uri)
{
    GCharPtr path(ulvo_vfs_get_local_path_from_uri(uri));
    return !path || g_file_test(path.get(), G_FILE_TEST_IS_DIR);
}

// What the OK of the chooser leads to.
Outcome on_move_dialog_okbutton_clicked(MoveRequest *request)
{
    GtkWidget *parent = kivel_window_stack_peek(kivel_window_stack_get_default());
    if (!GTK_IS_WINDOW(parent))
        parent = GTK_WIDGET(request->window);
    FM_RETURN_VAL_IF_FAIL(GTK_IS_WINDOW(request->dialog), "GTK_IS_WINDOW (move_dialog)",
                          Outcome::CLOSE);
    FM_RETURN_VAL_IF_FAIL(KIVEL_IS_FILE_SELECTION(request->file_selection),
                          "KIVEL_IS_FILE_SELECTION (file_selection)", Outcome::CLOSE);
    FM_RETURN_VAL_IF_FAIL(GTK_IS_WINDOW(parent), "GTK_IS_WINDOW (parent)", Outcome::CLOSE);
    GtkWindow *top = GTK_WINDOW(parent);

    GCharPtr target(gtk_file_chooser_get_uri(GTK_FILE_CHOOSER(request->dialog)));
    if (!target) {
        g_critical("Error obtaining target URI");
        return Outcome::CLOSE;
    }
    if (is_texturi_virtual(target.get())) {
        fm_infonote(top, xfer_text("kivel-common-strings", "sfil_ni_operation_failed"),
                    xfer_text("kivel-common-strings", "sfil_ni_operation_failed_ok"));
        return Outcome::CLOSE;
    }
    GCharPtr folder(kivel_file_selection_get_current_folder_uri(request->file_selection));
    if (!folder) {
        g_critical("Error getting current selected URI");
        return Outcome::CLOSE;
    }
    if (ulvo_fm_uri_is_in_gateway(folder.get()) && ulvo_fm_uri_is_in_gateway(target.get()))
        return Outcome::GATEWAY_REFUSED;
    if (!local_folder_exists(target.get())) {
        fm_infonote(
            top, xfer_text("kivel-common-strings", "sfil_ni_cannot_continue_target_folder_deleted"),
            xfer_text("kivel-common-strings", "sfil_ni_cannot_continue_target_folder_deleted_ok"));
        return Outcome::AGAIN;
    }
    if (ulvo_fm_uri_is_readonly(target.get(), 0)) {
        show_banner(top, {"kivel-fm", "sfil_ib_readonly_location"});
        return Outcome::AGAIN;
    }

    // The current folder stands in when nothing is selected, as it did
    // when the command was offered.
    GSList *items = ulvo_fm_selection_items(request->file_selection, folder.get(), nullptr);
    if (request->move && items && !keep_movable_items(request, &items, top)) {
        ulvo_fm_free_texturi_list(items);
        return Outcome::CLOSE;
    }
    GUriList owned(items);
    if (!target_accepts(request, items, target.get(), top))
        return Outcome::AGAIN;
    start_transfer(request, items, target.get(), top);
    return Outcome::CLOSE;
}

GtkWidget *new_chooser(GtkWindow *window, GtkTreeModel *model, gboolean move)
{
    const gchar *title = move ? xfer_text("kivel-fm", "ckdg_ti_move_to_folder")
                              : xfer_text("ulvo-filemanager", "hfil_ti_copy_to");
    GtkWidget *dialog = kivel_file_chooser_dialog_new_with_properties(
        window, "title", title, "file-system-model", model, "action",
        GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, NULL);
    kivel_file_chooser_dialog_set_show_upnp(dialog, FALSE);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_resizable(GTK_WINDOW(dialog), FALSE);
    return dialog;
}

// ---- Target names ----------------------------------------------------------

gboolean is_special_folder_name(const gchar *name)
{
    static const char *const ids[] = {"sfil_li_folder_documents", "sfil_li_folder_sound_clips",
                                      "sfil_li_folder_video_clips", "sfil_li_folder_images",
                                      "sfil_li_folder_camera"};
    for (const char *id : ids)
        if (g_ascii_strcasecmp(name, xfer_text("kivel-fm", id)) == 0)
            return TRUE;
    return FALSE;
}

gboolean is_user_guides_name(const gchar *name)
{
    return strcmp(name, "~sfil_li_folder_user_guides") == 0 ||
           strcmp(name, xfer_text("kivel-fm", "sfil_li_folder_user_guides")) == 0;
}

// (transfer full) `name` made fit for one path component, a "~id" name
// replaced by its title.
gchar *target_name(const gchar *name)
{
    std::string out(name);
    for (char &c : out) {
        if (c == '/')
            c = '-';
        else if (c == '*')
            c = '_';
    }
    if (out.size() > 1 && out[0] == '~') {
        std::string rest = out.substr(1);
        const gchar *title = xfer_text("kivel-fm", rest.c_str());
        if (rest != title)
            out = title;
    }
    return g_strdup(out.c_str());
}

// (transfer full) The text URI of `name` in `target_uri`, numbered unless
// `number` is 0.
gchar *target_text(const gchar *target_uri, const gchar *name, int number)
{
    GCharPtr escaped(ulvo_vfs_escape_string(name));
    std::string folder(target_uri);
    if (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    if (number == 0)
        return g_strdup_printf("%s/%s", folder.c_str(), escaped.get());
    return g_strdup_printf("%s/%s%s(%d)", folder.c_str(), escaped.get(), "%20", number);
}

// (transfer container) The GFiles of `list` as a GSList, in reverse order.
GSList *slist_of(GList *list)
{
    GSList *out = nullptr;
    for (GList *l = list; l; l = l->next)
        out = g_slist_prepend(out, l->data);
    return out;
}

gboolean is_removable(KivelFileSelection *fileselection, const gchar *uri)
{
    gint type = ulvo_fm_fs_get_path_type(fileselection, uri);
    if (type == UNDEFINED_TYPE || (type >= FIRST_SPECIAL_TYPE && type <= LAST_KNOWN_TYPE))
        return TRUE;
    return type == FOLDER_TYPE && ulvo_fm_uri_is_readonly(uri, 0);
}

} // namespace

// ---- Commands --------------------------------------------------------------

gboolean ulvo_fm_move_selection(UlvoFmApp *app)
{
    if (!refresh_selection(app))
        return FALSE;
    UlvoFmSelectionInfo *info = app->selection_info;
    const gchar *first = first_item(info->current_selection);
    gboolean readonly = !info->in_gateway && first && ulvo_fm_uri_is_readonly(first, 1);
    ulvo_fm_update_selection_info(info, KIVEL_FILE_SELECTION(app->file_selection), 0);
    if (media_items_check_operation(OPER_MOVE, app))
        return FALSE;
    Text refusal = {nullptr, nullptr};
    if (!movable(info, ulvo_fm_selection_info_get_selection_type(info), readonly, &refusal)) {
        if (refusal.id)
            show_banner(GTK_WINDOW(app->window), refusal);
        return FALSE;
    }
    ulvo_fm_dialog_move(GTK_WINDOW(app->window), KIVEL_FILE_SELECTION(app->file_selection), TRUE);
    return TRUE;
}

gboolean ulvo_fm_copy_selection(UlvoFmApp *app)
{
    if (!refresh_selection(app))
        return FALSE;
    if (media_items_check_operation(OPER_COPY, app))
        return FALSE;
    switch (ulvo_fm_selection_info_get_selection_type(app->selection_info)) {
    case SIT_GATEWAY:
        show_banner(GTK_WINDOW(app->window), GENERAL_ERROR);
        return FALSE;
    case SIT_ERROR_IN_GETTING_INFO:
        g_warning("SIT_ERROR_IN_GETTING_INFO\n");
        return FALSE;
    case SIT_NONE:
        return FALSE;
    default:
        break;
    }
    ulvo_fm_dialog_move(GTK_WINDOW(app->window), KIVEL_FILE_SELECTION(app->file_selection), FALSE);
    if (KIVEL_IS_FILE_SELECTION(app->file_selection))
        kivel_file_selection_undim_all(KIVEL_FILE_SELECTION(app->file_selection));
    return TRUE;
}

void ulvo_fm_dialog_move(GtkWindow *window, KivelFileSelection *file_selection, gboolean move)
{
    FM_RETURN_IF_FAIL(GTK_IS_WINDOW(window), "GTK_IS_WINDOW (window)");
    FM_RETURN_IF_FAIL(KIVEL_IS_FILE_SELECTION(file_selection),
                      "KIVEL_IS_FILE_SELECTION (file_selection)");
    GtkTreeModel *model = nullptr;
    g_object_get(file_selection, "model", &model, NULL);
    ulvo::GObjPtr<GtkTreeModel> model_ref(model);
    GCharPtr start(start_folder(file_selection));
    if (!start) {
        g_critical("Error getting current folder");
        return;
    }
    GtkWidget *dialog = new_chooser(window, model, move);
    // Kept alive until the end, whoever destroys it meanwhile.
    g_object_ref(dialog);
    gtk_file_chooser_set_current_folder_uri(GTK_FILE_CHOOSER(dialog), start.get());
    fm_register_dialog(dialog);

    MoveRequest request = {dialog, file_selection, KIVEL_FILE_SYSTEM_MODEL(model), window, move, 0};
    Outcome outcome = Outcome::AGAIN;
    while (outcome == Outcome::AGAIN && gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_OK)
        outcome = on_move_dialog_okbutton_clicked(&request);

    // Once, whichever way the loop ended.
    if (global_ofm && global_ofm->registered_dialog == dialog)
        fm_unregister_dialog(dialog);
    gtk_widget_destroy(dialog);
    g_object_unref(dialog);
    if (outcome == Outcome::GATEWAY_REFUSED)
        fm_infonote(window, translated(GENERAL_ERROR), nullptr);
}

// ---- Lists -----------------------------------------------------------------

int remove_safe_folders_from_gslist(KivelFileSelection *fileselection, GSList **selection, int mode)
{
    FM_RETURN_VAL_IF_FAIL(KIVEL_IS_FILE_SELECTION(fileselection),
                          "KIVEL_IS_FILE_SELECTION (fileselection)", 0);
    FM_RETURN_VAL_IF_FAIL(selection != NULL && *selection != NULL, "*selection != NULL", 0);
    int removed = 0;
    for (GSList *l = *selection, *next = nullptr; l; l = next) {
        next = l->next;
        auto *uri = static_cast<gchar *>(l->data);
        if (!is_removable(fileselection, uri))
            continue;
        removed++;
        if (mode != 0)
            continue;
        kivel_file_selection_unselect_uri(fileselection, uri);
        *selection = g_slist_delete_link(*selection, l);
        g_free(uri);
    }
    return removed;
}

int ulvo_fm_uri_check_target_in_sources(GSList *selection, const gchar *target_uri)
{
    if (!selection || !target_uri || !ulvo_vfs_uri_is_valid(target_uri) || !global_ofm) {
        g_warning("Error allocating memory\n");
        return -1;
    }
    for (GSList *l = selection; l; l = l->next) {
        auto *item = static_cast<const gchar *>(l->data);
        GCharPtr name(item ? ulvo_fm_path_get_shortname(global_ofm->filesystem, item) : nullptr);
        if (!name || !ulvo_vfs_uri_is_valid(item)) {
            g_warning("Error allocating memory\n");
            return -1;
        }
        if (ulvo_vfs_uri_is_parent(item, target_uri, TRUE) || ulvo_vfs_uri_equal(item, target_uri))
            return -2;
        GCharPtr candidate(ulvo_vfs_uri_append_file_name(target_uri, name.get()));
        if (candidate && ulvo_vfs_uri_exists(candidate.get()) &&
            ulvo_vfs_uri_is_parent(candidate.get(), item, TRUE))
            return -3;
    }
    return 0;
}

gboolean ulvo_fm_uri_is_source_folder(GSList *selection, const gchar *target_uri)
{
    const gchar *first = first_item(selection);
    if (!first || !target_uri)
        return FALSE;
    // Escapes and a trailing "/" do not make another folder.
    GCharPtr parent(ulvo_vfs_uri_get_parent(first));
    return parent && ulvo_vfs_uri_equal(parent.get(), target_uri);
}

void make_uri_list(GSList *sourceselection, GList **sourcelist, const gchar *target_uri,
                   GList **targetlist, KivelFileSystemModel *model, gboolean autorename)
{
    FM_RETURN_IF_FAIL(sourceselection != NULL, "sourceselection != NULL");
    FM_RETURN_IF_FAIL(sourcelist != NULL, "sourcelist != NULL");
    FM_RETURN_IF_FAIL(target_uri != NULL, "target_uri != NULL");
    FM_RETURN_IF_FAIL(targetlist != NULL, "targetlist != NULL");
    FM_RETURN_IF_FAIL(KIVEL_IS_FILE_SYSTEM_MODEL(model), "KIVEL_IS_FILE_SYSTEM_MODEL(model)");
    FM_RETURN_IF_FAIL(global_ofm != NULL, "global_ofm != NULL");
    gboolean into_documents = is_path_from_home(target_uri, "MyDocs");
    GList *sources = nullptr, *targets = nullptr;
    // Every target so far, for automatic names; the order does not count.
    GSList *built = slist_of(*targetlist);
    for (GSList *l = sourceselection; l; l = l->next) {
        auto *item = static_cast<const gchar *>(l->data);
        GCharPtr shortname(ulvo_fm_path_get_shortname(global_ofm->filesystem, item));
        if (!shortname)
            break;
        if (!ulvo_vfs_uri_is_valid(item))
            continue;
        int number = 0;
        // Beside the special folders a copy of one gets a number.
        if (into_documents) {
            number = is_special_folder_name(shortname.get()) ? 1 : 0;
            if (is_user_guides_name(shortname.get())) {
                number = 1;
                autorename = TRUE;
            }
        }
        GCharPtr name(target_name(shortname.get()));
        gchar *text = target_text(target_uri, name.get(), number);
        if (autorename) {
            autorename_texturi(&text, model);
            autorename_uri(&text, built);
        }
        GCharPtr target_uri_text(text);
        if (!ulvo_vfs_uri_is_valid(target_uri_text.get()))
            continue;
        GFile *target = g_file_new_for_uri(target_uri_text.get());
        sources = g_list_prepend(sources, g_file_new_for_uri(item));
        targets = g_list_prepend(targets, target);
        built = g_slist_prepend(built, target);
    }
    g_slist_free(built);
    *sourcelist = g_list_concat(*sourcelist, g_list_reverse(sources));
    *targetlist = g_list_concat(*targetlist, g_list_reverse(targets));
}
