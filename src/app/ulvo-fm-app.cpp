#include "app/ulvo-fm-app.h"

#include "app/ulvo-fm-browser.h"
#include "model/fm-assert.h"
#include "model/location.h"
#include "naming/new-folder.h"
#include "naming/rename.h"
#include "ops/delete.h"
#include "ops/move-copy.h"
#include "platform/toolkit/kivel-program.h"
#include "settings/sort-dialog.h"
#include "ui/details.h"
#include "ui/open.h"
#include "vfs/glib-ptr.h"

void ulvo_fm_set_operation(gint operation)
{
    if (operation == OPER_NONE && global_ofm && global_ofm->cur_operation != OPER_DETAILS &&
        not_topmost)
        kivel_program_set_can_hibernate(kivel_program_get_instance(), TRUE);
    if (global_ofm)
        global_ofm->cur_operation = operation;
}

// An available current folder qualifies; an unavailable one only outside
// gateways, whose connection would not survive the program being stopped.
static gboolean current_folder_qualifies(KivelFileSelection *fs, const gchar *uri)
{
    GtkTreeIter iter;
    gint available = 0;
    if (kivel_file_selection_get_current_folder_iter(fs, &iter)) {
        GtkTreeModel *model = nullptr;
        g_object_get(fs, "model", &model, NULL);
        if (model) {
            gtk_tree_model_get(model, &iter, KIVEL_FILE_SYSTEM_MODEL_AVAILABLE, &available, -1);
            g_object_unref(model);
        }
    }
    return available != 0 || !ulvo_fm_uri_is_in_gateway(uri);
}

void ulvo_fm_allow_hibernation_in_background(UlvoFmApp *ofm, const gchar *current_folder)
{
    FM_RETURN_IF_FAIL(ofm != NULL && ofm->file_selection, "ofm->file_selection");
    if ((ofm->cur_operation == OPER_NONE || ofm->cur_operation == OPER_DETAILS) &&
        current_folder_qualifies(KIVEL_FILE_SELECTION(ofm->file_selection), current_folder))
        kivel_program_set_can_hibernate(kivel_program_get_instance(), TRUE);
}

// ---- Command wrappers ------------------------------------------------------

void on_menu_file_open_activate(GtkWidget *, gpointer data)
{
    FM_RETURN_IF_FAIL(data != NULL, "data != NULL");
    auto *ofm = static_cast<UlvoFmApp *>(data);
    ulvo_fm_set_operation(OPER_OPEN);
    invoke_application(ofm);
    ulvo_fm_set_operation(OPER_NONE);
}

// Commands that may launch a transfer leave the end of the operation to it.
template <typename Result>
static void run_transfer_command(UlvoFmApp *ofm, gint operation, Result (*command)(UlvoFmApp *))
{
    ulvo_fm_set_operation(operation);
    ofm->xfer_started = FALSE;
    command(ofm);
    if (!ofm->xfer_started)
        ulvo_fm_set_operation(OPER_NONE);
}

void on_newfolder_activate(gpointer data)
{
    FM_RETURN_IF_FAIL(data != NULL, "data != NULL");
    run_transfer_command(static_cast<UlvoFmApp *>(data), OPER_NEW_FOLDER, ulvo_fm_new_folder);
}

void on_menu_file_rename_activate(GtkWidget *, gpointer data)
{
    FM_RETURN_IF_FAIL(data != NULL, "data != NULL");
    run_transfer_command(static_cast<UlvoFmApp *>(data), OPER_RENAME, ulvo_fm_rename_selection);
}

void on_details_activate(gpointer data)
{
    FM_RETURN_IF_FAIL(data != NULL, "data != NULL");
    ulvo_fm_set_operation(OPER_DETAILS);
    ulvo_fm_show_details(static_cast<UlvoFmApp *>(data));
    ulvo_fm_set_operation(OPER_NONE);
}

// A transfer started from the context menu still runs when the command
// returns; ending the operation then would let the platform stop the program
// in the middle of it.
void on_popup_delete_activate(GtkWidget *, gpointer)
{
    run_transfer_command(global_ofm, OPER_DELETE, ulvo_fm_delete_selection);
}

void on_popup_move_activate(GtkWidget *, gpointer)
{
    run_transfer_command(global_ofm, OPER_MOVE, ulvo_fm_move_selection);
}

void on_popup_copy_activate(GtkWidget *, gpointer)
{
    run_transfer_command(global_ofm, OPER_COPY, ulvo_fm_copy_selection);
}

void on_menu_sort_clicked(GtkButton *, gpointer browser)
{
    ulvo_fm_set_operation(OPER_SORT);
    on_sort_activate(KIVEL_FILE_SELECTION(ULVO_FM_BROWSER(browser)->file_selection));
    ulvo_fm_set_operation(OPER_NONE);
}
