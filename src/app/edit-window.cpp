#include "app/edit-window.h"

#include "app/ulvo-fm-app.h"
#include "app/ulvo-fm-browser.h"
#include "app/ulvo-fm-context-menu.h"
#include "model/fm-assert.h"
#include "ops/delete.h"
#include "ops/move-copy.h"
#include "platform/toolkit/kivel-edit-toolbar.h"
#include "platform/toolkit/kivel-window.h"
#include "ui/send.h"
#include "vfs/glib-ptr.h"

#include <gdk/gdkkeysyms.h>
#include <libintl.h>
#include <locale.h>

namespace
{

// The window's own file selection, or NULL once it is closed.
KivelFileSelection *edit_selection(UlvoFmApp *ofm)
{
    if (!ofm->edit_window || !ofm->main_file_selection ||
        !KIVEL_IS_FILE_SELECTION(ofm->file_selection))
        return nullptr;
    return KIVEL_FILE_SELECTION(ofm->file_selection);
}

gboolean has_marked_items(UlvoFmApp *ofm)
{
    KivelFileSelection *fs = edit_selection(ofm);
    if (!fs)
        return FALSE;
    ulvo::GUriList marked(kivel_file_selection_get_selected_uris(fs));
    return marked.get() != nullptr;
}

// The command's dialogs and notes belong over the main window.
void leave_window_stack(UlvoFmApp *ofm)
{
    KivelWindowStack *stack = kivel_window_stack_get_default();
    if (kivel_window_stack_peek(stack) == ofm->edit_window)
        kivel_window_stack_pop_1(stack);
}

typedef gboolean (*EditCommand)(UlvoFmApp *);

struct EditKind {
    const char *title_catalog, *title_id;
    const char *button_catalog, *button_id;
    GCallback handler;
    gint operation;
    EditCommand command;
    gboolean show_folders;
    // Read-only items cannot be moved or deleted, so they are not offered.
    gboolean hide_readonly;
};

const char *const KIND_KEY = "ulvo-fm-edit-kind";

// Runs the window's command on the marked items, then closes the window. A
// transfer the command launched ends the operation itself when it is done:
// ending it here would let the platform stop the program in the middle of it.
void run_on_marked(GtkWidget *toolbar, UlvoFmApp *ofm)
{
    auto *kind = static_cast<const EditKind *>(g_object_get_data(G_OBJECT(toolbar), KIND_KEY));
    FM_RETURN_IF_FAIL(kind != NULL, "kind != NULL");
    ulvo_fm_set_operation(kind->operation);
    ofm->xfer_started = FALSE;
    leave_window_stack(ofm);
    kind->command(ofm);
    if (!ofm->xfer_started)
        ulvo_fm_set_operation(OPER_NONE);
    ulvo_fm_close_edit_window(toolbar, ofm);
}

// Send, move and copy. With nothing marked the window stays open.
void on_edit_button_clicked(GtkWidget *toolbar, gpointer data)
{
    FM_RETURN_IF_FAIL(data != NULL, "data != NULL");
    auto *ofm = static_cast<UlvoFmApp *>(data);
    if (has_marked_items(ofm))
        run_on_marked(toolbar, ofm);
}

// A second delete while a command or its transfer still runs is refused.
void on_delete_activate(GtkWidget *toolbar, gpointer data)
{
    FM_RETURN_IF_FAIL(data != NULL, "data != NULL");
    auto *ofm = static_cast<UlvoFmApp *>(data);
    if (!has_marked_items(ofm))
        return;
    FM_RETURN_IF_FAIL(global_ofm->cur_operation == OPER_NONE,
                      "global_ofm->cur_operation == OPER_NONE");
    run_on_marked(toolbar, ofm);
}

gboolean send_selection(UlvoFmApp *app)
{
    ulvo_fm_send_selection(app);
    return TRUE;
}

const EditKind EDIT_KINDS[] = {
    {"ulvo-filemanager", "hfil_ti_edit_copy_to", "ulvo-filemanager", "hfil_me_copy",
     G_CALLBACK(on_edit_button_clicked), OPER_COPY, ulvo_fm_copy_selection, TRUE, FALSE},
    {"ulvo-filemanager", "hfil_ti_edit_move_to", "ulvo-filemanager", "hfil_me_move",
     G_CALLBACK(on_edit_button_clicked), OPER_MOVE, ulvo_fm_move_selection, TRUE, TRUE},
    {"ulvo-filemanager", "hfil_ti_edit_delete", "kivel-libs", "wdgt_bd_delete",
     G_CALLBACK(on_delete_activate), OPER_DELETE, ulvo_fm_delete_selection, TRUE, TRUE},
    {"ulvo-filemanager", "hfil_ti_edit_share", "kivel-libs", "wdgt_bd_share",
     G_CALLBACK(on_edit_button_clicked), OPER_SEND, send_selection, FALSE, FALSE},
};

const EditKind *edit_kind(gint kind)
{
    if (kind < 0 || kind >= gint(G_N_ELEMENTS(EDIT_KINDS)))
        return nullptr;
    return &EDIT_KINDS[kind];
}

// (transfer floating) A file selection in edit mode on the main one's model.
GtkWidget *new_edit_selection(GtkWidget *main_selection, const EditKind *kind)
{
    GObject *model = nullptr;
    g_object_get(main_selection, "model", &model, NULL);
    GtkWidget *fs = GTK_WIDGET(g_object_new(
        KIVEL_TYPE_FILE_SELECTION, "model", model, "drag-enabled", FALSE, "show-files", TRUE,
        "edit-mode", TRUE, "show-folders", kind->show_folders, "show-upnp", TRUE, NULL));
    if (model)
        g_object_unref(model);
    if (kind->hide_readonly)
        g_object_set(fs, "show-readonly", FALSE, NULL);
    kivel_file_selection_hide_navigation_pane(KIVEL_FILE_SELECTION(fs));
    return fs;
}

// What stood for the selection a moment ago belongs to the other file
// selection: the next reader counts again.
void forget_selection_record(UlvoFmApp *ofm)
{
    if (ofm->selection_info)
        ulvo_fm_selection_info_mark_stale(ofm->selection_info);
    ulvo_fm_invalidate_selection_state();
}

// Without a main window left (the program ends) commands find none at all.
void give_back_main_selection(UlvoFmApp *ofm)
{
    ofm->file_selection = ofm->main_file_selection;
    ofm->main_file_selection = nullptr;
    ofm->edit_window = nullptr;
    forget_selection_record(ofm);
}

// However the window goes (the window manager, the program's end), the
// commands must not be left pointing into it.
void on_edit_window_destroy(GtkWidget *window, gpointer data)
{
    auto *ofm = static_cast<UlvoFmApp *>(data);
    if (ofm->edit_window == window)
        give_back_main_selection(ofm);
}

gboolean on_edit_window_delete(GtkWidget *, GdkEvent *, gpointer ofm)
{
    ulvo_fm_close_edit_window(nullptr, ofm);
    return TRUE;
}

// The back key does what the back arrow does.
gboolean on_edit_window_key_press(GtkWidget *, GdkEventKey *event, gpointer ofm)
{
    if (event->keyval != GDK_Escape)
        return FALSE;
    ulvo_fm_close_edit_window(nullptr, ofm);
    return TRUE;
}

// The selection record goes stale with every mark, and a dialog opened for
// the marks closes when they change, as in the main window.
void follow_marks(UlvoFmApp *ofm, GtkWidget *fs)
{
    if (ULVO_FM_IS_BROWSER(ofm->window))
        g_signal_connect(fs, "selection-changed", G_CALLBACK(ulvo_fm_browser_selection_changed_cb),
                         ofm->window);
    ulvo_fm_context_menu_attach(KIVEL_FILE_SELECTION(fs), ofm);
}

} // namespace

void create_edit_window(UlvoFmApp *ofm, gint kind)
{
    FM_RETURN_IF_FAIL(ofm != NULL, "ofm != NULL");
    const EditKind *edit = edit_kind(kind);
    const gchar *action_label =
        edit ? dcgettext(edit->title_catalog, edit->title_id, LC_MESSAGES) : nullptr;
    const gchar *button_label =
        edit ? dcgettext(edit->button_catalog, edit->button_id, LC_MESSAGES) : nullptr;
    GCallback button_handler = edit ? edit->handler : nullptr;
    FM_RETURN_IF_FAIL(action_label != NULL, "action_label != NULL");
    FM_RETURN_IF_FAIL(button_label != NULL, "button_label != NULL");
    FM_RETURN_IF_FAIL(button_handler != NULL, "button_handler != NULL");
    // Only one: a second would park the first one's selection as the main one.
    if (ofm->edit_window) {
        gtk_window_present(GTK_WINDOW(ofm->edit_window));
        return;
    }
    FM_RETURN_IF_FAIL(KIVEL_IS_FILE_SELECTION(ofm->file_selection),
                      "KIVEL_IS_FILE_SELECTION (ofm->file_selection)");

    GtkWidget *window = kivel_stackable_window_new();
    ofm->edit_window = window;
    gtk_window_set_title(GTK_WINDOW(window), action_label);

    GtkWidget *toolbar = kivel_edit_toolbar_new_with_text(action_label, button_label);
    g_object_set_data(G_OBJECT(toolbar), KIND_KEY, const_cast<EditKind *>(edit));
    g_signal_connect(toolbar, "button-clicked", button_handler, ofm);
    g_signal_connect(toolbar, "arrow-clicked", G_CALLBACK(ulvo_fm_close_edit_window), ofm);

    GtkWidget *main_fs = ofm->file_selection;
    GtkWidget *fs = new_edit_selection(main_fs, edit);

    GtkWidget *box = gtk_vbox_new(FALSE, 0);
    gtk_box_pack_start(GTK_BOX(box), toolbar, FALSE, FALSE, 8);
    gtk_box_pack_start(GTK_BOX(box), fs, TRUE, TRUE, 8);
    gtk_container_add(GTK_CONTAINER(window), box);

    g_signal_connect(window, "destroy", G_CALLBACK(on_edit_window_destroy), ofm);
    g_signal_connect(window, "delete-event", G_CALLBACK(on_edit_window_delete), ofm);
    g_signal_connect(window, "key-press-event", G_CALLBACK(on_edit_window_key_press), ofm);

    gtk_window_fullscreen(GTK_WINDOW(window));
    gtk_widget_show(window);
    gtk_widget_show(box);
    gtk_widget_show_all(toolbar);
    gtk_widget_show_now(fs);

    GtkTreeIter folder;
    gboolean has_folder =
        kivel_file_selection_get_current_folder_iter(KIVEL_FILE_SELECTION(main_fs), &folder);
    kivel_file_selection_set_current_folder_iter(KIVEL_FILE_SELECTION(fs),
                                                 has_folder ? &folder : nullptr);

    ofm->main_file_selection = main_fs;
    ofm->file_selection = fs;
    forget_selection_record(ofm);
    follow_marks(ofm, fs);
}

void ulvo_fm_close_edit_window(GtkWidget *toolbar, gpointer data)
{
    FM_RETURN_IF_FAIL(data != NULL, "ofm != NULL");
    auto *ofm = static_cast<UlvoFmApp *>(data);
    // A late tap on the arrow must not close a second time.
    if (toolbar)
        g_signal_handlers_disconnect_by_func(toolbar, (gpointer)ulvo_fm_close_edit_window, ofm);
    GtkWidget *window = ofm->edit_window;
    if (!window)
        return;
    give_back_main_selection(ofm);
    gtk_widget_hide(window);
    gtk_widget_destroy(window);
}
